using System;
using Hwid;

// Accepts this machine for a licence issued to the identifier args[0] while it is the same
// machine, changed or not.
static class LicenceCheck
{
    static int Main(string[] args)
    {
        string mine = HardwareId.Identifier(); // what `hwid x` prints
        Console.WriteLine(mine);
        try
        {
            Comparison change = HardwareId.Compare(args.Length > 0 ? args[0] : mine, mine);
            return change.Verdict != Verdict.Different ? 0 : 1;
        }
        catch (InvalidIdentifierException error)
        {
            Console.Error.WriteLine("not an identifier: " + error.Message);
            return 1;
        }
    }
}

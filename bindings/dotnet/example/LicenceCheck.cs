using System;
using System.Threading;
using Hwid;

// Accepts this machine for a licence issued to the identifier args[0] while it is the same
// machine, changed or not. A reading in which a call failed may lack an address or the serial:
// after three tries it neither accepts nor refuses but exits with 3, "cannot verify this machine
// now", so that the product applies its grace period or the identifier it stored at activation.
// Never activate a licence on such a reading.
static class LicenceCheck
{
    const int Accepted = 0, Refused = 1, CannotVerify = 3;

    // This machine's identifier, trying again while a reading is incomplete.
    static string ReadIdentifier()
    {
        for (int attempt = 1;; attempt++)
        {
            try
            {
                return HardwareId.Identifier(); // what `hwid x` prints
            }
            catch (HwidIncompleteException) when (attempt < 3)
            {
                Thread.Sleep(300);
            }
        }
    }

    static int Main(string[] args)
    {
        string mine;
        try
        {
            mine = ReadIdentifier();
        }
        // Incomplete (error.Faults says why), or no answer in time.
        catch (Exception error) when (error is HwidException || error is TimeoutException)
        {
            Console.Error.WriteLine("cannot verify this machine now: " + error.Message);
            return CannotVerify;
        }
        Console.WriteLine(mine);
        try
        {
            Comparison change = HardwareId.Compare(args.Length > 0 ? args[0] : mine, mine);
            return change.Verdict != Verdict.Different ? Accepted : Refused;
        }
        catch (InvalidIdentifierException error)
        {
            Console.Error.WriteLine("not an identifier: " + error.Message);
            return Refused;
        }
    }
}

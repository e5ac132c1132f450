// Hwid.cs over the library: this machine's answers against the `hwid` program's own output,
// decoding and comparing tables, errors, and the buffer protocol. Compiled together with Hwid.cs.
// Usage: HwidTests.exe HWID VERSION HEADER  runs every check (HEADER: hwid/hwid.h), exits 1
//                                           when one fails
//        HwidTests.exe print          prints the bare serial, the legacy and the current
//                                     identifier, one a line (the namespace test compares them)
//        HwidTests.exe incomplete HWID  on a machine whose volume cannot be read: every reading
//                                     throws HwidIncompleteException with hwid's text
//        HwidTests.exe faults         prints "ok" or "incomplete", the current identifier, and
//                                     each fault's fields tab-joined, one a line (the end-to-end
//                                     test of incomplete readings compares them)
//        HwidTests.exe timeout        on a machine that never answers: three calls time out,
//                                     then every call is refused at once
using System;
using System.Collections.Generic;
using System.Diagnostics;
using System.IO;
using System.Linq;
using System.Text;
using System.Text.RegularExpressions;
using System.Threading;

using Hwid;

static class HwidTests
{
    const string A = "00:0C:29:AA:BB:CC";
    const string B = "00:1A:2B:3C:4D:5E";
    const string C = "00:50:56:C0:00:08";

    static int passed;
    static int failed;

    static int Main(string[] args)
    {
        if (args.Length == 1 && args[0] == "print")
        {
            var output = Console.OpenStandardOutput();
            byte[] text = Encoding.ASCII.GetBytes(HardwareId.BareSerial() + "\n" +
                                                  HardwareId.Identifier(Layout.Legacy) + "\n" +
                                                  HardwareId.Identifier());
            output.Write(text, 0, text.Length);
            return 0;
        }
        if (args.Length == 1 && args[0] == "faults")
        {
            PrintFaults();
            return 0;
        }
        if (args.Length == 1 && args[0] == "timeout")
        {
            TimesOut();
        }
        else if (args.Length == 2 && args[0] == "incomplete")
        {
            Incomplete(args[1]);
        }
        else if (args.Length == 3)
        {
            RunAll(args[0], args[1]);
            HeaderEnumerations(args[2]);
        }
        else
        {
            Console.Error.WriteLine(
                "usage: HwidTests.exe HWID VERSION HEADER | print | timeout | incomplete HWID | " +
                "faults");
            return 2;
        }
        Console.WriteLine("{0} passed, {1} failed", passed, failed);
        return failed == 0 && passed > 0 ? 0 : 1;
    }

    static void RunAll(string hwid, string version)
    {
        MachineAnswers(hwid);
        VersionAndTimeout(version);
        DecodeTable();
        DecodeInvalidTable();
        CompareTable();
        CompareInvalidTable();
        BadArguments();
        BufferSizes(hwid);
        FaultLines();
    }

    static string Show(HwidFault fault)
    {
        return string.Join("\t", fault.Call, fault.Code.ToString("x8"), fault.Adapter ?? "-",
                           fault.Query ?? "-", fault.Property ?? "-", fault.Message, fault.Text);
    }

    static void PrintFaults()
    {
        var lines = new List<string>();
        try
        {
            lines.Add("ok");
            lines.Add(HardwareId.Identifier());
        }
        catch (HwidIncompleteException error)
        {
            lines[0] = "incomplete";
            lines.Add(error.Text);
            lines.AddRange(error.Faults.Select(Show));
        }
        var output = Console.OpenStandardOutput();
        byte[] text = Encoding.UTF8.GetBytes(string.Join("\n", lines) + "\n");
        output.Write(text, 0, text.Length);
    }

    const string VolumeFault =
        "GetVolumeInformationA\t0000045d\t-\t-\t-\tthe request could not be performed " +
        "because of an I/O device error\tthe volume serial number could not be read: " +
        "GetVolumeInformationA failed with error 1117, the request could not be performed " +
        "because of an I/O device error";

    // Every reading, from this thread and from several at once, and a caller that catches only
    // HwidException: none may return the degraded text as if it were this machine's identifier.
    static void Incomplete(string hwid)
    {
        var readings = new[]
        {
            new { Name = "bare", Call = (Func<string>)HardwareId.BareSerial, Argument = "" },
            new { Name = "legacy",
                  Call = (Func<string>)(() => HardwareId.Identifier(Layout.Legacy)),
                  Argument = "oldtrial" },
            new { Name = "current", Call = (Func<string>)(() => HardwareId.Identifier()),
                  Argument = "x" },
        };
        foreach (var reading in readings)
        {
            string printed = HwidPrints(hwid, reading.Argument);
            Check("incomplete/" + reading.Name + "/serial-unread",
                  printed == "0" || printed.StartsWith("0010"), printed);
            Func<HwidIncompleteException, string> problem = error =>
            {
                string found = string.Join("|", error.Status, error.Message, error.Text,
                                           string.Join("|", error.Faults.Select(Show)));
                string wanted = string.Join("|", HwidStatus.Incomplete,
                                            "incomplete: " + VolumeFault.Split('\t')[6], printed,
                                            VolumeFault);
                return found == wanted ? null : "got " + found + "\nwanted " + wanted;
            };
            Throws("incomplete/" + reading.Name, () => reading.Call(), problem);
            Throws<HwidException>("incomplete/" + reading.Name + "/is-hwid-exception",
                                  () => reading.Call());
            var failures = new List<string>();
            var threads = Enumerable.Range(0, 4).Select(_ => new Thread(() =>
            {
                for (int i = 0; i < 5; i++)
                {
                    string found = null;
                    try
                    {
                        found = "returned " + reading.Call();
                    }
                    catch (HwidIncompleteException error)
                    {
                        found = problem(error);
                    }
                    if (found != null)
                    {
                        lock (failures)
                        {
                            failures.Add(found);
                        }
                    }
                }
            })).ToList();
            threads.ForEach(thread => thread.Start());
            threads.ForEach(thread => thread.Join());
            Check("incomplete/" + reading.Name + "/four-threads", failures.Count == 0,
                  string.Join("\n", failures));
        }
    }

    static void FaultLines()
    {
        const string associators =
            "associators of {Win32_NetworkAdapter.DeviceID='3'} WHERE ClassDefsOnly";
        var cases = new[]
        {
            new { Name = "none", Lines = "", Faults = new string[0] },
            new { Name = "connection",
                  Lines = "ConnectServer\t0x80041003\t\t\t\taccess denied\tWMI could not be " +
                          "reached\n",
                  Faults = new[] { "ConnectServer\t80041003\t-\t-\t-\taccess denied\tWMI " +
                                   "could not be reached" } },
            new { Name = "adapter-property-and-volume",
                  Lines = "ExecQuery\t0x80041003\t3\t" + associators + "\t\taccess denied\t" +
                          "adapter 3\nGet\t0x8004100A\t\tselect Index from x\tIndex\t\t" +
                          "a query\nGetVolumeInformationA\terror 21\t\t\t\tnot ready\tvolume\n",
                  Faults = new[] { "ExecQuery\t80041003\t3\t" + associators +
                                       "\t-\taccess denied\tadapter 3",
                                   "Get\t8004100a\t-\tselect Index from x\tIndex\t\ta query",
                                   "GetVolumeInformationA\t00000015\t-\t-\t-\tnot ready\t" +
                                       "volume" } },
        };
        foreach (var c in cases)
        {
            Equal("fault-lines/" + c.Name, string.Join("\n", c.Faults),
                  string.Join("\n", HardwareId.ParseFaults(c.Lines).Select(Show)));
        }
    }

    // Each call gives up after the limit set, far from the default 30 s, and leaves a library
    // thread stuck; once three are, calls are refused without waiting, even with a limit of a
    // minute. The stuck threads do not keep the program from exiting.
    static void TimesOut()
    {
        HardwareId.TimeoutMilliseconds = 300;
        var calls = new Func<string>[] { HardwareId.BareSerial, () => HardwareId.Identifier(),
                                         HardwareId.BareSerial };
        for (int i = 0; i < calls.Length; i++)
        {
            var clock = Stopwatch.StartNew();
            Throws<HwidTimeoutException>("timeout/call-" + i, () => calls[i](), error =>
            {
                long elapsed = clock.ElapsedMilliseconds;
                return error.Message == "timed out" && elapsed >= 300 && elapsed < 10000
                           ? null
                           : string.Format("{0} after {1} ms", error.Message, elapsed);
            });
        }
        HardwareId.TimeoutMilliseconds = 60000;
        for (int i = 0; i < calls.Length; i++)
        {
            var clock = Stopwatch.StartNew();
            Throws<HwidNotRespondingException>("not-responding/call-" + i, () => calls[i](),
                                               error =>
            {
                long elapsed = clock.ElapsedMilliseconds;
                return error.Message == "not responding" && elapsed < 10000
                           ? null
                           : string.Format("{0} after {1} ms", error.Message, elapsed);
            });
        }
    }

    static void Check(string name, bool ok, string detail = "")
    {
        if (ok)
        {
            passed++;
        }
        else
        {
            failed++;
            Console.WriteLine("FAIL {0}: {1}", name, detail);
        }
    }

    static void Equal<T>(string name, T expected, T actual)
    {
        Check(name, EqualityComparer<T>.Default.Equals(expected, actual),
              string.Format("expected [{0}], got [{1}]", expected, actual));
    }

    static void Throws<E>(string name, Action action, Func<E, string> problem = null)
        where E : Exception
    {
        try
        {
            action();
            Check(name, false, "no exception, expected " + typeof(E).Name);
        }
        catch (E error)
        {
            string found = problem == null ? null : problem(error);
            Check(name, found == null, found);
        }
        catch (Exception error)
        {
            Check(name, false, "expected " + typeof(E).Name + ", got " + error);
        }
    }

    static string HwidPrints(string hwid, string argument)
    {
        var start = new ProcessStartInfo(hwid, argument)
        {
            UseShellExecute = false,
            RedirectStandardOutput = true,
        };
        using (var process = Process.Start(start))
        using (var bytes = new MemoryStream())
        {
            process.StandardOutput.BaseStream.CopyTo(bytes);
            process.WaitForExit();
            return Encoding.ASCII.GetString(bytes.ToArray());
        }
    }

    static string Codes(string address)
    {
        return string.Concat(address.Select(character => ((int)character).ToString()));
    }

    static string Legacy(uint serial, params string[] addresses)
    {
        return serial + "010" + string.Concat(addresses.Select(a => Codes(a) + "1310"));
    }

    static string Current(uint serial, params string[] addresses)
    {
        return serial + "010" + string.Concat(addresses.Select(a => "\t" + Codes(a) + "1310"));
    }

    static string Show(IEnumerable<string> addresses)
    {
        return string.Join("|", addresses);
    }

    static void MachineAnswers(string hwid)
    {
        string bare = HwidPrints(hwid, "");
        string legacy = HwidPrints(hwid, "oldtrial");
        string current = HwidPrints(hwid, "x");
        Equal("machine/bare", bare, HardwareId.BareSerial());
        Equal("machine/legacy", legacy, HardwareId.Identifier(Layout.Legacy));
        Equal("machine/current", current, HardwareId.Identifier(Layout.Current));
        Equal("machine/default", current, HardwareId.Identifier());

        var answers = new List<string>();
        var threads = Enumerable.Range(0, 8).Select(_ => new Thread(() =>
        {
            for (int i = 0; i < 20; i++)
            {
                string answer = HardwareId.Identifier();
                lock (answers)
                {
                    answers.Add(answer);
                }
            }
        })).ToList();
        threads.ForEach(thread => thread.Start());
        threads.ForEach(thread => thread.Join());
        Check("machine/eight-threads", answers.Count == 160 && answers.All(a => a == current),
              answers.Count + " answers");

        DecodedIdentifier mine = HardwareId.Decode(current);
        Equal("machine/decoded-serial", unchecked((uint)int.Parse(bare)), mine.Serial);
        Equal("machine/decoded-layout", mine.Addresses.Count > 0 ? Layout.Current : Layout.Either,
              mine.Layout);
        Equal("machine/legacy-against-current", Verdict.Identical,
              HardwareId.Compare(legacy, current).Verdict);
    }

    static void VersionAndTimeout(string version)
    {
        Equal("version", version, HardwareId.Version);
        Equal("timeout/default", 30000u, HardwareId.TimeoutMilliseconds);
        foreach (uint milliseconds in new[] { 1u, 5000u, uint.MaxValue })
        {
            HardwareId.TimeoutMilliseconds = milliseconds;
            Equal("timeout/set-" + milliseconds, milliseconds, HardwareId.TimeoutMilliseconds);
        }
        HardwareId.TimeoutMilliseconds = 1234;
        Throws<ArgumentOutOfRangeException>("timeout/zero-refused",
                                            () => HardwareId.TimeoutMilliseconds = 0);
        Equal("timeout/zero-changes-nothing", 1234u, HardwareId.TimeoutMilliseconds);
        HardwareId.TimeoutMilliseconds = 30000;
    }

    static void DecodeTable()
    {
        var cases = new[]
        {
            new { Name = "legacy", Text = "30541989601048485849655850665851675852685853691310",
                  Layout = Layout.Legacy, Serial = 305419896u, Addresses = new[] { B } },
            new { Name = "current", Text = "305419896010\t48485849655850665851675852685853691310",
                  Layout = Layout.Current, Serial = 305419896u, Addresses = new[] { B } },
            new { Name = "no-address", Text = "305419896010", Layout = Layout.Either,
                  Serial = 305419896u, Addresses = new string[0] },
            new { Name = "largest-serial", Text = "4294967295010", Layout = Layout.Either,
                  Serial = 4294967295u, Addresses = new string[0] },
            new { Name = "two-current", Text = "7010\t651310\t981310", Layout = Layout.Current,
                  Serial = 7u, Addresses = new[] { "A", "b" } },
            new { Name = "serial-like-separator", Text = "120100101011310",
                  Layout = Layout.Legacy, Serial = 12010u, Addresses = new[] { "e" } },
            new { Name = "empty-line", Text = "00101310651310661310", Layout = Layout.Legacy,
                  Serial = 0u, Addresses = new[] { "", "A", "B" } },
            new { Name = "one-empty-line", Text = "00101310", Layout = Layout.Legacy, Serial = 0u,
                  Addresses = new[] { "" } },
            new { Name = "order-kept", Text = Current(7, C, A, B), Layout = Layout.Current,
                  Serial = 7u, Addresses = new[] { C, A, B } },
        };
        foreach (var c in cases)
        {
            foreach (bool asBytes in new[] { false, true })
            {
                string name = "decode/" + c.Name + (asBytes ? "/bytes" : "");
                DecodedIdentifier decoded = asBytes
                    ? HardwareId.Decode(Encoding.ASCII.GetBytes(c.Text))
                    : HardwareId.Decode(c.Text);
                Equal(name + "/layout", c.Layout, decoded.Layout);
                Equal(name + "/serial", c.Serial, decoded.Serial);
                Equal(name + "/addresses", Show(c.Addresses), Show(decoded.Addresses));
                Equal(name + "/address-count", c.Addresses.Length, decoded.Addresses.Count);
            }
        }
    }

    static Func<InvalidIdentifierException, string> At(long position, int argument)
    {
        return error => error.Position == position && error.Argument == argument &&
                                error.Message.Contains("at character " + position)
                            ? null
                            : string.Format("position {0}, argument {1}: {2}", error.Position,
                                            error.Argument, error.Message);
    }

    static void DecodeInvalidTable()
    {
        var cases = new[]
        {
            new { Name = "empty", Text = "", Position = 0 },
            new { Name = "letter", Text = "x010", Position = 0 },
            new { Name = "leading-zero", Text = "0123010", Position = 1 },
            new { Name = "serial-too-large", Text = "4294967296010", Position = 9 },
            new { Name = "ends-inside-code", Text = "305419896010484", Position = 15 },
            new { Name = "trailing-line-feed", Text = "305419896010651310\n", Position = 18 },
            new { Name = "nul", Text = "70\u000010", Position = 2 },
            new { Name = "latin-letter", Text = "305419896010\u00e9", Position = 12 },
            new { Name = "euro-sign", Text = "3054\u20ac", Position = 4 },
            new { Name = "lone-surrogate", Text = "12\ud800", Position = 2 },
        };
        foreach (var c in cases)
        {
            Throws("decode-invalid/" + c.Name, () => HardwareId.Decode(c.Text),
                   At(c.Position, 0));
        }
        Throws("decode-invalid/byte-above-127",
               () => HardwareId.Decode(new byte[] { 0x37, 0x30, 0x31, 0x30, 0xff }), At(4, 0));
        Throws<ArgumentException>("decode-invalid/is-argument-exception",
                                  () => HardwareId.Decode("x"));
    }

    static void CompareTable()
    {
        var none = new string[0];
        var cases = new[]
        {
            new { Name = "same", First = Legacy(7, A, B), Second = Legacy(7, A, B),
                  Verdict = Verdict.Identical, SerialChanged = false, Common = new[] { A, B },
                  Added = none, Removed = none },
            new { Name = "other-layout-only", First = Legacy(7, A), Second = Current(7, A),
                  Verdict = Verdict.Identical, SerialChanged = false, Common = new[] { A },
                  Added = none, Removed = none },
            new { Name = "no-addresses", First = Legacy(7), Second = Current(7),
                  Verdict = Verdict.Identical, SerialChanged = false, Common = none,
                  Added = none, Removed = none },
            new { Name = "one-replaced", First = Legacy(7, A, B), Second = Current(7, C, B),
                  Verdict = Verdict.SameMachineChanged, SerialChanged = false,
                  Common = new[] { B }, Added = new[] { C }, Removed = new[] { A } },
            new { Name = "duplicate-gone", First = Legacy(7, A, A), Second = Legacy(7, A),
                  Verdict = Verdict.SameMachineChanged, SerialChanged = false,
                  Common = new[] { A }, Added = none, Removed = new[] { A } },
            new { Name = "new-serial-same-addresses", First = Legacy(7, B, A),
                  Second = Current(8, A, B), Verdict = Verdict.SameMachineChanged,
                  SerialChanged = true, Common = new[] { A, B }, Added = none, Removed = none },
            new { Name = "nothing-in-common", First = Legacy(7, A), Second = Legacy(7, B),
                  Verdict = Verdict.Different, SerialChanged = false, Common = none,
                  Added = new[] { B }, Removed = new[] { A } },
            new { Name = "all-new", First = Legacy(7, A), Second = Legacy(8, B),
                  Verdict = Verdict.Different, SerialChanged = true, Common = none,
                  Added = new[] { B }, Removed = new[] { A } },
            new { Name = "new-serial-no-addresses", First = Legacy(7), Second = Legacy(8),
                  Verdict = Verdict.Different, SerialChanged = true, Common = none,
                  Added = none, Removed = none },
        };
        foreach (var c in cases)
        {
            string name = "compare/" + c.Name;
            Comparison comparison = HardwareId.Compare(c.First, c.Second);
            Equal(name + "/verdict", c.Verdict, comparison.Verdict);
            Equal(name + "/serial-changed", c.SerialChanged, comparison.SerialChanged);
            Equal(name + "/common", Show(c.Common), Show(comparison.Common));
            Equal(name + "/added", Show(c.Added), Show(comparison.Added));
            Equal(name + "/removed", Show(c.Removed), Show(comparison.Removed));
        }
    }

    static void CompareInvalidTable()
    {
        var cases = new[]
        {
            new { Name = "first", First = "7010x", Second = Legacy(7, A), Argument = 1,
                  Position = 4 },
            new { Name = "second", First = Legacy(7, A), Second = "7010\t65", Argument = 2,
                  Position = 7 },
            new { Name = "both-empty", First = "", Second = "", Argument = 1, Position = 0 },
            new { Name = "second-non-ascii", First = Legacy(7, A), Second = "7010\u00e9",
                  Argument = 2, Position = 4 },
        };
        foreach (var c in cases)
        {
            Throws("compare-invalid/" + c.Name, () => HardwareId.Compare(c.First, c.Second),
                   At(c.Position, c.Argument));
        }
    }

    static void BadArguments()
    {
        Throws<ArgumentNullException>("null/decode-string", () => HardwareId.Decode((string)null));
        Throws<ArgumentNullException>("null/decode-bytes", () => HardwareId.Decode((byte[])null));
        Throws<ArgumentNullException>("null/compare-first", () => HardwareId.Compare(null, "7010"));
        Throws<ArgumentNullException>("null/compare-second",
                                      () => HardwareId.Compare("7010", null));
        Throws<ArgumentException>("layout/either-refused",
                                  () => HardwareId.Identifier(Layout.Either));
        Throws<ArgumentException>("layout/unknown-refused",
                                  () => HardwareId.Identifier((Layout)7));
        Equal("status-name/timed-out", "timed out", HardwareId.StatusName(2));
    }

    // The enumerations hold the header's names (BUFFER_TOO_SMALL is BufferTooSmall) and values.
    static void HeaderEnumerations(string header)
    {
        string text = File.ReadAllText(header);
        var enumerations = new[]
        {
            new { Prefix = "HWID_STATUS_", Type = typeof(HwidStatus) },
            new { Prefix = "HWID_LAYOUT_", Type = typeof(Layout) },
            new { Prefix = "HWID_VERDICT_", Type = typeof(Verdict) },
        };
        foreach (var e in enumerations)
        {
            var inHeader = Regex.Matches(text, @"\b" + e.Prefix + @"(\w+) = (\d+)")
                               .Cast<Match>()
                               .Select(m => m.Groups[1].Value.Replace("_", "") + "=" +
                                            m.Groups[2].Value);
            var inFile = Enum.GetValues(e.Type).Cast<object>().Select(
                value => value.ToString().ToUpperInvariant() + "=" + (int)value);
            Equal("header/" + e.Type.Name, string.Join(" ", inHeader.OrderBy(x => x)),
                  string.Join(" ", inFile.OrderBy(x => x)));
            Check("header/" + e.Type.Name + "/found", inHeader.Any());
        }
    }

    static void BufferSizes(string hwid)
    {
        // Eight adapters: longer than the first buffer, so every call grows it.
        string[] eight = Enumerable.Range(0, 8)
                             .Select(n => "00:1A:2B:3C:4D:" + n.ToString("X2"))
                             .ToArray();
        string many = Current(4294967295u, eight);
        string other = Legacy(1, "00:1A:2B:3C:4D:07", A);
        Check("buffer/many-is-long", many.Length > HardwareId.FirstBufferSize);
        string expected = string.Join("\n", HwidPrints(hwid, ""), HwidPrints(hwid, "oldtrial"),
                                      HwidPrints(hwid, "x"), Show(eight),
                                      Show(eight.Where(a => a != "00:1A:2B:3C:4D:07")));
        int saved = HardwareId.FirstBufferSize;
        foreach (int size in new[] { 0, 1, 7, 256 })
        {
            HardwareId.FirstBufferSize = size;
            string actual = string.Join("\n", HardwareId.BareSerial(),
                                        HardwareId.Identifier(Layout.Legacy),
                                        HardwareId.Identifier(),
                                        Show(HardwareId.Decode(many).Addresses),
                                        Show(HardwareId.Compare(other, many).Added));
            Equal("buffer/first-size-" + size, expected, actual);
        }
        HardwareId.FirstBufferSize = saved;

        // The text grows between the size query and the fill: the call is made again.
        HardwareId.FirstBufferSize = 0;
        var texts = new[] { "1234", "12345678", "12345678" };
        var seen = new List<string>();
        HardwareId.Result result = HardwareId.CallIntoBuffer(
            (byte[] buffer, UIntPtr size, out UIntPtr needed) =>
            {
                string text = texts[seen.Count];
                seen.Add((buffer == null ? "null/" : "buffer/") + size);
                needed = new UIntPtr((uint)text.Length + 1);
                if (size.ToUInt64() < (ulong)text.Length + 1)
                {
                    return (int)HwidStatus.BufferTooSmall;
                }
                Encoding.ASCII.GetBytes(text, 0, text.Length, buffer, 0);
                return (int)HwidStatus.Ok;
            });
        HardwareId.FirstBufferSize = saved;
        Equal("buffer/grew/calls", "null/0 buffer/5 buffer/9", string.Join(" ", seen));
        Equal("buffer/grew/text", "12345678",
              Encoding.ASCII.GetString(result.Buffer, 0, Array.IndexOf(result.Buffer, (byte)0)));
    }
}

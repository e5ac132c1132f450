// The hwid library from .NET: this machine's identifier exactly as the `hwid` program prints it,
// and reading and comparing identifiers. One file to add to a project; no unsafe code.
//
// A thin layer over the library's C interface (hwid.h) through P/Invoke: every answer comes from
// the library, this file only converts arguments, buffers and statuses. The library is
// DllImport("hwid"): hwid.dll beside the program on Windows; libhwid.so on the library path on
// Linux (Mono also takes a <dllmap dll="hwid" target="libhwid.so.1"/> in the program's .config).
//
// Identifiers are ASCII. A string is passed on in UTF-8, so a character outside ASCII is refused
// as an invalid identifier at its own position (or before it).
//
// A reading of this machine in which a call failed (WMI could not be reached, an adapter or the
// volume could not be read) throws HwidIncompleteException, never returns: the text `hwid` would
// print and what failed are in the exception.
using System;
using System.Collections.Generic;
using System.Linq;
using System.Runtime.InteropServices;
using System.Text;

namespace Hwid
{
    public enum HwidStatus
    {
        Ok = 0,
        BufferTooSmall = 1,
        TimedOut = 2,
        InvalidArgument = 3,
        InvalidIdentifier = 4,
        InternalError = 5,
        Incomplete = 6,
        NotResponding = 7,
    }

    public enum Layout
    {
        Legacy = 1,  // what `hwid oldtrial` prints
        Current = 2, // what `hwid WORD` prints
        Either = 3,  // decoded only: no addresses, so both layouts are the same text
    }

    public enum Verdict
    {
        Identical = 1,
        SameMachineChanged = 2,
        Different = 3,
    }

    public sealed class DecodedIdentifier
    {
        internal DecodedIdentifier(Layout layout, uint serial, IReadOnlyList<string> addresses)
        {
            Layout = layout;
            Serial = serial;
            Addresses = addresses;
        }

        public Layout Layout { get; private set; }
        public uint Serial { get; private set; }
        // In the order the identifier holds them.
        public IReadOnlyList<string> Addresses { get; private set; }
    }

    public sealed class Comparison
    {
        internal Comparison(Verdict verdict, bool serialChanged, IReadOnlyList<string> common,
                            IReadOnlyList<string> added, IReadOnlyList<string> removed)
        {
            Verdict = verdict;
            SerialChanged = serialChanged;
            Common = common;
            Added = added;
            Removed = removed;
        }

        public Verdict Verdict { get; private set; }
        public bool SerialChanged { get; private set; }
        public IReadOnlyList<string> Common { get; private set; }
        public IReadOnlyList<string> Added { get; private set; }   // in the second identifier only
        public IReadOnlyList<string> Removed { get; private set; } // in the first identifier only
    }

    // A call that failed while the machine was read.
    public sealed class HwidFault
    {
        internal HwidFault(string call, uint code, string adapter, string query, string property,
                           string message, string text)
        {
            Call = call;
            Code = code;
            Adapter = adapter;
            Query = query;
            Property = property;
            Message = message;
            Text = text;
        }

        // "ConnectServer", "ExecQuery", "Next", "Get", "GetVolumeInformationA", ...
        public string Call { get; private set; }
        // The HRESULT; for GetVolumeInformationA the system error code.
        public uint Code { get; private set; }
        // The index of the adapter the call was about, the WQL query, the property Get could not
        // read: each null when the call had none.
        public string Adapter { get; private set; }
        public string Query { get; private set; }
        public string Property { get; private set; }
        // The system's words for the code; empty for a code the library does not know.
        public string Message { get; private set; }
        // One sentence for a person.
        public string Text { get; private set; }

        public override string ToString()
        {
            return Text;
        }
    }

    // A status the other exceptions do not cover (internal error, or one newer than this file).
    public class HwidException : Exception
    {
        public HwidException(HwidStatus status, string message) : base(message)
        {
            Status = status;
        }

        public HwidStatus Status { get; private set; }
    }

    // The text is not an identifier in either layout. Position is the length of its longest valid
    // prefix; Argument is 1 or 2 for Compare's first or second identifier, 0 for Decode.
    public sealed class InvalidIdentifierException : ArgumentException
    {
        public InvalidIdentifierException(string message, long position, int argument)
            : base(message)
        {
            Position = position;
            Argument = argument;
        }

        public long Position { get; private set; }
        public int Argument { get; private set; }
    }

    // The machine did not answer within the library's time limit.
    public sealed class HwidTimeoutException : TimeoutException
    {
        public HwidTimeoutException(string message) : base(message)
        {
        }
    }

    // A call failed while the machine was read, so the text may lack an address or the serial.
    // Text is what the `hwid` program prints all the same; Faults says what failed. A licence check
    // must not take Text for this machine's identifier: retry after a pause, or fall back to the
    // identifier stored at activation.
    public sealed class HwidIncompleteException : HwidException
    {
        public HwidIncompleteException(string message, string text,
                                       IReadOnlyList<HwidFault> faults)
            : base(HwidStatus.Incomplete, message)
        {
            Text = text;
            Faults = faults;
        }

        public string Text { get; private set; }
        public IReadOnlyList<HwidFault> Faults { get; private set; }
    }

    // Refused at once: every thread the library may hold is stuck in a call that timed out, and
    // the machine has answered none of them yet.
    public sealed class HwidNotRespondingException : TimeoutException
    {
        public HwidNotRespondingException(string message) : base(message)
        {
        }
    }

    public static class HardwareId
    {
        // Room for any machine's identifier with a few adapters, so one call usually does; a
        // longer text costs a second call with the size the library asked for.
        internal static int FirstBufferSize = 256;

        // The library's version, such as "1.0.0".
        public static string Version
        {
            get { return Marshal.PtrToStringAnsi(NativeMethods.hwid_version()); }
        }

        // The time limit of every call that reads the machine, in milliseconds (default 30000);
        // zero is refused with ArgumentOutOfRangeException.
        public static uint TimeoutMilliseconds
        {
            get { return NativeMethods.hwid_timeout_ms(); }
            set
            {
                int status = NativeMethods.hwid_set_timeout_ms(value);
                if (status == (int)HwidStatus.InvalidArgument)
                {
                    throw new ArgumentOutOfRangeException("value", value, StatusName(status));
                }
                Check(status);
            }
        }

        // What `hwid` prints with no argument: the signed volume serial.
        public static string BareSerial()
        {
            return Text(CallIntoBuffer(
                (byte[] buffer, UIntPtr size, out UIntPtr needed) =>
                    NativeMethods.hwid_bare_serial(buffer, size, out needed)));
        }

        // What `hwid oldtrial` (Layout.Legacy) or `hwid WORD` (Layout.Current) prints.
        public static string Identifier(Layout layout = Layout.Current)
        {
            return Text(CallIntoBuffer(
                (byte[] buffer, UIntPtr size, out UIntPtr needed) =>
                    NativeMethods.hwid_identifier((int)layout, buffer, size, out needed)));
        }

        // Layout, serial and addresses of an identifier; InvalidIdentifierException when it is
        // none.
        public static DecodedIdentifier Decode(string identifier)
        {
            return Decode(Utf8(identifier, "identifier"));
        }

        public static DecodedIdentifier Decode(byte[] identifier)
        {
            byte[] input = Terminated(identifier, "identifier");
            var length = new UIntPtr((ulong)identifier.Length);
            var decoded = new NativeMethods.Decoded();
            Result result = CallIntoBuffer(
                (byte[] buffer, UIntPtr size, out UIntPtr needed) =>
                    NativeMethods.hwid_decode(input, length, out decoded, buffer, size,
                                              out needed));
            if (result.Status == (int)HwidStatus.InvalidIdentifier)
            {
                long position = (long)decoded.ErrorPosition.ToUInt64();
                throw new InvalidIdentifierException(
                    StatusName(result.Status) + " at character " + position, position, 0);
            }
            List<string> addresses = Split(Text(result), decoded.AddressCount);
            return new DecodedIdentifier((Layout)decoded.Layout, decoded.Serial, addresses);
        }

        // Compares the identifier a licence was issued to (first) with another (second).
        public static Comparison Compare(string first, string second)
        {
            return Compare(Utf8(first, "first"), Utf8(second, "second"));
        }

        public static Comparison Compare(byte[] first, byte[] second)
        {
            byte[] before = Terminated(first, "first");
            byte[] after = Terminated(second, "second");
            var beforeLength = new UIntPtr((ulong)first.Length);
            var afterLength = new UIntPtr((ulong)second.Length);
            var comparison = new NativeMethods.Comparison();
            Result result = CallIntoBuffer(
                (byte[] buffer, UIntPtr size, out UIntPtr needed) =>
                    NativeMethods.hwid_compare(before, beforeLength, after, afterLength,
                                               out comparison, buffer, size, out needed));
            if (result.Status == (int)HwidStatus.InvalidIdentifier)
            {
                long position = (long)comparison.ErrorPosition.ToUInt64();
                throw new InvalidIdentifierException(
                    "identifier " + comparison.InvalidIdentifier + ": " +
                        StatusName(result.Status) + " at character " + position,
                    position, comparison.InvalidIdentifier);
            }
            int common = (int)comparison.CommonCount.ToUInt64();
            int added = (int)comparison.AddedCount.ToUInt64();
            int removed = (int)comparison.RemovedCount.ToUInt64();
            List<string> addresses =
                Split(Text(result), new UIntPtr((ulong)(common + added + removed)));
            return new Comparison((Verdict)comparison.Verdict, comparison.SerialChanged != 0,
                                  addresses.GetRange(0, common),
                                  addresses.GetRange(common, added),
                                  addresses.GetRange(common + added, removed));
        }

        internal delegate int BufferCall(byte[] buffer, UIntPtr size, out UIntPtr needed);

        internal struct Result
        {
            public int Status;
            public byte[] Buffer;
        }

        // Runs the call until the text fits: a size of 0 passes a null buffer, which asks for the
        // size alone.
        internal static Result CallIntoBuffer(BufferCall call)
        {
            int size = FirstBufferSize;
            while (true)
            {
                byte[] buffer = size > 0 ? new byte[size] : null;
                UIntPtr needed;
                int status = call(buffer, new UIntPtr((uint)size), out needed);
                if (status != (int)HwidStatus.BufferTooSmall)
                {
                    return new Result { Status = status, Buffer = buffer };
                }
                // The text may have grown since the size was asked (an adapter came up): again.
                size = Math.Max(checked((int)needed.ToUInt64()), size + 1);
            }
        }

        // The text of a call that succeeded; any other status becomes its exception.
        static string Text(Result result)
        {
            if (result.Status == (int)HwidStatus.Incomplete)
            {
                // The faults belong to the thread that read: ask before anything else reads on it.
                IReadOnlyList<HwidFault> faults = LastFaults();
                string message = StatusName(result.Status);
                if (faults.Count > 0)
                {
                    message += ": " + string.Join("; ", faults.Select(fault => fault.Text));
                }
                throw new HwidIncompleteException(message, UpToNul(result.Buffer), faults);
            }
            Check(result.Status);
            return UpToNul(result.Buffer);
        }

        // The library writes ASCII, but for the adapter index WMI gave, which UTF-8 keeps.
        static string UpToNul(byte[] terminated)
        {
            return Encoding.UTF8.GetString(terminated, 0, Array.IndexOf(terminated, (byte)0));
        }

        // The faults of this thread's last reading: one line each, seven tab-ended fields.
        internal static IReadOnlyList<HwidFault> LastFaults()
        {
            Result result = CallIntoBuffer(
                (byte[] buffer, UIntPtr size, out UIntPtr needed) =>
                    NativeMethods.hwid_last_faults(buffer, size, out needed));
            Check(result.Status);
            return ParseFaults(UpToNul(result.Buffer));
        }

        internal static IReadOnlyList<HwidFault> ParseFaults(string lines)
        {
            return lines.Split(new[] { '\n' }, StringSplitOptions.RemoveEmptyEntries)
                .Select(line => ParseFault(line.Split(new[] { '\t' }, 7)))
                .ToList();
        }

        static HwidFault ParseFault(string[] fields)
        {
            // "0x80041003", or "error 21" for the volume
            string code = fields[1];
            uint number = code.StartsWith("0x", StringComparison.Ordinal)
                              ? Convert.ToUInt32(code.Substring(2), 16)
                              : uint.Parse(code.Substring("error ".Length));
            return new HwidFault(fields[0], number, NullIfEmpty(fields[2]), NullIfEmpty(fields[3]),
                                 NullIfEmpty(fields[4]), fields[5], fields[6]);
        }

        static string NullIfEmpty(string field)
        {
            return field.Length == 0 ? null : field;
        }

        static void Check(int status)
        {
            switch (status)
            {
            case (int)HwidStatus.Ok:
                return;
            case (int)HwidStatus.TimedOut:
                throw new HwidTimeoutException(StatusName(status));
            case (int)HwidStatus.NotResponding:
                throw new HwidNotRespondingException(StatusName(status));
            case (int)HwidStatus.InvalidArgument:
                throw new ArgumentException(StatusName(status));
            default:
                throw new HwidException((HwidStatus)status, StatusName(status));
            }
        }

        internal static string StatusName(int status)
        {
            return Marshal.PtrToStringAnsi(NativeMethods.hwid_status_name(status));
        }

        static byte[] Utf8(string text, string name)
        {
            if (text == null)
            {
                throw new ArgumentNullException(name);
            }
            return Encoding.UTF8.GetBytes(text);
        }

        // A copy with a NUL after it, so that even an empty text passes a valid pointer.
        static byte[] Terminated(byte[] text, string name)
        {
            if (text == null)
            {
                throw new ArgumentNullException(name);
            }
            var copy = new byte[text.Length + 1];
            Array.Copy(text, copy, text.Length);
            return copy;
        }

        // The count tells an empty list from a list holding one empty address.
        static List<string> Split(string text, UIntPtr count)
        {
            return count.ToUInt64() == 0 ? new List<string>()
                                         : new List<string>(text.Split('\t'));
        }
    }

    static class NativeMethods
    {
        const string Library = "hwid";

        [StructLayout(LayoutKind.Sequential)]
        internal struct Decoded
        {
            public int Layout;
            public uint Serial;
            public UIntPtr AddressCount;
            public UIntPtr ErrorPosition;
        }

        [StructLayout(LayoutKind.Sequential)]
        internal struct Comparison
        {
            public int Verdict;
            public int SerialChanged;
            public UIntPtr CommonCount;
            public UIntPtr AddedCount;
            public UIntPtr RemovedCount;
            public int InvalidIdentifier;
            public UIntPtr ErrorPosition;
        }

        [DllImport(Library, CallingConvention = CallingConvention.Cdecl)]
        internal static extern IntPtr hwid_status_name(int status);

        [DllImport(Library, CallingConvention = CallingConvention.Cdecl)]
        internal static extern IntPtr hwid_version();

        [DllImport(Library, CallingConvention = CallingConvention.Cdecl)]
        internal static extern int hwid_set_timeout_ms(uint milliseconds);

        [DllImport(Library, CallingConvention = CallingConvention.Cdecl)]
        internal static extern uint hwid_timeout_ms();

        [DllImport(Library, CallingConvention = CallingConvention.Cdecl)]
        internal static extern int hwid_bare_serial([Out] byte[] buffer, UIntPtr size,
                                                    out UIntPtr needed);

        [DllImport(Library, CallingConvention = CallingConvention.Cdecl)]
        internal static extern int hwid_identifier(int layout, [Out] byte[] buffer, UIntPtr size,
                                                   out UIntPtr needed);

        [DllImport(Library, CallingConvention = CallingConvention.Cdecl)]
        internal static extern int hwid_last_faults([Out] byte[] buffer, UIntPtr size,
                                                    out UIntPtr needed);

        [DllImport(Library, CallingConvention = CallingConvention.Cdecl)]
        internal static extern int hwid_decode(byte[] identifier, UIntPtr length,
                                               out Decoded decoded, [Out] byte[] addresses,
                                               UIntPtr size, out UIntPtr needed);

        [DllImport(Library, CallingConvention = CallingConvention.Cdecl)]
        internal static extern int hwid_compare(byte[] first, UIntPtr firstLength, byte[] second,
                                                UIntPtr secondLength, out Comparison comparison,
                                                [Out] byte[] addresses, UIntPtr size,
                                                out UIntPtr needed);
    }
}

"""The Python package over the installed library: this machine's answers against the `hwid`
program's own output, decoding and comparing tables, errors, and the buffer protocol.

Environment: HWID_EXECUTABLE (the hwid program), HWID_BUILD_LIBRARY (the library in the build
tree, for loading it by path), HWID_EXPECTED_VERSION (the project's version),
HWID_NEVER_ANSWERS (a preload that makes the machine never answer) and HWID_UNREADABLE_VOLUME (a
preload that makes reading the volume fail).
"""

import ctypes
import dataclasses
import importlib.metadata
import json
import os
import re
import subprocess
import sys
import threading

import pytest

import hwid

HWID = os.environ["HWID_EXECUTABLE"]
BUILD_LIBRARY = os.environ["HWID_BUILD_LIBRARY"]
NEVER_ANSWERS = os.environ["HWID_NEVER_ANSWERS"]
UNREADABLE_VOLUME = os.environ["HWID_UNREADABLE_VOLUME"]

A = "00:0C:29:AA:BB:CC"
B = "00:1A:2B:3C:4D:5E"
C = "00:50:56:C0:00:08"


def hwid_prints(*arguments):
    return subprocess.run([HWID, *arguments], check=True, capture_output=True).stdout.decode(
        "ascii")


def codes(address):
    return "".join(str(ord(character)) for character in address)


def legacy(serial, *addresses):
    return f"{serial}010" + "".join(codes(address) + "1310" for address in addresses)


def current(serial, *addresses):
    return f"{serial}010" + "".join("\t" + codes(address) + "1310" for address in addresses)


@pytest.mark.parametrize(
    "arguments, answer",
    [
        ((), hwid.bare_serial),
        (("oldtrial",), lambda: hwid.identifier("legacy")),
        (("x",), hwid.identifier),
        (("current",), lambda: hwid.identifier("current")),
        (("OLDTRIAL",), lambda: hwid.identifier(hwid.Layout.CURRENT)),
        (("oldtrial",), lambda: hwid.identifier(hwid.Layout.LEGACY)),
    ],
    ids=["bare", "legacy", "default", "current", "current-enum", "legacy-enum"],
)
def test_machine_answers_equal_what_hwid_prints(arguments, answer):
    assert answer() == hwid_prints(*arguments)


def test_answers_from_many_threads_at_once_equal_hwid():
    expected = hwid_prints("x")
    answers = []

    def ask():
        answers.extend(hwid.identifier() for _ in range(20))

    threads = [threading.Thread(target=ask) for _ in range(8)]
    for thread in threads:
        thread.start()
    for thread in threads:
        thread.join()
    assert answers == [expected] * 160


# Pre-fork servers and multiprocessing's default start method on Linux fork a process that has
# already used the library: the child has no copy of the parent's worker thread.
def test_a_forked_child_gets_the_same_answer(restore_timeout):
    expected = hwid.identifier()
    hwid.set_timeout_ms(1000)
    reader, writer = os.pipe()
    child = os.fork()
    if child == 0:
        # Whatever happens, the child must not go on running the tests.
        try:
            os.write(writer, hwid.identifier().encode("ascii"))
        finally:
            os._exit(0)
    os.close(writer)
    with os.fdopen(reader, "rb") as pipe:
        answer = pipe.read().decode("ascii")
    os.waitpid(child, 0)
    assert answer == expected


def test_own_identifier_reads_back_and_compares_identical_across_layouts():
    mine = hwid.decode(hwid.identifier())
    serial = int(hwid.bare_serial()) % 2**32
    assert mine.serial == serial
    assert mine.layout == (hwid.Layout.CURRENT if mine.addresses else hwid.Layout.EITHER)
    comparison = hwid.compare(hwid.identifier("legacy"), hwid.identifier())
    assert comparison.verdict == hwid.Verdict.IDENTICAL
    assert comparison.common == tuple(sorted(mine.addresses))


def test_loads_the_library_placed_in_the_package():
    assert os.path.dirname(hwid.library_path()) == os.path.dirname(hwid.__file__)


def run_python(code, **environment):
    return subprocess.run([sys.executable, "-c", code], capture_output=True, text=True,
                          env={**os.environ, **environment})


def test_hwid_library_variable_chooses_the_library():
    result = run_python("import hwid; print(hwid.library_path()); print(hwid.bare_serial())",
                        HWID_LIBRARY=BUILD_LIBRARY)
    assert result.returncode == 0, result.stderr
    assert result.stdout == f"{BUILD_LIBRARY}\n{hwid_prints()}\n"


def test_missing_library_is_an_os_error_naming_the_variable():
    result = run_python("import hwid\ntry:\n hwid.version()\nexcept OSError as e:\n print(e)",
                        HWID_LIBRARY="/nonexistent/libhwid.so.1")
    assert result.returncode == 0, result.stderr
    assert "/nonexistent/libhwid.so.1" in result.stdout and "HWID_LIBRARY" in result.stdout


def test_load_takes_a_path_and_later_calls_use_it():
    packaged = hwid.library_path()
    try:
        assert hwid.load(BUILD_LIBRARY) == BUILD_LIBRARY
        assert hwid.library_path() == BUILD_LIBRARY
        assert hwid.identifier() == hwid_prints("x")
    finally:
        hwid.load(packaged)


def test_a_machine_that_never_answers_times_out_and_the_host_still_exits():
    # Three calls time out, each leaving a library thread stuck; with all three stuck, the next
    # calls are refused without waiting, even with a limit of a minute.
    code = """if True:
        import time, hwid
        hwid.set_timeout_ms(300)
        for call in (hwid.bare_serial, hwid.identifier, hwid.bare_serial, hwid.identifier,
                     lambda: hwid.set_timeout_ms(60000), hwid.bare_serial):
            start = time.monotonic()
            try:
                call()
            except (hwid.TimedOutError, hwid.NotRespondingError) as error:
                print(type(error).__name__, error.status.name, error, time.monotonic() - start)
        """
    result = subprocess.run([sys.executable, "-c", code], capture_output=True, text=True,
                            timeout=60, env={**os.environ, "LD_PRELOAD": NEVER_ANSWERS})
    assert result.returncode == 0, result.stderr
    lines = [line.split(" ") for line in result.stdout.splitlines()]
    assert [line[:-1] for line in lines] == (
        [["TimedOutError", "TIMED_OUT", "timed", "out"]] * 3
        + [["NotRespondingError", "NOT_RESPONDING", "not", "responding"]] * 2)
    # At least the limit that was set, and far from the default 30 s; refusals far from either.
    assert all(0.3 <= float(line[-1]) < 10 for line in lines[:3]), result.stdout
    assert all(float(line[-1]) < 10 for line in lines[3:]), result.stdout


VOLUME_FAULT = hwid.Fault(
    "GetVolumeInformationA", 1117, None, None, None,
    "the request could not be performed because of an I/O device error",
    "the volume serial number could not be read: GetVolumeInformationA failed with error 1117, "
    "the request could not be performed because of an I/O device error")


def test_a_failed_reading_raises_incomplete_with_hwids_text_and_the_fault():
    # Every reading, from this thread and from several at once, and a caller that catches only
    # HwidError: none may return the degraded text as if it were this machine's identifier.
    code = """if True:
        import dataclasses, json, threading, hwid
        def outcome(call):
            try:
                return ["returned", call()]
            except hwid.HwidError as error:
                return [type(error).__name__, error.status.name, str(error), error.text,
                        [dataclasses.astuple(fault) for fault in error.faults]]
        calls = [hwid.bare_serial, lambda: hwid.identifier("legacy"), hwid.identifier]
        results = [outcome(call) for call in calls]
        threaded = []
        def ask():
            threaded.append([outcome(call) for call in calls * 5])
        threads = [threading.Thread(target=ask) for _ in range(4)]
        for thread in threads:
            thread.start()
        for thread in threads:
            thread.join()
        print(json.dumps([results, threaded == [results * 5] * 4]))
        """
    environment = {**os.environ, "LD_PRELOAD": UNREADABLE_VOLUME}
    result = subprocess.run([sys.executable, "-c", code], capture_output=True, text=True,
                            timeout=60, env=environment)
    assert result.returncode == 0, result.stderr
    results, threads_agree = json.loads(result.stdout)
    printed = [subprocess.run([HWID, *arguments], check=True, capture_output=True,
                              env=environment).stdout.decode("ascii")
               for arguments in ([], ["oldtrial"], ["x"])]
    assert printed[0] == "0" and printed[2].startswith("0010")
    message = f"incomplete: {VOLUME_FAULT.text}"
    fault = list(dataclasses.astuple(VOLUME_FAULT))
    assert results == [["IncompleteError", "INCOMPLETE", message, text, [fault]]
                       for text in printed]
    assert threads_agree


def fault_line(*fields):
    return "".join(field + "\t" for field in fields[:-1]) + fields[-1] + "\n"


ASSOCIATORS = "associators of {Win32_NetworkAdapter.DeviceID='3'} WHERE ClassDefsOnly"


@pytest.mark.parametrize(
    "lines, faults",
    [
        ("", ()),
        (fault_line("ConnectServer", "0x80041003", "", "", "", "access denied",
                    "WMI could not be reached: ConnectServer failed with 0x80041003, access "
                    "denied"),
         (hwid.Fault("ConnectServer", 0x80041003, None, None, None, "access denied",
                     "WMI could not be reached: ConnectServer failed with 0x80041003, access "
                     "denied"),)),
        (fault_line("ExecQuery", "0x80041003", "3", ASSOCIATORS, "", "access denied", "adapter 3")
         + fault_line("Get", "0x8004100A", "", "select Index from x", "Index", "", "a query")
         + fault_line("GetVolumeInformationA", "error 21", "", "", "", "not ready", "volume"),
         (hwid.Fault("ExecQuery", 0x80041003, "3", ASSOCIATORS, None, "access denied",
                     "adapter 3"),
          hwid.Fault("Get", 0x8004100A, None, "select Index from x", "Index", "", "a query"),
          hwid.Fault("GetVolumeInformationA", 21, None, None, None, "not ready", "volume"))),
    ],
    ids=["none", "connection", "adapter-property-and-volume"],
)
def test_fault_lines_of_the_library_become_faults(monkeypatch, lines, faults):
    data = lines.encode("ascii")

    def last_faults(buffer, size, needed):
        ctypes.cast(needed, ctypes.POINTER(ctypes.c_size_t))[0] = len(data) + 1
        if size < len(data) + 1:
            return hwid.Status.BUFFER_TOO_SMALL
        ctypes.memmove(buffer, data + b"\0", len(data) + 1)
        return hwid.Status.OK

    library = type("Library", (), {"hwid_last_faults": staticmethod(last_faults)})
    monkeypatch.setattr(hwid, "_lib", lambda: library)
    assert hwid._last_faults() == faults


HEADER = os.path.join(os.path.dirname(__file__), "..", "..", "..", "include", "hwid", "hwid.h")


@pytest.mark.parametrize("prefix, enumeration",
                         [("HWID_STATUS_", hwid.Status), ("HWID_LAYOUT_", hwid.Layout),
                          ("HWID_VERDICT_", hwid.Verdict)],
                         ids=["status", "layout", "verdict"])
def test_enumerations_are_the_headers(prefix, enumeration):
    with open(HEADER, encoding="ascii") as header:
        values = re.findall(rf"\b{prefix}(\w+) = (\d+)", header.read())
    assert values
    assert {name: int(value) for name, value in values} == {
        member.name: member.value for member in enumeration}


def test_version_is_the_projects_and_the_packages():
    assert hwid.version() == os.environ["HWID_EXPECTED_VERSION"]
    assert importlib.metadata.version("hwid") == hwid.version()


@pytest.fixture
def restore_timeout():
    before = hwid.timeout_ms()
    yield
    hwid.set_timeout_ms(before)


def test_timeout_defaults_to_30_s_and_keeps_what_is_set(restore_timeout):
    assert hwid.timeout_ms() == 30000
    for milliseconds in (1, 5000, 0xFFFFFFFF):
        hwid.set_timeout_ms(milliseconds)
        assert hwid.timeout_ms() == milliseconds


@pytest.mark.parametrize("milliseconds", [0, -1, 2**32])
def test_timeout_outside_the_range_is_refused_and_changes_nothing(restore_timeout, milliseconds):
    hwid.set_timeout_ms(1234)
    with pytest.raises(hwid.InvalidArgumentError) as raised:
        hwid.set_timeout_ms(milliseconds)
    assert isinstance(raised.value, ValueError)
    assert raised.value.status == hwid.Status.INVALID_ARGUMENT
    assert hwid.timeout_ms() == 1234


@pytest.mark.parametrize("milliseconds", [1.5, "100", True, None])
def test_timeout_must_be_an_int(milliseconds):
    with pytest.raises(TypeError):
        hwid.set_timeout_ms(milliseconds)


@pytest.mark.parametrize(
    "text, layout, serial, addresses",
    [
        ("30541989601048485849655850665851675852685853691310", hwid.Layout.LEGACY, 305419896,
         (B,)),
        ("305419896010\t48485849655850665851675852685853691310", hwid.Layout.CURRENT, 305419896,
         (B,)),
        ("305419896010", hwid.Layout.EITHER, 305419896, ()),
        ("4294967295010", hwid.Layout.EITHER, 4294967295, ()),
        ("7010651310981310", hwid.Layout.LEGACY, 7, ("A", "b")),
        ("7010\t651310\t981310", hwid.Layout.CURRENT, 7, ("A", "b")),
        ("120100101011310", hwid.Layout.LEGACY, 12010, ("e",)),
        # an empty line is an address of its own, which the count keeps apart from no address
        ("00101310651310661310", hwid.Layout.LEGACY, 0, ("", "A", "B")),
        ("00101310", hwid.Layout.LEGACY, 0, ("",)),
        ("9010126321310", hwid.Layout.LEGACY, 9, ("~ ",)),
        (current(7, C, A, B), hwid.Layout.CURRENT, 7, (C, A, B)),
    ],
    ids=["legacy", "current", "no-address", "largest-serial", "two-legacy", "two-current",
         "serial-like-separator", "empty-line", "one-empty-line", "printable-bounds",
         "order-kept"],
)
def test_decode_gives_layout_serial_and_addresses(text, layout, serial, addresses):
    expected = hwid.Decoded(layout, serial, addresses)
    assert hwid.decode(text) == expected
    assert hwid.decode(text.encode("ascii")) == expected
    assert hwid.decode(bytearray(text, "ascii")) == expected
    assert hwid.decode(memoryview(text.encode("ascii"))) == expected


@pytest.mark.parametrize(
    "text, position",
    [
        ("", 0),
        ("x010", 0),
        ("-402614091", 0),
        ("0123010", 1),
        ("4294967296010", 9),
        ("305419896010484", 15),
        ("305419896010\t651310661310", 19),
        ("305419896010651310\n", 18),
        # the length is passed, so a NUL is just an invalid byte
        ("70\x0010", 2),
        # outside ASCII: UTF-8 bytes, refused at the character's own position
        ("305419896010é", 12),
        ("3054€", 4),
        ("12\ud800", 2),
        (b"305419896010\xff", 12),
    ],
    ids=["empty", "letter", "signed-serial", "leading-zero", "serial-too-large",
         "ends-inside-code", "current-line-without-tab", "trailing-line-feed", "nul",
         "latin-letter", "euro-sign", "lone-surrogate", "byte-above-127"],
)
def test_decode_refuses_invalid_text_saying_where(text, position):
    with pytest.raises(hwid.InvalidIdentifierError) as raised:
        hwid.decode(text)
    error = raised.value
    assert isinstance(error, ValueError) and isinstance(error, hwid.HwidError)
    assert error.status == hwid.Status.INVALID_IDENTIFIER
    assert error.position == position
    assert error.argument is None
    assert f"at character {position}" in str(error)


@pytest.mark.parametrize("text", [None, 42, ["7010"]])
def test_decode_takes_only_text(text):
    with pytest.raises(TypeError):
        hwid.decode(text)


@pytest.mark.parametrize(
    "first, second, verdict, serial_changed, common, added, removed",
    [
        (legacy(7, A, B), legacy(7, A, B), hwid.Verdict.IDENTICAL, False, (A, B), (), ()),
        (legacy(7, A), current(7, A), hwid.Verdict.IDENTICAL, False, (A,), (), ()),
        (legacy(7), current(7), hwid.Verdict.IDENTICAL, False, (), (), ()),
        (legacy(7, B), legacy(7, A, B), hwid.Verdict.SAME_MACHINE_CHANGED, False, (B,), (A,),
         ()),
        (legacy(7, A, C), legacy(7, C), hwid.Verdict.SAME_MACHINE_CHANGED, False, (C,), (),
         (A,)),
        (legacy(7, A, B), current(7, C, B), hwid.Verdict.SAME_MACHINE_CHANGED, False, (B,), (C,),
         (A,)),
        (legacy(7, A, A), legacy(7, A), hwid.Verdict.SAME_MACHINE_CHANGED, False, (A,), (),
         (A,)),
        (legacy(7, B, A), current(8, A, B), hwid.Verdict.SAME_MACHINE_CHANGED, True, (A, B), (),
         ()),
        (legacy(7, A), legacy(7, B), hwid.Verdict.DIFFERENT, False, (), (B,), (A,)),
        (legacy(7, A), legacy(7), hwid.Verdict.DIFFERENT, False, (), (), (A,)),
        (legacy(7, A), legacy(8, B), hwid.Verdict.DIFFERENT, True, (), (B,), (A,)),
        (legacy(7), legacy(8), hwid.Verdict.DIFFERENT, True, (), (), ()),
    ],
    ids=["same", "other-layout-only", "no-addresses", "added", "removed", "one-replaced",
         "duplicate-gone", "new-serial-same-addresses", "nothing-in-common", "addresses-gone",
         "all-new", "new-serial-no-addresses"],
)
def test_compare_gives_verdict_and_difference(first, second, verdict, serial_changed, common,
                                              added, removed):
    expected = hwid.Comparison(verdict, serial_changed, common, added, removed)
    assert hwid.compare(first, second) == expected
    assert hwid.compare(first.encode("ascii"), second) == expected


@pytest.mark.parametrize(
    "first, second, argument, position",
    [
        ("7010x", legacy(7, A), 1, 4),
        (legacy(7, A), "7010\t65", 2, 7),
        ("", "", 1, 0),
        (legacy(7, A), "7010é", 2, 4),
    ],
    ids=["first", "second", "both-empty", "second-non-ascii"],
)
def test_compare_says_which_identifier_is_invalid_and_where(first, second, argument, position):
    with pytest.raises(hwid.InvalidIdentifierError) as raised:
        hwid.compare(first, second)
    assert isinstance(raised.value, ValueError)
    assert (raised.value.argument, raised.value.position) == (argument, position)
    assert f"identifier {argument}" in str(raised.value)


@pytest.mark.parametrize("layout", ["Legacy", "oldtrial", "", 2, None])
def test_identifier_takes_only_the_two_layout_names_or_a_layout(layout):
    with pytest.raises((ValueError, TypeError)):
        hwid.identifier(layout)


def test_layout_either_is_refused_by_the_library():
    with pytest.raises(hwid.InvalidArgumentError) as raised:
        hwid.identifier(hwid.Layout.EITHER)
    assert raised.value.status == hwid.Status.INVALID_ARGUMENT


@pytest.mark.parametrize(
    "status, kind",
    [
        (hwid.Status.TIMED_OUT, TimeoutError),
        (hwid.Status.TIMED_OUT, hwid.TimedOutError),
        (hwid.Status.NOT_RESPONDING, TimeoutError),
        (hwid.Status.NOT_RESPONDING, hwid.NotRespondingError),
        (hwid.Status.INVALID_ARGUMENT, ValueError),
        (hwid.Status.INTERNAL_ERROR, hwid.HwidError),
        (99, hwid.HwidError),
    ],
    ids=["timed-out-is-timeout-error", "timed-out", "not-responding-is-timeout-error",
         "not-responding", "invalid-argument", "internal", "unknown"],
)
def test_statuses_become_exceptions_named_by_the_library(status, kind):
    with pytest.raises(kind) as raised:
        hwid._raise(status)
    assert raised.value.status == status
    assert str(raised.value) == hwid._lib().hwid_status_name(status).decode("ascii")


# Eight adapters: longer than the first buffer, so every call grows it.
EIGHT = tuple(f"00:1A:2B:3C:4D:{n:02X}" for n in range(8))
MANY = current(4294967295, *EIGHT)
OTHER = legacy(1, EIGHT[7], A)


@pytest.mark.parametrize("first_size", [0, 1, 7, 256],
                         ids=["size-query", "one-byte", "short", "default"])
def test_every_first_buffer_size_gives_the_same_answers(monkeypatch, first_size):
    assert len(MANY) > hwid._FIRST_BUFFER_SIZE
    expected = (hwid_prints(), hwid_prints("oldtrial"), hwid_prints("x"),
                hwid.Decoded(hwid.Layout.CURRENT, 4294967295, EIGHT),
                hwid.Comparison(hwid.Verdict.DIFFERENT, True, (EIGHT[7],), EIGHT[:7], (A,)))
    monkeypatch.setattr(hwid, "_FIRST_BUFFER_SIZE", first_size)
    assert (hwid.bare_serial(), hwid.identifier("legacy"), hwid.identifier(), hwid.decode(MANY),
            hwid.compare(OTHER, MANY)) == expected


def test_text_that_grew_after_the_size_query_is_asked_for_again(monkeypatch):
    monkeypatch.setattr(hwid, "_FIRST_BUFFER_SIZE", 0)
    texts = [b"1234", b"12345678", b"12345678"]
    seen = []

    def call(buffer, size, needed):
        text = texts[len(seen)]
        seen.append((buffer is None, size))
        ctypes.cast(needed, ctypes.POINTER(ctypes.c_size_t))[0] = len(text) + 1
        if size < len(text) + 1:
            return hwid.Status.BUFFER_TOO_SMALL
        ctypes.memmove(buffer, text + b"\0", len(text) + 1)
        return hwid.Status.OK

    assert hwid._call_into_buffer(call) == (hwid.Status.OK, b"12345678")
    assert seen == [(True, 0), (False, 5), (False, 9)]

"""The hwid library from Python: this machine's identifier exactly as the `hwid` program prints it,
and reading and comparing identifiers.

A thin layer over the library's C interface (hwid.h) through ctypes: every answer comes from the
library, this module only converts arguments, buffers and statuses.

The library is loaded on first use from, in this order: the path given to `load()`, the path in
the environment variable HWID_LIBRARY, this package's own directory (libhwid.so.1, libhwid.so or
hwid.dll placed beside this file), and the system's library search path.

Identifiers are ASCII. Texts may be given as `str` or as bytes; a `str` is passed on in UTF-8, so
a character outside ASCII is rejected as an invalid identifier at its own position (or before
it). Every text returned is a `str`.

A reading of this machine in which a call failed (WMI could not be reached, an adapter or the
volume could not be read) raises IncompleteError, never returns: the text `hwid` would print and
what failed are in the exception.
"""

from __future__ import annotations

import ctypes
import dataclasses
import enum
import os
import sys
from typing import Callable, Optional, Tuple, Union

__all__ = [
    "Comparison",
    "Decoded",
    "Fault",
    "HwidError",
    "IncompleteError",
    "InvalidArgumentError",
    "InvalidIdentifierError",
    "Layout",
    "NotRespondingError",
    "Status",
    "TimedOutError",
    "Verdict",
    "bare_serial",
    "compare",
    "decode",
    "identifier",
    "library_path",
    "load",
    "set_timeout_ms",
    "timeout_ms",
    "version",
]


class Status(enum.IntEnum):
    """hwid_status."""

    OK = 0
    BUFFER_TOO_SMALL = 1
    TIMED_OUT = 2
    INVALID_ARGUMENT = 3
    INVALID_IDENTIFIER = 4
    INTERNAL_ERROR = 5
    INCOMPLETE = 6
    NOT_RESPONDING = 7


class Layout(enum.Enum):
    """hwid_layout: LEGACY is what `hwid oldtrial` prints, CURRENT what `hwid WORD` prints."""

    LEGACY = 1
    CURRENT = 2
    EITHER = 3  # decoded only: no addresses, so both layouts are the same text


class Verdict(enum.Enum):
    """hwid_verdict."""

    IDENTICAL = 1
    SAME_MACHINE_CHANGED = 2
    DIFFERENT = 3


@dataclasses.dataclass(frozen=True)
class Decoded:
    layout: Layout
    serial: int
    addresses: Tuple[str, ...]  # in the order the identifier holds them


@dataclasses.dataclass(frozen=True)
class Comparison:
    verdict: Verdict
    serial_changed: bool
    common: Tuple[str, ...]
    added: Tuple[str, ...]  # in the second identifier only
    removed: Tuple[str, ...]  # in the first identifier only


@dataclasses.dataclass(frozen=True)
class Fault:
    """A call that failed while the machine was read."""

    call: str  # "ConnectServer", "ExecQuery", "Next", "Get", "GetVolumeInformationA", ...
    code: int  # the HRESULT; for GetVolumeInformationA the system error code
    adapter: Optional[str]  # the index of the adapter the call was about
    query: Optional[str]  # the WQL query
    property: Optional[str]  # the property that Get could not read
    message: str  # the system's words for the code, or "" for a code the library does not know
    text: str  # one sentence for a person


class HwidError(Exception):
    """A status other than ok; `status` is a Status, or the number of one this module predates."""

    def __init__(self, status: Union[Status, int], message: str) -> None:
        super().__init__(message)
        self.status = status


class InvalidArgumentError(HwidError, ValueError):
    """The library refused an argument (an unknown layout, a zero time limit)."""


class InvalidIdentifierError(HwidError, ValueError):
    """The text is not an identifier in either layout.

    `position` is the length of its longest valid prefix; `argument` is 1 or 2 for `compare`'s
    first or second identifier, None for `decode`.
    """

    def __init__(self, message: str, position: int, argument: Optional[int]) -> None:
        super().__init__(Status.INVALID_IDENTIFIER, message)
        self.position = position
        self.argument = argument


class TimedOutError(HwidError, TimeoutError):
    """The machine did not answer within the library's time limit."""


class IncompleteError(HwidError):
    """A call failed while the machine was read, so the text may lack an address or the serial.

    `text` is what the `hwid` program prints all the same; `faults` says what failed. A licence
    check must not take `text` for this machine's identifier: retry after a pause, or fall back to
    the identifier stored at activation.
    """

    def __init__(self, text: str, faults: Tuple[Fault, ...]) -> None:
        # "incomplete: WMI could not be reached: ConnectServer failed with ...", for a log
        message = _status_name(Status.INCOMPLETE)
        if faults:
            message += ": " + "; ".join(fault.text for fault in faults)
        super().__init__(Status.INCOMPLETE, message)
        self.text = text
        self.faults = faults


class NotRespondingError(HwidError, TimeoutError):
    """Refused at once: every thread the library may hold is stuck in a call that timed out, and
    the machine has answered none of them yet."""


TextInput = Union[str, bytes, bytearray, memoryview]


class _Decoded(ctypes.Structure):
    _fields_ = [
        ("layout", ctypes.c_int),
        ("serial", ctypes.c_uint32),
        ("address_count", ctypes.c_size_t),
        ("error_position", ctypes.c_size_t),
    ]


class _Comparison(ctypes.Structure):
    _fields_ = [
        ("verdict", ctypes.c_int),
        ("serial_changed", ctypes.c_int),
        ("common_count", ctypes.c_size_t),
        ("added_count", ctypes.c_size_t),
        ("removed_count", ctypes.c_size_t),
        ("invalid_identifier", ctypes.c_int),
        ("error_position", ctypes.c_size_t),
    ]


_SizeOut = ctypes.POINTER(ctypes.c_size_t)
_Buffer = ctypes.POINTER(ctypes.c_char)
_SIGNATURES = {
    "hwid_status_name": (ctypes.c_char_p, [ctypes.c_int]),
    "hwid_version": (ctypes.c_char_p, []),
    "hwid_set_timeout_ms": (ctypes.c_int, [ctypes.c_uint32]),
    "hwid_timeout_ms": (ctypes.c_uint32, []),
    "hwid_bare_serial": (ctypes.c_int, [_Buffer, ctypes.c_size_t, _SizeOut]),
    "hwid_identifier": (ctypes.c_int, [ctypes.c_int, _Buffer, ctypes.c_size_t, _SizeOut]),
    "hwid_last_faults": (ctypes.c_int, [_Buffer, ctypes.c_size_t, _SizeOut]),
    "hwid_decode": (
        ctypes.c_int,
        [ctypes.c_char_p, ctypes.c_size_t, ctypes.POINTER(_Decoded), _Buffer, ctypes.c_size_t,
         _SizeOut],
    ),
    "hwid_compare": (
        ctypes.c_int,
        [ctypes.c_char_p, ctypes.c_size_t, ctypes.c_char_p, ctypes.c_size_t,
         ctypes.POINTER(_Comparison), _Buffer, ctypes.c_size_t, _SizeOut],
    ),
}

_LIBRARY_NAMES = ("hwid.dll",) if sys.platform == "win32" else ("libhwid.so.1", "libhwid.so")

# Room for any machine's identifier with a few adapters, so one call usually does; a longer text
# costs a second call with the size the library asked for.
_FIRST_BUFFER_SIZE = 256

_library: Optional[ctypes.CDLL] = None
_library_path: Optional[str] = None


def _open(path: str) -> ctypes.CDLL:
    library = ctypes.CDLL(path)
    for name, (result, arguments) in _SIGNATURES.items():
        function = getattr(library, name)
        function.restype = result
        function.argtypes = arguments
    return library


def load(path: Optional[str] = None) -> str:
    """Loads the library from `path`, or from where the module docstring says; returns the path.

    Later calls use the library loaded last. Raises OSError when no library can be loaded.
    """
    global _library, _library_path
    if path is None:
        path = os.environ.get("HWID_LIBRARY") or None
    if path is not None:
        candidates = [os.fspath(path)]
    else:
        here = os.path.dirname(os.path.abspath(__file__))
        candidates = [os.path.join(here, name) for name in _LIBRARY_NAMES]
        candidates = [candidate for candidate in candidates if os.path.exists(candidate)]
        candidates += list(_LIBRARY_NAMES)
    errors = []
    for candidate in candidates:
        try:
            library = _open(candidate)
        except (OSError, AttributeError) as error:
            errors.append(f"{candidate}: {error}")
            continue
        _library, _library_path = library, candidate
        return candidate
    raise OSError("cannot load the hwid library (set HWID_LIBRARY to its path): "
                  + "; ".join(errors))


def _lib() -> ctypes.CDLL:
    library = _library
    if library is None:
        load()
        library = _library
    assert library is not None
    return library


def library_path() -> str:
    """The path the library was loaded from (loading it if need be)."""
    _lib()
    assert _library_path is not None
    return _library_path


def _status_name(status: int) -> str:
    return _lib().hwid_status_name(status).decode("ascii")


def _raise(status: int) -> None:
    message = _status_name(status)
    if status == Status.TIMED_OUT:
        raise TimedOutError(Status.TIMED_OUT, message)
    if status == Status.NOT_RESPONDING:
        raise NotRespondingError(Status.NOT_RESPONDING, message)
    if status == Status.INVALID_ARGUMENT:
        raise InvalidArgumentError(Status.INVALID_ARGUMENT, message)
    try:
        known: Union[Status, int] = Status(status)
    except ValueError:  # a status added after this module was written
        known = status
    raise HwidError(known, message)


# call(buffer, size, pointer to needed) -> status
_BufferCall = Callable[[Optional[ctypes.Array], int, object], int]


def _call_into_buffer(call: _BufferCall) -> Tuple[int, bytes]:
    """Runs `call` until the text fits: a size of 0 passes a null buffer, which asks for the size
    alone. Returns the status and the text (empty unless ok or incomplete)."""
    size = _FIRST_BUFFER_SIZE
    needed = ctypes.c_size_t(0)
    while True:
        buffer = ctypes.create_string_buffer(size) if size > 0 else None
        status = call(buffer, size, ctypes.byref(needed))
        if status != Status.BUFFER_TOO_SMALL:
            break
        # The text may have grown since the size was asked (an adapter came up): ask again.
        size = max(needed.value, size + 1)
    if status not in (Status.OK, Status.INCOMPLETE) or buffer is None:
        return status, b""
    return status, buffer.value


def _fault(line: str) -> Fault:
    call, code, adapter, query, property_name, message, text = line.split("\t", 6)
    # "0x80041003", or "error 21" for the volume
    number = int(code, 16) if code.startswith("0x") else int(code[len("error "):])
    return Fault(call, number, adapter or None, query or None, property_name or None, message,
                 text)


def _last_faults() -> Tuple[Fault, ...]:
    """The faults of this thread's last reading: one line each, seven tab-ended fields."""
    status, text = _call_into_buffer(_lib().hwid_last_faults)
    if status != Status.OK:
        _raise(status)
    return tuple(_fault(line) for line in text.decode("utf-8", "replace").split("\n")[:-1])


def _text_call(call: _BufferCall) -> str:
    status, text = _call_into_buffer(call)
    if status == Status.INCOMPLETE:
        # The faults belong to the thread that read: ask before anything else reads on it.
        raise IncompleteError(text.decode("ascii"), _last_faults())
    if status != Status.OK:
        _raise(status)
    return text.decode("ascii")


def _input_bytes(text: TextInput, name: str) -> bytes:
    if isinstance(text, str):
        return text.encode("utf-8", "surrogatepass")
    if isinstance(text, (bytes, bytearray, memoryview)):
        return bytes(text)
    raise TypeError(f"{name} must be str or bytes, not {type(text).__name__}")


def _split(text: bytes, count: int) -> Tuple[str, ...]:
    # The count tells an empty list from a list holding one empty address.
    return tuple(text.decode("ascii").split("\t")) if count else ()


_LAYOUT_NAMES = {"legacy": Layout.LEGACY, "current": Layout.CURRENT}


def version() -> str:
    """The library's version, such as "1.0.0"."""
    return _lib().hwid_version().decode("ascii")


def timeout_ms() -> int:
    """The time limit of every call that reads the machine, in milliseconds (default 30000)."""
    return int(_lib().hwid_timeout_ms())


def set_timeout_ms(milliseconds: int) -> None:
    """Sets the time limit of the calls that start afterwards: 1 to 4294967295 milliseconds."""
    if isinstance(milliseconds, bool) or not isinstance(milliseconds, int):
        raise TypeError("milliseconds must be an int")
    if not 0 <= milliseconds <= 0xFFFFFFFF:
        # ctypes would pass the number modulo 2**32.
        raise InvalidArgumentError(Status.INVALID_ARGUMENT,
                                   f"{milliseconds} ms is outside the library's range")
    status = _lib().hwid_set_timeout_ms(milliseconds)
    if status != Status.OK:
        _raise(status)


def bare_serial() -> str:
    """What `hwid` prints with no argument: the signed volume serial, such as "-402614091".

    IncompleteError when the volume could not be read.
    """
    library = _lib()
    return _text_call(library.hwid_bare_serial)


def identifier(layout: Union[str, Layout] = "current") -> str:
    """What `hwid oldtrial` ("legacy") or `hwid WORD` ("current") prints on this machine.

    IncompleteError when a call failed while reading it (WMI or the volume).
    """
    if isinstance(layout, str):
        if layout not in _LAYOUT_NAMES:
            raise ValueError(f"layout must be 'legacy' or 'current', not {layout!r}")
        layout = _LAYOUT_NAMES[layout]
    if not isinstance(layout, Layout):
        raise TypeError(f"layout must be a str or a Layout, not {type(layout).__name__}")
    library = _lib()
    return _text_call(lambda buffer, size, needed: library.hwid_identifier(
        layout.value, buffer, size, needed))


def decode(text: TextInput) -> Decoded:
    """Layout, serial and addresses of an identifier; InvalidIdentifierError when it is none."""
    data = _input_bytes(text, "text")
    library = _lib()
    result = _Decoded()

    def call(buffer: Optional[ctypes.Array], size: int, needed: object) -> int:
        return library.hwid_decode(data, len(data), ctypes.byref(result), buffer, size, needed)

    status, addresses = _call_into_buffer(call)
    if status == Status.INVALID_IDENTIFIER:
        position = result.error_position
        raise InvalidIdentifierError(f"{_status_name(status)} at character {position}", position,
                                     None)
    if status != Status.OK:
        _raise(status)
    return Decoded(Layout(result.layout), result.serial, _split(addresses, result.address_count))


def compare(first: TextInput, second: TextInput) -> Comparison:
    """Compares the identifier a licence was issued to (`first`) with another (`second`)."""
    before = _input_bytes(first, "first")
    after = _input_bytes(second, "second")
    library = _lib()
    result = _Comparison()

    def call(buffer: Optional[ctypes.Array], size: int, needed: object) -> int:
        return library.hwid_compare(before, len(before), after, len(after), ctypes.byref(result),
                                    buffer, size, needed)

    status, text = _call_into_buffer(call)
    if status == Status.INVALID_IDENTIFIER:
        argument, position = result.invalid_identifier, result.error_position
        raise InvalidIdentifierError(
            f"identifier {argument}: {_status_name(status)} at character {position}", position,
            argument)
    if status != Status.OK:
        _raise(status)
    counts = (result.common_count, result.added_count, result.removed_count)
    addresses = _split(text, sum(counts))
    common_end = counts[0]
    added_end = common_end + counts[1]
    return Comparison(Verdict(result.verdict), bool(result.serial_changed),
                      addresses[:common_end], addresses[common_end:added_end],
                      addresses[added_end:])


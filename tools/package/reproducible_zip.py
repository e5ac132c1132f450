"""Zip archives whose bytes depend on their contents alone: entries sorted by name, one time for
all of them (SOURCE_DATE_EPOCH, else a fixed one), fixed permissions, no extra fields. Wheels
and NuGet packages are zip files, so two builds of one commit give the same package."""

import os
import time
import zipfile
from typing import Dict

# The zip format starts in 1980; any time will do when the caller gives none.
_EARLIEST = 315532800
_DEFAULT_TIME = 946684800  # 2000-01-01


def _entry_time() -> tuple:
    text = os.environ.get("SOURCE_DATE_EPOCH")
    seconds = int(text) if text else _DEFAULT_TIME
    return time.gmtime(max(seconds, _EARLIEST))[:6]


def write(path: str, entries: Dict[str, bytes]) -> None:
    """Writes `entries` (name inside the archive -> contents) to the zip file `path`."""
    stamp = _entry_time()
    temporary = path + ".partial"
    with zipfile.ZipFile(temporary, "w") as archive:
        for name in sorted(entries):
            info = zipfile.ZipInfo(name, date_time=stamp)
            info.compress_type = zipfile.ZIP_DEFLATED
            info.create_system = 3  # Unix, so that the permissions below are read
            info.external_attr = 0o100644 << 16
            archive.writestr(info, entries[name], compresslevel=9)
    os.replace(temporary, path)

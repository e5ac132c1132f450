"""A wheel as pip reads it: its name and WHEEL tags name PLATFORM, it holds exactly the package's
sources, the library and the dist-info files, RECORD gives every other file's SHA-256 and size,
METADATA the version and the Python it needs. With --identical FILE, the library inside must be
FILE byte for byte.

Usage: check_wheel.py WHEEL_DIR VERSION PLATFORM_PATTERN LIBRARY_NAME [--identical FILE]
Prints the wheel's path.
"""

import argparse
import base64
import csv
import glob
import hashlib
import io
import os
import re
import sys
import zipfile


def fail(message: str) -> None:
    sys.exit(f"FAIL: {message}")


def main() -> None:
    parser = argparse.ArgumentParser()
    parser.add_argument("wheel_dir")
    parser.add_argument("version")
    parser.add_argument("platform")
    parser.add_argument("library")
    parser.add_argument("--identical")
    options = parser.parse_args()

    wheels = glob.glob(os.path.join(options.wheel_dir, "*.whl"))
    if len(wheels) != 1:
        fail(f"{options.wheel_dir} holds {wheels}, expected one wheel")
    wheel = wheels[0]
    name = os.path.basename(wheel)
    match = re.fullmatch(rf"hwid-{re.escape(options.version)}-py3-none-({options.platform})\.whl",
                         name)
    if not match:
        fail(f"{name}: expected hwid-{options.version}-py3-none-<{options.platform}>.whl")
    tag = f"py3-none-{match.group(1)}"

    dist_info = f"hwid-{options.version}.dist-info"
    expected = {"hwid/__init__.py", "hwid/py.typed", f"hwid/{options.library}",
                f"{dist_info}/LICENSE", f"{dist_info}/METADATA", f"{dist_info}/WHEEL",
                f"{dist_info}/RECORD"}
    with zipfile.ZipFile(wheel) as archive:
        names = set(archive.namelist())
        if names != expected:
            fail(f"{name} holds {sorted(names)}, expected {sorted(expected)}")
        contents = {entry: archive.read(entry) for entry in names}

    wheel_file = contents[f"{dist_info}/WHEEL"].decode("utf-8").splitlines()
    for line in ("Wheel-Version: 1.0", "Root-Is-Purelib: false", f"Tag: {tag}"):
        if line not in wheel_file:
            fail(f"WHEEL lacks [{line}]: {wheel_file}")
    metadata = contents[f"{dist_info}/METADATA"].decode("utf-8").splitlines()
    for line in (f"Version: {options.version}", "Name: hwid", "Requires-Python: >=3.8"):
        if line not in metadata:
            fail(f"METADATA lacks [{line}]: {metadata}")

    rows = list(csv.reader(io.StringIO(contents[f"{dist_info}/RECORD"].decode("utf-8"))))
    recorded = {row[0]: row[1:] for row in rows}
    if set(recorded) != expected or len(rows) != len(expected):
        fail(f"RECORD lists {sorted(recorded)}")
    for entry, (digest, size) in recorded.items():
        if entry == f"{dist_info}/RECORD":
            continue
        data = contents[entry]
        actual = base64.urlsafe_b64encode(hashlib.sha256(data).digest()).rstrip(b"=").decode()
        if digest != f"sha256={actual}" or size != str(len(data)):
            fail(f"RECORD says {digest} {size} for {entry}: it is sha256={actual} {len(data)}")

    if options.identical:
        with open(options.identical, "rb") as file:
            if file.read() != contents[f"hwid/{options.library}"]:
                fail(f"hwid/{options.library} in {name} is not {options.identical}")
    print(wheel)


if __name__ == "__main__":
    main()

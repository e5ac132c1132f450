"""Builds the Python package's wheel around one native library: hwid-VERSION-py3-none-PLATFORM.whl.

The package is pure Python (ctypes), so one wheel serves every CPython 3 of its platform; the
platform tag says what the library needs. For an ELF library it is worked out from the library
itself: the newest glibc, libstdc++ and libgcc symbol versions it asks for (objdump -T) and the
libraries it names (objdump -p) give the oldest manylinux tag whose systems have them all.
Writing the zip here, with the standard library only, keeps the wheel reproducible and needs no
setuptools or wheel package. Needs Python 3.11 (tomllib) to build; the wheel needs 3.8.

Usage: python_wheel.py --project DIR --library FILE --version VERSION --licence FILE
                       (--platform TAG | --objdump OBJDUMP) --output DIR
Prints the wheel's path.
"""

import argparse
import base64
import csv
import hashlib
import io
import os
import re
import subprocess
import sys
import tomllib
from typing import Dict, List, Tuple

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import reproducible_zip  # noqa: E402

# Libraries every manylinux system has (PEP 600 and its policies).
_SYSTEM_LIBRARIES = {"libc.so.6", "libm.so.6", "libdl.so.2", "librt.so.1", "libpthread.so.0",
                     "libgcc_s.so.1", "libstdc++.so.6", "ld-linux-x86-64.so.2"}

# manylinux_2_N, oldest first: the newest symbol versions of the C++ runtime that the systems of
# that glibc carry (the reference distribution in brackets).
_POLICIES = [
    ((2, 17), {"GLIBCXX": (3, 4, 19), "CXXABI": (1, 3, 7), "GCC": (4, 8, 0)}),  # CentOS 7
    ((2, 28), {"GLIBCXX": (3, 4, 25), "CXXABI": (1, 3, 11), "GCC": (7, 0, 0)}),  # RHEL 8
    ((2, 31), {"GLIBCXX": (3, 4, 28), "CXXABI": (1, 3, 12), "GCC": (7, 0, 0)}),  # Ubuntu 20.04
    ((2, 34), {"GLIBCXX": (3, 4, 29), "CXXABI": (1, 3, 13), "GCC": (7, 0, 0)}),  # RHEL 9
    ((2, 35), {"GLIBCXX": (3, 4, 30), "CXXABI": (1, 3, 13), "GCC": (7, 0, 0)}),  # Ubuntu 22.04
    ((2, 36), {"GLIBCXX": (3, 4, 30), "CXXABI": (1, 3, 13), "GCC": (7, 0, 0)}),  # Debian 12
]

Version = Tuple[int, ...]


def _objdump(objdump: str, option: str, library: str) -> str:
    return subprocess.run([objdump, option, library], check=True, capture_output=True,
                          text=True).stdout


def _newest_versions(symbols: str) -> Dict[str, Version]:
    newest: Dict[str, Version] = {}
    for name, number in re.findall(r"\b(GLIBC|GLIBCXX|CXXABI|GCC)_([0-9.]+)\b", symbols):
        version = tuple(int(part) for part in number.split("."))
        newest[name] = max(newest.get(name, ()), version)
    return newest


def manylinux_tag(objdump: str, library: str) -> str:
    """The oldest manylinux_2_N_x86_64 whose systems give `library` all it asks for."""
    return tag_for(library, _objdump(objdump, "-p", library), _objdump(objdump, "-T", library))


def tag_for(library: str, headers: str, symbols: str) -> str:
    """manylinux_tag from the library's `objdump -p` (headers) and `objdump -T` (symbols)."""
    needed = set(re.findall(r"^\s*NEEDED\s+(\S+)", headers, re.M))
    foreign = sorted(needed - _SYSTEM_LIBRARIES)
    if foreign:
        raise SystemExit(f"{library} needs {', '.join(foreign)}, which manylinux does not have")
    newest = _newest_versions(symbols)
    for glibc, runtime in _POLICIES:
        if newest.get("GLIBC", ()) <= glibc and all(
                newest.get(name, ()) <= limit for name, limit in runtime.items()):
            return f"manylinux_{glibc[0]}_{glibc[1]}_x86_64"
    shown = ", ".join(f"{name}_{'.'.join(map(str, version))}" for name, version in newest.items())
    raise SystemExit(f"{library} needs {shown}: newer than any manylinux tag known here")


def _record_hash(data: bytes) -> str:
    digest = base64.urlsafe_b64encode(hashlib.sha256(data).digest()).rstrip(b"=")
    return "sha256=" + digest.decode("ascii")


def _metadata(project: dict, licence: str) -> str:
    lines = [
        "Metadata-Version: 2.1",
        f"Name: {project['name']}",
        f"Version: {project['version']}",
        f"Summary: {project['description']}",
        f"License: {project['license']['text']}",
        f"Requires-Python: {project['requires-python']}",
    ]
    lines += [f"Classifier: {classifier}" for classifier in project.get("classifiers", [])]
    lines.append(f"License-File: {licence}")
    return "\n".join(lines) + "\n"


def build(project_dir: str, library: str, version: str, licence: str, platform: str,
          output: str) -> str:
    with open(os.path.join(project_dir, "pyproject.toml"), "rb") as file:
        project = tomllib.load(file)["project"]
    if project["version"] != version:
        raise SystemExit(f"pyproject.toml says version {project['version']}, the build {version}")
    name = project["name"]
    package = os.path.join(project_dir, name)

    files: Dict[str, bytes] = {}
    for entry in sorted(os.listdir(package)):
        path = os.path.join(package, entry)
        # Only the sources: a library or bytecode left there by a source install stays out.
        if os.path.isfile(path) and entry.endswith((".py", ".typed")):
            with open(path, "rb") as file:
                files[f"{name}/{entry}"] = file.read()
    with open(library, "rb") as file:
        library_name = os.path.basename(library)
        files[f"{name}/{library_name}"] = file.read()

    dist_info = f"{name}-{version}.dist-info"
    licence_name = os.path.basename(licence)
    with open(licence, "rb") as file:
        files[f"{dist_info}/{licence_name}"] = file.read()
    files[f"{dist_info}/METADATA"] = _metadata(project, licence_name).encode("utf-8")
    tag = f"py3-none-{platform}"
    files[f"{dist_info}/WHEEL"] = ("Wheel-Version: 1.0\nGenerator: hwid python_wheel.py\n"
                                   f"Root-Is-Purelib: false\nTag: {tag}\n").encode("utf-8")
    record = io.StringIO()
    writer = csv.writer(record, lineterminator="\n")
    for path in sorted(files):
        writer.writerow([path, _record_hash(files[path]), len(files[path])])
    writer.writerow([f"{dist_info}/RECORD", "", ""])
    files[f"{dist_info}/RECORD"] = record.getvalue().encode("utf-8")

    os.makedirs(output, exist_ok=True)
    # One wheel per platform in the folder: one made before with another tag would be stale.
    for stale in os.listdir(output):
        if stale.startswith(f"{name}-") and stale.endswith(".whl"):
            os.remove(os.path.join(output, stale))
    wheel = os.path.join(output, f"{name}-{version}-{tag}.whl")
    reproducible_zip.write(wheel, files)
    return wheel


def main(arguments: List[str]) -> None:
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--project", required=True)
    parser.add_argument("--library", required=True)
    parser.add_argument("--version", required=True)
    parser.add_argument("--licence", required=True)
    platform = parser.add_mutually_exclusive_group(required=True)
    platform.add_argument("--platform")
    platform.add_argument("--objdump")
    parser.add_argument("--output", required=True)
    options = parser.parse_args(arguments)
    tag = options.platform or manylinux_tag(options.objdump, options.library)
    print(build(options.project, options.library, options.version, options.licence, tag,
                options.output))


if __name__ == "__main__":
    main(sys.argv[1:])

"""A .nupkg as NuGet reads it: exactly the expected files, the Open Packaging parts that point at
the nuspec and the core properties, and a nuspec that declares the id, version, licence
expression, project URL, description, readme and the source file to compile. Each NAME=FILE
argument names a packed file that must be FILE byte for byte.

Usage: check_nupkg.py PACKAGE VERSION NAME=FILE...
"""

import re
import sys
import xml.etree.ElementTree as ElementTree
import zipfile

NUSPEC = "{http://schemas.microsoft.com/packaging/2013/05/nuspec.xsd}"
RELATIONSHIPS = "{http://schemas.openxmlformats.org/package/2006/relationships}"


def fail(message: str) -> None:
    sys.exit(f"FAIL: {message}")


def main() -> None:
    package, version = sys.argv[1:3]
    identical = dict(argument.split("=", 1) for argument in sys.argv[3:])
    with zipfile.ZipFile(package) as archive:
        contents = {name: archive.read(name) for name in archive.namelist()}

    properties = [name for name in contents
                  if re.fullmatch(r"package/services/metadata/core-properties/\w+\.psmdcp", name)]
    expected = {"[Content_Types].xml", "_rels/.rels", "Hwid.nuspec", "README.md",
                "contentFiles/cs/any/Hwid/Hwid.cs", "runtimes/linux-x64/native/libhwid.so",
                "runtimes/win-x64/native/hwid.dll", *properties}
    if set(contents) != expected or len(properties) != 1:
        fail(f"the package holds {sorted(contents)}")

    targets = {relationship.get("Target") for relationship in
               ElementTree.fromstring(contents["_rels/.rels"]).iter(f"{RELATIONSHIPS}Relationship")}
    if targets != {"/Hwid.nuspec", "/" + properties[0]}:
        fail(f"_rels/.rels points at {targets}")
    types = contents["[Content_Types].xml"].decode("utf-8")
    for extension in ("rels", "psmdcp", "nuspec", "md", "cs", "so", "dll"):
        if f'Extension="{extension}"' not in types:
            fail(f"[Content_Types].xml has no type for .{extension}")

    metadata = ElementTree.fromstring(contents["Hwid.nuspec"]).find(f"{NUSPEC}metadata")
    if metadata is None:
        fail("the nuspec has no metadata")
    def text(name: str) -> str:
        element = metadata.find(f"{NUSPEC}{name}")
        return element.text or "" if element is not None else ""
    for name, wanted in (("id", "Hwid"), ("version", version), ("license", "MIT"),
                         ("readme", "README.md"), ("projectUrl", "https://example.invalid/hwid")):
        if text(name) != wanted:
            fail(f"nuspec {name} is [{text(name)}], expected [{wanted}]")
    licence = metadata.find(f"{NUSPEC}license")
    if licence is None or licence.get("type") != "expression":
        fail("the nuspec's licence is not an expression")
    if len(text("description")) < 40:
        fail(f"the nuspec's description is [{text('description')}]")
    compiled = [files.get("include") for files in metadata.iter(f"{NUSPEC}files")
                if files.get("buildAction") == "Compile"]
    if compiled != ["cs/any/Hwid/Hwid.cs"]:
        fail(f"the nuspec compiles {compiled}")

    for name, path in identical.items():
        with open(path, "rb") as file:
            if file.read() != contents[name]:
                fail(f"{name} is not {path}")
    print(f"{package}: {len(contents)} files")


if __name__ == "__main__":
    main()

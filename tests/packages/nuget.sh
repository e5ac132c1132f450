#!/bin/bash
# The NuGet package packed as a release packs it, from this (Windows) build's hwid.dll and a Linux
# build's libhwid.so.1: its layout and nuspec, then installed as Mono's NuGet installs it from a
# local folder source, the C# test program and example built with Mono against what it installed,
# with the native library where a linux-x64 build puts it (beside the program). They must answer
# as the Linux build's `hwid`, `hwid oldtrial` and `hwid x` do.
# Usage: nuget.sh PYTHON SOURCE_DIR WINDOWS_DLL LINUX_BUILD_DIR VERSION WORK_DIR
# Exits 77 (skipped) without a Linux build, nuget, mcs or mono.
set -u

python=$1 source=$2 windows_dll=$3 linux_build=$4 version=$5 work=$6
linux_library=$linux_build/language-packages/native/libhwid.so.1
hwid=$linux_build/hwid

for file in "$linux_library" "$hwid"; do
  if [[ ! -f $file ]]; then
    echo "skipped: no $file (build the Linux build $linux_build first)"
    exit 77
  fi
done
for tool in nuget mcs mono; do
  if ! command -v "$tool" >/dev/null; then
    echo "skipped: no $tool (Debian nuget, mono-mcs, mono-runtime)"
    exit 77
  fi
done

source "$source/tests/e2e/linux/expect.sh"

rm -rf "$work"
mkdir -p "$work/feed" "$work/home" "$work/program"
"$python" "$source/tools/package/nuget_package.py" --linux-library "$linux_library" \
  --windows-library "$windows_dll" --version "$version" \
  --project-url https://example.invalid/hwid --output "$work/feed" >/dev/null || exit 1
package=$work/feed/Hwid.$version.nupkg

"$python" "$(dirname "$0")/check_nupkg.py" "$package" "$version" \
  "runtimes/linux-x64/native/libhwid.so=$linux_library" \
  "runtimes/win-x64/native/hwid.dll=$windows_dll" "README.md=$source/docs/dotnet.md" ||
  fail "package layout"

# A HOME of its own: no user's NuGet configuration or cache takes part.
HOME=$work/home nuget install Hwid -Version "$version" -Source "$work/feed" \
  -OutputDirectory "$work/installed" -NonInteractive || { fail "nuget install"; expect_finish; }
installed=$work/installed/Hwid.$version
binding=$installed/contentFiles/cs/any/Hwid/Hwid.cs
cp "$installed/runtimes/linux-x64/native/libhwid.so" "$work/program/" || fail "no linux-x64 library"
mcs -warnaserror -warn:4 -out:"$work/program/HwidTests.exe" "$binding" \
  "$source/bindings/dotnet/tests/HwidTests.cs" || fail "HwidTests does not build"
mcs -warnaserror -warn:4 -out:"$work/program/LicenceCheck.exe" "$binding" \
  "$source/bindings/dotnet/example/LicenceCheck.cs" || fail "LicenceCheck does not build"

# From another folder, so that the library is found beside the program, not in the working one.
cd "$work/home" || exit 1
expect_output "bare, legacy, current" \
  "$("$hwid"; printf '\n'; "$hwid" oldtrial; printf '\n'; "$hwid" x)" \
  mono "$work/program/HwidTests.exe" print
expect_output "example" "$("$hwid" x)"$'\n' mono "$work/program/LicenceCheck.exe"
mono "$work/program/HwidTests.exe" "$hwid" "$version" "$source/include/hwid/hwid.h" ||
  fail "the C# tests on the installed package"
expect_finish

#!/bin/bash
# Incomplete readings end to end: sysfs trees bind-mounted over /sys in a private mount namespace,
# every program run as nobody, so that what a tree's modes forbid fails as on a real machine.
# - /sys/class/net unreadable: `hwid x` still prints the serial and "010" and exits 0; the library
#   (the C, C++, Python and C# examples of docs/embedding.md, the Python package, the C# binding)
#   reports the reading incomplete with ConnectServer failing with 0x80041003, and the examples
#   exit 3 without printing an identifier; hwid-inspect exits 4 and names the fault.
# - /sys/class/net readable and empty: a complete reading of a machine without adapters;
#   hwid-inspect exits 0 and says WMI reports none.
# - two adapters, one whose PCI resource file is unreadable: `hwid x` counts the other alone, as
#   the algorithm does with a failed associators query; the library reports that query, naming
#   the adapter.
# Usage: faults.sh HWID HWID_INSPECT LIBRARY C_EXAMPLE CPP_EXAMPLE PYTHON PYTHON_DIR
#        [MONO DOTNET_TESTS_EXE DOTNET_EXAMPLE_EXE]
# PYTHON_DIR holds the package (hwid/) and example/licence_check.py. Exits 77 (skipped) without
# root or a mount namespace.
set -u

hwid=$1 inspect=$2 library=$3 c_example=$4 cpp_example=$5 python=$6 python_dir=$7
mono=${8:-} dotnet_tests=${9:-} dotnet_example=${10:-}

source "$(dirname "$0")/expect.sh"
source "$(dirname "$0")/trees.sh"

mount_namespace_require "mount namespaces"

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
# Everything nobody runs is copied here, searchable by anyone: the build tree may not be.
chmod 755 "$work"
mkdir "$work/python" "$work/home"
chown 65534 "$work/home"
cp "$hwid" "$work/hwid"
cp "$inspect" "$work/hwid-inspect"
cp "$c_example" "$work/c_example"
cp "$cpp_example" "$work/cpp_example"
cp -L "$library" "$work/libhwid.so.1"
cp -r "$python_dir/hwid" "$python_dir/example/licence_check.py" "$work/python/"
examples=(c cpp python)
if [[ -n $mono ]]; then
  examples+=(csharp)
  cp "$dotnet_tests" "$dotnet_example" "$work/"
  for program in "$work"/*.exe; do
    echo "<configuration><dllmap dll=\"hwid\" target=\"$work/libhwid.so.1\"/></configuration>" \
      >"$program.config"
  done
fi
serial=$(volume_serial /)
tab=$'\t'

# as_nobody COMMAND...: COMMAND as nobody over $tree, with the copies above.
as_nobody() {
  over_sys_as_nobody "$tree" env HOME="$work/home" LD_LIBRARY_PATH="$work" \
    HWID_LIBRARY="$work/libhwid.so.1" PYTHONPATH="$work/python" "$@"
}

# new_tree NAME: $tree is a fresh tree named NAME, with an empty class/.
new_tree() {
  tree=$work/$1
  mkdir -p "$tree/class"
}

# run_example LANGUAGE: the licence check of docs/embedding.md in LANGUAGE, checking this machine's
# own identifier.
run_example() {
  case $1 in
    c) as_nobody "$work/c_example" ;;
    cpp) as_nobody "$work/cpp_example" ;;
    python) as_nobody "$python" "$work/python/licence_check.py" ;;
    csharp) as_nobody "$mono" "$work/LicenceCheck.exe" ;;
  esac
}

# examples_cannot_verify CASE FAULT: each example exits 3, prints no identifier and names FAULT.
examples_cannot_verify() {
  local language out status
  for language in "${examples[@]}"; do
    out=$(run_example "$language" 2>"$work/said")
    status=$?
    ((status == 3)) || fail "$1: $language example: exit status $status, expected 3"
    [[ -z $out ]] || fail "$1: $language example printed [$out]"
    [[ $(<"$work/said") == *"cannot verify this machine now"*"$2"* ]] ||
      fail "$1: $language example said [$(<"$work/said")]"
  done
}

# examples_accept CASE: each example prints what `hwid x` prints and accepts the machine.
examples_accept() {
  local language
  for language in "${examples[@]}"; do
    expect_output "$1: $language example" "$(as_nobody "$work/hwid" x)"$'\n' \
      run_example "$language"
  done
}

# bindings_read CASE EXPECTED: Python and C# each report the reading as EXPECTED: "ok" or
# "incomplete", then the text, then each fault's fields, one a line.
bindings_read() {
  expect_output "$1: python" "$2"$'\n' as_nobody "$python" -c 'import hwid
try:
    print("ok", hwid.identifier(), sep="\n")
except hwid.IncompleteError as error:
    print("incomplete", error.text, *["\t".join([f.call, f"{f.code:08x}", f.adapter or "-",
          f.query or "-", f.property or "-", f.message, f.text]) for f in error.faults], sep="\n")'
  if [[ -n $mono ]]; then
    expect_output "$1: C#" "$2"$'\n' as_nobody "$mono" "$work/HwidTests.exe" faults
  fi
}

# inspect_says CASE STATUS PATTERN: hwid-inspect exits with STATUS and its report matches PATTERN.
inspect_says() {
  local said status
  said=$(as_nobody "$work/hwid-inspect")
  status=$?
  ((status == $2)) || fail "$1: hwid-inspect exit status $status, expected $2"
  [[ $said == $3 ]] || fail "$1: hwid-inspect said [$said]"
}

unreachable='WMI could not be reached: ConnectServer failed with 0x80041003, access denied'

# An adapter the unprivileged user cannot see: class/net cannot be listed.
new_tree unreadable-class-net
tree_interface eth0 2 00:1a:2b:3c:4d:5e
chmod 000 "$tree/class/net"
expect_output "unreadable class/net: hwid x" "${serial}010" as_nobody "$work/hwid" x
examples_cannot_verify "unreadable class/net" "$unreachable"
bindings_read "unreadable class/net" "incomplete
${serial}010
ConnectServer${tab}80041003${tab}-${tab}-${tab}-${tab}access denied${tab}$unreachable"
inspect_says "unreadable class/net" 4 "*$unreachable*"
[[ $(as_nobody "$work/hwid-inspect") != *"WMI reports none"* ]] ||
  fail "unreadable class/net: hwid-inspect takes it for a machine without adapters"

# A machine without adapters, read fully.
new_tree empty-class-net
mkdir "$tree/class/net"
examples_accept "empty class/net"
bindings_read "empty class/net" "ok
${serial}010"
inspect_says "empty class/net" 0 "*WMI reports none*"
[[ $(as_nobody "$work/hwid-inspect") != *"could not be"* ]] ||
  fail "empty class/net: hwid-inspect reports a fault"

# Two PCI adapters owning resources, the second's resource file unreadable: its associators query
# fails, so only the first counts.
new_tree unreadable-resource
tree_pci_function 0000:00:1f.6 16 "$memory_and_ports"
tree_interface enp0s31f6 2 8c:16:45:aa:bb:cc pci0000:00/0000:00:1f.6
tree_pci_function 0000:00:1c.0 17 "$memory_only"
tree_interface enp2s0 3 f8:59:71:dd:ee:ff pci0000:00/0000:00:1c.0
chmod 000 "$tree/devices/pci0000:00/0000:00:1c.0/resource"
first="${serial}010${tab}56675849545852535865655866665867671310"
associators="associators of {Win32_NetworkAdapter.DeviceID='3'} WHERE ClassDefsOnly"
adapter_fault="adapter 3 could not be read: ExecQuery failed with 0x80041003, access denied; \
query: $associators"
expect_output "unreadable resource: hwid x" "$first" as_nobody "$work/hwid" x
examples_cannot_verify "unreadable resource" "$adapter_fault"
bindings_read "unreadable resource" "incomplete
$first
ExecQuery${tab}80041003${tab}3${tab}$associators${tab}-${tab}access denied${tab}$adapter_fault"
inspect_says "unreadable resource" 4 "*$adapter_fault*"

[[ -n $mono ]] || echo "no Mono: C and C++ examples and Python only"
expect_finish

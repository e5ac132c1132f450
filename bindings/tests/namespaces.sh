#!/bin/bash
# Every language's answers against the Linux hwid binary's own, in network namespaces made here
# holding exactly the veth adapters each case needs: the bare serial, the legacy and the current
# identifier from Python and from C# must equal what `hwid`, `hwid oldtrial` and `hwid x` print,
# byte for byte.
# Usage: namespaces.sh HWID PYTHON PYTHON_PACKAGE_DIR LIBRARY [MONO DOTNET_TESTS_EXE]
# Exits 77 (skipped) without root or iproute2.
set -u

hwid=$1 python=$2 package=$3 library=$4 mono=${5:-} dotnet_tests=${6:-}

source "$(dirname "$0")/../../tests/e2e/linux/expect.sh"
source "$(dirname "$0")/../../tests/e2e/linux/netns.sh"
netns_require

work=$(mktemp -d)
trap 'netns_cleanup; rm -rf "$work"' EXIT

# compare CASE LANGUAGE: $work/expected against $work/LANGUAGE.
compare() {
  if ! cmp -s "$work/expected" "$work/$2"; then
    fail "$1: $2 differs from hwid"
    printf '  hwid: '; od -An -c "$work/expected" | head -6
    printf '  %s: ' "$2"; od -An -c "$work/$2" | head -6
  fi
}

# run_case NAME MAC...: the three answers, one a line, from hwid and from each language.
run_case() {
  local name=$1
  shift
  local namespace=$netns_prefix-$name
  netns_with_adapters "$name" "$@" || { fail "$name: cannot make its namespace"; return; }
  {
    ip netns exec "$namespace" "$hwid"
    printf '\n'
    ip netns exec "$namespace" "$hwid" oldtrial
    printf '\n'
    ip netns exec "$namespace" "$hwid" x
  } >"$work/expected"
  ip netns exec "$namespace" env PYTHONPATH="$package" HWID_LIBRARY="$library" "$python" -c \
    'import sys, hwid; sys.stdout.write("\n".join(
       [hwid.bare_serial(), hwid.identifier("legacy"), hwid.identifier("current")]))' \
    >"$work/python" || fail "$name: python exit status $?"
  compare "$name" python
  if [[ -n $mono ]]; then
    ip netns exec "$namespace" "$mono" "$dotnet_tests" print >"$work/csharp" ||
      fail "$name: C# exit status $?"
    compare "$name" csharp
  fi
}

run_case none
run_case one 00:1a:2b:3c:4d:5e
run_case two 00:50:56:c0:00:08 00:0c:29:aa:bb:cc
# Eight addresses make identifiers longer than the bindings' first buffer: the grown buffer's
# answer must be the same.
run_case eight 02:00:00:00:00:07 02:00:00:00:00:03 02:00:00:00:00:05 02:00:00:00:00:01 \
  02:00:00:00:00:06 02:00:00:00:00:02 02:00:00:00:00:08 02:00:00:00:00:04

[[ -n $mono ]] || echo "no Mono: Python's answers only"
expect_finish

#!/bin/bash
# The Linux hwid binary end to end: each case runs it in a network namespace made here, holding
# exactly the veth adapters the case needs (their peers wait in a second namespace), and checks
# every output byte for byte and every exit status.
# Usage: namespaces.sh path/to/hwid. Exits 77 (skipped) without root or iproute2.
set -u

hwid=$1

source "$(dirname "$0")/netns.sh"
source "$(dirname "$0")/expect.sh"
netns_require

serial=$(volume_serial /)
signed_serial=$(signed_serial "$serial")

# run_case NAME EXPECTED_ADAPTER_PART_OLDTRIAL EXPECTED_ADAPTER_PART_CURRENT MAC...
# The adapter parts are literal; the serial prefix and "010" are added here.
run_case() {
  local name=$1 legacy=$2 current=$3
  shift 3
  local namespace=$netns_prefix-$name
  netns_with_adapters "$name" "$@" || { fail "$name: cannot make its namespace"; return; }

  # "oldtrial" gives the legacy layout; any other word, even in other letter case, the current.
  check "$name" "$namespace" oldtrial "${serial}010$legacy"
  check "$name" "$namespace" OLDTRIAL "${serial}010$current"
  check "$name" "$namespace" "" "$signed_serial"
}

# check CASE NAMESPACE ARGUMENT EXPECTED: an empty argument means none (bare serial).
check() {
  local name=$1 namespace=$2 argument=$3 expected=$4
  expect_output "$name ${argument:-(none)}" "$expected" \
    ip netns exec "$namespace" "$hwid" ${argument:+"$argument"}
}

tab=$'\t'
run_case none "" ""
run_case one "48485849655850665851675852685853691310" \
  "${tab}48485849655850665851675852685853691310" \
  00:1a:2b:3c:4d:5e
# veth adapters own no hardware resources, so both addresses count, and the sort puts
# 00:0C:29:AA:BB:CC first whichever adapter has the lower index.
run_case two "4848584867585057586565586666586767131048485853485853545867485848485848561310" \
  "${tab}48485848675850575865655866665867671310${tab}48485853485853545867485848485848561310" \
  00:50:56:c0:00:08 00:0c:29:aa:bb:cc
run_case two-reversed "4848584867585057586565586666586767131048485853485853545867485848485848561310" \
  "${tab}48485848675850575865655866665867671310${tab}48485853485853545867485848485848561310" \
  00:0c:29:aa:bb:cc 00:50:56:c0:00:08

echo "serial $serial"
expect_finish

#!/bin/bash
# The Linux hwid binary end to end: each case runs it in a network namespace made here, holding
# exactly the veth adapters the case needs (their peers wait in a second namespace), and checks
# every output byte for byte and every exit status.
# Usage: namespaces.sh path/to/hwid. Exits 77 (skipped) without root or iproute2.
set -u

hwid=$1
failures=0

source "$(dirname "$0")/netns.sh"
netns_require

# The volume serial, worked out apart from the tool: stat prints the root file system's two ID
# words as one hex number, and the serial is the two folded together by exclusive or.
fsid=$(stat -f -c %i /)
fsid=$(printf '%016x' "0x$fsid")
serial=$(( 0x${fsid:0:8} ^ 0x${fsid:8:8} ))
signed_serial=$(( serial >= 0x80000000 ? serial - 0x100000000 : serial ))

fail() {
  echo "FAIL: $*"
  failures=$((failures + 1))
}

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
  local output status
  if [[ -n $argument ]]; then
    output=$(ip netns exec "$namespace" "$hwid" "$argument"; echo "status $?")
  else
    output=$(ip netns exec "$namespace" "$hwid"; echo "status $?")
  fi
  status=${output##*status }
  output=${output%status *}
  [[ $status == 0 ]] || fail "$name ${argument:-(none)}: exit status $status"
  if ! cmp -s <(printf '%s' "$output") <(printf '%s' "$expected"); then
    fail "$name ${argument:-(none)}: output differs"
    printf '  expected: '; printf '%s' "$expected" | od -An -c | head -4
    printf '  actual:   '; printf '%s' "$output" | od -An -c | head -4
  fi
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

if ((failures > 0)); then
  echo "$failures check(s) failed"
  exit 1
fi
echo "all cases passed (serial $serial)"

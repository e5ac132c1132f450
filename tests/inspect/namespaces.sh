#!/bin/bash
# hwid-inspect next to hwid in network namespaces made here, one per selection rule: no adapter,
# one adapter, and two veth adapters (which own no hardware resource, so all addresses count).
# In each, programs_test.cmake checks that hwid-inspect reports what hwid prints.
# Usage: namespaces.sh CMAKE HWID HWID_INSPECT VERSION WORK_DIR. Exits 77 (skipped) without
# root or iproute2.
set -u

cmake=$1 hwid=$2 inspect=$3 version=$4 work=$5
here=$(dirname "$0")

source "$here/../e2e/linux/netns.sh"
netns_require
failures=0

# run_case NAME RULE MAC...
run_case() {
  local name=$1 rule=$2
  shift 2
  netns_with_adapters "$name" "$@" || { echo "FAIL: $name: cannot make its namespace"; return 1; }
  ip netns exec "$netns_prefix-$name" "$cmake" -DHWID="$hwid" -DINSPECT="$inspect" \
    -DRULE="$rule" -DWORK_DIR="$work/$name" -DVERSION="$version" \
    -P "$here/programs_test.cmake" ||
    { echo "FAIL: $name"; return 1; }
}

run_case none no-address || failures=$((failures + 1))
run_case one single-address 00:1a:2b:3c:4d:5e || failures=$((failures + 1))
run_case two all-addresses 00:50:56:c0:00:08 00:0c:29:aa:bb:cc || failures=$((failures + 1))
((failures == 0)) || exit 1
echo "all cases passed"

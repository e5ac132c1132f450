#!/bin/bash
# hwid-inspect next to hwid in network namespaces made here, one per selection rule: no adapter,
# one adapter, and two veth adapters (which own no hardware resource, so all addresses count).
# In each, programs_test.cmake checks that hwid-inspect reports what hwid prints.
# Usage: namespaces.sh CMAKE HWID HWID_INSPECT VERSION WORK_DIR. Exits 77 (skipped) without
# root or iproute2.
set -u

cmake=$1 hwid=$2 inspect=$3 version=$4 work=$5
here=$(dirname "$0")
skip=77

if [[ $(id -u) -ne 0 ]] || ! command -v ip >/dev/null; then
  echo "skipped: network namespaces need root and ip from iproute2"
  exit $skip
fi

prefix=hwid-inspect-$$
peers=$prefix-peers
namespaces=()
failures=0
cleanup() {
  for namespace in "${namespaces[@]}"; do
    ip netns delete "$namespace" 2>/dev/null
  done
}
trap cleanup EXIT
if ! ip netns add "$peers"; then
  echo "skipped: cannot make network namespaces here"
  exit $skip
fi
namespaces+=("$peers")

# run_case NAME RULE MAC...
run_case() {
  local name=$1 rule=$2
  shift 2
  local namespace=$prefix-$name count=0
  ip netns add "$namespace" && namespaces+=("$namespace") || { echo "FAIL: $name"; return 1; }
  for mac in "$@"; do
    ip link add name "eth$count" address "$mac" netns "$namespace" type veth \
      peer name "$name-$count" netns "$peers" || { echo "FAIL: $name: $mac"; return 1; }
    count=$((count + 1))
  done
  ip netns exec "$namespace" "$cmake" -DHWID="$hwid" -DINSPECT="$inspect" -DRULE="$rule" \
    -DWORK_DIR="$work/$name" -DVERSION="$version" -P "$here/programs_test.cmake" ||
    { echo "FAIL: $name"; return 1; }
}

run_case none no-address || failures=$((failures + 1))
run_case one single-address 00:1a:2b:3c:4d:5e || failures=$((failures + 1))
run_case two all-addresses 00:50:56:c0:00:08 00:0c:29:aa:bb:cc || failures=$((failures + 1))
((failures == 0)) || exit 1
echo "all cases passed"

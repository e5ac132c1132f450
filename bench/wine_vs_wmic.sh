#!/bin/bash
# Times `hwid.exe currentlayout` against `wmic nic get MACAddress` under Wine, in one network
# namespace with two veth adapters (so hwid runs every query of the all-addresses path) and with
# a warm persistent wineserver, and prints the median of each and their ratio. Needs root.
#
# Usage: bench/wine_vs_wmic.sh [HWID_EXE] [RUNS]
#   HWID_EXE  defaults to build/windows/hwid.exe; RUNS (default 21) runs of each command.
#   WINEPREFIX, if set, is an existing prefix to use; otherwise a fresh one is made and removed.
set -euo pipefail

hwidExe=$(realpath "${1:-build/windows/hwid.exe}")
readonly hwidExe
readonly runs=${2:-21}
readonly namespace="hwid-bench-$$"

ownPrefix=""
if [[ -z ${WINEPREFIX:-} ]]; then
  ownPrefix=$(mktemp -d)
  WINEPREFIX=$ownPrefix/prefix
fi
# shellcheck source-path=SCRIPTDIR source=../cmake/wine-env.sh
source "$(dirname "$0")/../cmake/wine-env.sh"

cleanup() {
  wineserver -k 2>/dev/null || true
  ip netns delete "$namespace" 2>/dev/null || true
  ip netns delete "$namespace-peers" 2>/dev/null || true
  if [[ -n $ownPrefix ]]; then
    wineserver -w 2>/dev/null || true
    rm -rf "$ownPrefix"
  fi
}
trap cleanup EXIT

if [[ ! -f $WINEPREFIX/system.reg ]]; then
  echo "making a Wine prefix in $WINEPREFIX" >&2
  wineboot --init </dev/null >/dev/null 2>&1
  wineserver -w
fi
wineserver -k 2>/dev/null || true

ip netns add "$namespace"
ip netns add "$namespace-peers"
ip -n "$namespace" link add eth0 address 00:50:56:c0:00:08 type veth \
  peer name peer0 netns "$namespace-peers"
ip -n "$namespace" link add eth1 address 00:0c:29:aa:bb:cc type veth \
  peer name peer1 netns "$namespace-peers"

in_namespace() { ip netns exec "$namespace" "$@" </dev/null; }

# The server stays until this script kills it; its service processes start here, detached.
in_namespace wineserver --persistent
in_namespace wine cmd /c exit >/dev/null 2>&1
# One untimed run of each loads everything they touch.
in_namespace wine "$hwidExe" currentlayout >/dev/null 2>&1
in_namespace wine wmic nic get MACAddress >/dev/null 2>&1

# Milliseconds of one run, output discarded.
time_run() {
  local start end
  start=$(date +%s%N)
  in_namespace "$@" >/dev/null 2>&1
  end=$(date +%s%N)
  echo $(((end - start) / 1000000))
}

median() { sort -n | awk '{ v[NR] = $1 } END { print v[int((NR + 1) / 2)] }'; }

hwidTimes=()
wmicTimes=()
for ((run = 0; run < runs; run++)); do
  hwidTimes+=("$(time_run wine "$hwidExe" currentlayout)")
  wmicTimes+=("$(time_run wine wmic nic get MACAddress)")
done
hwidMedian=$(printf '%s\n' "${hwidTimes[@]}" | median)
wmicMedian=$(printf '%s\n' "${wmicTimes[@]}" | median)

printf 'runs: %d of each, alternating\n' "$runs"
printf 'hwid.exe currentlayout    median %5d ms\n' "$hwidMedian"
printf 'wmic nic get MACAddress   median %5d ms\n' "$wmicMedian"
awk -v h="$hwidMedian" -v w="$wmicMedian" \
  'BEGIN { printf "ratio hwid / wmic         %.2f\n", (w > 0 ? h / w : 0) }'

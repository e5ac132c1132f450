#!/bin/bash
# Builds sta_race.exe with mingw-w64 and runs it RUNS times, each on a cold Wine server (the
# prefix's server stopped before every run), with a time limit, then reports how many runs hung
# and how many completed. Root runs it in a network namespace whose only adapter is a veth with a
# chosen address, as the Wine end-to-end tests do; otherwise in the machine's own network.
#
# Usage: run.sh [SHAPE [STA_WAIT [DELAY_MS]]]   (the program's arguments; see sta_race.cpp)
# Environment: RUNS (5), LIMIT seconds per run (60), PREFIX (a fresh one in a temporary folder,
#              deleted afterwards), PRESTART=1 to start the server and its services with
#              `wine cmd /c exit` before each run (as the end-to-end tests' cases do), SHOW=1 to
#              print each run's output.
# Exits 0 when no run hung, 1 when some did.
set -euo pipefail

here=$(cd "$(dirname "$0")" && pwd)
readonly here runs=${RUNS:-5} limit=${LIMIT:-60}
work=$(mktemp -d)
readonly work
WINEPREFIX=${PREFIX:-$work/prefix}
# shellcheck source-path=SCRIPTDIR source=../../cmake/wine-env.sh
source "$here/../../cmake/wine-env.sh"

namespace=""
in_namespace=()
cleanup() {
  wineserver -k 2>/dev/null || true
  wineserver -w 2>/dev/null || true
  if [[ -n $namespace ]]; then
    ip netns delete "$namespace" 2>/dev/null || true
    ip netns delete "$namespace-peers" 2>/dev/null || true
  fi
  rm -rf "$work"
}
trap cleanup EXIT

x86_64-w64-mingw32-g++-posix -std=c++20 -O2 -Wall -Wextra -Werror -static -o "$work/sta_race.exe" \
  "$here/sta_race.cpp" -lole32 -loleaut32 -lwbemuuid -luser32

if [[ ! -f $WINEPREFIX/system.reg ]]; then
  wineboot --init </dev/null >/dev/null 2>&1
  wineserver -w
fi
cp "$work/sta_race.exe" "$WINEPREFIX/drive_c/sta_race.exe"

if [[ $(id -u) -eq 0 ]]; then
  namespace="sta-race-$$"
  ip netns add "$namespace"
  ip netns add "$namespace-peers"
  ip -n "$namespace" link add eth0 address 00:1a:2b:3c:4d:5e type veth \
    peer name peer0 netns "$namespace-peers"
  in_namespace=(ip netns exec "$namespace")
fi

hung=0
completed=0
for ((run = 1; run <= runs; run++)); do
  wineserver -k 2>/dev/null || true
  wineserver -w 2>/dev/null || true
  if [[ ${PRESTART:-0} == 1 ]]; then
    "${in_namespace[@]}" wine cmd /c exit </dev/null >/dev/null 2>&1
  fi
  status=0
  "${in_namespace[@]}" timeout "$limit" wine 'C:\sta_race.exe' "$@" </dev/null \
    >"$work/output" 2>/dev/null || status=$?
  if [[ ${SHOW:-0} == 1 ]]; then
    tr -d '\r' <"$work/output" | sed "s/^/run $run: /"
  fi
  if [[ $status -eq 124 ]]; then
    hung=$((hung + 1))
    echo "run $run: hung (no end within ${limit} s)"
  elif grep -q completed "$work/output"; then
    completed=$((completed + 1))
  else
    echo "run $run: exit status $status without completing"
  fi
done
echo "shape ${*:-race}: $hung hung, $completed completed of $runs cold runs"
((hung == 0))

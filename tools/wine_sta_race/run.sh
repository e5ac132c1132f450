#!/bin/bash
# Builds sta_race.exe with mingw-w64 and runs it RUNS times, each on a cold Wine server (the
# prefix's server stopped before every run), with a time limit, then reports how many runs hung
# and how many completed. Root runs it in a network namespace whose only adapter is a veth with a
# chosen address, as the Wine end-to-end tests do; otherwise in the machine's own network.
# With EXE set it runs that program instead (hwid's library host, for one), with the DLLs named in
# DLLS beside it.
#
# Usage: run.sh [ARGUMENT...]   (the program's arguments; for sta_race.exe see sta_race.cpp)
# Environment: RUNS (5), LIMIT seconds per run (60), PREFIX (a fresh one in a temporary folder,
#              deleted afterwards), PRESTART=1 to start the server and its services with
#              `wine cmd /c exit` before each run (as the end-to-end tests' cases do), SHOW=1 to
#              print each run's output, EXE and DLLS as above.
# A run completed when the program exited 0; it hung when it was still running at the limit, or
# exited 4 (hwid's library host ends itself with 4 when a caller has no end).
# Exits 0 when every run completed, 1 otherwise.
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

if [[ -n ${EXE:-} ]]; then
  cp "$EXE" "$work/sta_race.exe"
else
  x86_64-w64-mingw32-g++-posix -std=c++20 -O2 -Wall -Wextra -Werror -static \
    -o "$work/sta_race.exe" "$here/sta_race.cpp" -lole32 -loleaut32 -lwbemuuid -luser32
fi

if [[ ! -f $WINEPREFIX/system.reg ]]; then
  wineboot --init </dev/null >/dev/null 2>&1
  wineserver -w
fi
cp "$work/sta_race.exe" "$WINEPREFIX/drive_c/sta_race.exe"
for dll in ${DLLS:-}; do
  cp "$dll" "$WINEPREFIX/drive_c/"
done

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
failed=0
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
  case $status in
    0) completed=$((completed + 1)) ;;
    124 | 4)
      hung=$((hung + 1))
      echo "run $run: hung (exit status $status)"
      ;;
    *)
      failed=$((failed + 1))
      echo "run $run: exit status $status"
      ;;
  esac
done
echo "${EXE:+$(basename "$EXE") }${*:-race}: $hung hung, $completed completed, $failed failed" \
  "of $runs cold runs"
((completed == runs))

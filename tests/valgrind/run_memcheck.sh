#!/usr/bin/env bash
# valgrind memcheck of the Linux binaries end to end: hwid in its three modes and hwid-inspect in
# each of its commands. No memory error, and no block left at exit apart from those hwid.supp
# names (the process-wide WMI instance the design keeps on purpose). Leaks of every kind,
# still-reachable included, count as errors, so the suppressions are the only allowance. Exits
# non-zero on any finding.
set -euo pipefail
cd "$(dirname "$0")/../.."

cmake --preset dev >/dev/null
cmake --build build/dev --target hwid hwid-inspect -j"$(nproc)"
hwid=build/dev/hwid
inspect=build/dev/inspect/hwid-inspect

# glibc 2.36 chooses an AVX2 wmemcmp that loads whole 32-byte vectors past the end of short strings
# (safely: it never crosses into another page). valgrind 3.19 does not replace that routine and
# reports every such load, so glibc is told to use its baseline routines instead.
export GLIBC_TUNABLES=glibc.cpu.hwcaps=-AVX2

logs=$(mktemp -d)
trap 'rm -rf "$logs"' EXIT
status=0
# memcheck NAME PROGRAM [ARGUMENT...]: the program under memcheck exits as it does without it (an
# invalid identifier is status 2, a finding 99), by no signal, and memcheck finds nothing.
memcheck() {
  local name=$1
  shift
  local expected=0 code=0
  "$@" </dev/null >/dev/null 2>&1 || expected=$?
  valgrind --tool=memcheck --leak-check=full --show-leak-kinds=all --errors-for-leak-kinds=all \
    --track-origins=yes --num-callers=40 --suppressions=tests/valgrind/hwid.supp \
    --error-exitcode=99 --log-file="$logs/$name.log" "$@" </dev/null >/dev/null 2>&1 || code=$?
  if ((code == expected && code < 128)); then
    echo "memcheck $name: clean"
  else
    echo "memcheck $name: failed (exit status $code, $expected without memcheck)"
    cat "$logs/$name.log"
    status=1
  fi
}

memcheck hwid "$hwid"
memcheck hwid-oldtrial "$hwid" oldtrial
memcheck hwid-current "$hwid" current

# This machine's identifier to decode and compare, and with a digit added, one that is not valid.
legacy=$("$hwid" oldtrial)
memcheck inspect "$inspect"
memcheck inspect-json "$inspect" --json
memcheck inspect-help "$inspect" --help
memcheck inspect-decode "$inspect" decode "$legacy"
memcheck inspect-decode-json "$inspect" decode --json "$legacy"
memcheck inspect-compare "$inspect" compare "$legacy" "$legacy"
memcheck inspect-compare-json "$inspect" compare --json "$legacy" "${legacy}0"
memcheck inspect-unknown-command "$inspect" unknown
exit "$status"

#!/bin/bash
# libhwid.so as installed: its SONAME is libhwid.so.1 and it exports exactly the C interface, none
# of the C++ library inside it.
# Usage: check_so_tables.sh LIBRARY
set -euo pipefail

readonly library=$1
expected=$(printf '%s\n' hwid_bare_serial hwid_compare hwid_decode hwid_identifier \
  hwid_last_faults hwid_set_timeout_ms hwid_status_name hwid_timeout_ms hwid_version | sort)
readonly expected
status=0

soname=$(objdump -p "$library" | sed -n 's/^\s*SONAME\s*//p')
if [[ $soname != libhwid.so.1 ]]; then
  echo "FAIL: SONAME is [$soname], expected libhwid.so.1" >&2
  status=1
fi
# Defined dynamic symbols, without the version nodes' own entries.
exports=$(nm -D --defined-only "$library" | awk '$2 != "A" { print $3 }' | sort)
if [[ $exports != "$expected" ]]; then
  echo "FAIL: exports [${exports//$'\n'/, }], expected [${expected//$'\n'/, }]" >&2
  status=1
fi
exit "$status"

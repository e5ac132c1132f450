#!/bin/bash
# The shipped executables run on a bare Windows: each imports only DLLs that come with the
# system, exports exactly the module hooks (they share one start-up), and stays small. With
# --dll, the same for hwid.dll, which exports exactly the C interface.
# Usage: check_exe_tables.sh OBJDUMP [--dll] FILE...
set -euo pipefail

readonly objdump=$1
shift
if [[ ${1:-} == --dll ]]; then
  shift
  readonly kMaxBytes=$((320 * 1024))
  expectedExports=$(printf '%s\n' hwid_bare_serial hwid_compare hwid_decode hwid_identifier \
    hwid_last_faults hwid_set_timeout_ms hwid_status_name hwid_timeout_ms hwid_version | sort)
  readonly expectedExports
else
  readonly kMaxBytes=$((256 * 1024))
  readonly expectedExports=$'@@Wmioperationsunit@Finalize\n@@Wmioperationsunit@Initialize'
fi
failures=0

fail() {
  echo "FAIL: $*" >&2
  failures=$((failures + 1))
}

for exe in "$@"; do
  name=$(basename "$exe")
  tables=$("$objdump" -p "$exe")

  while read -r dll; do
    case ${dll,,} in
      kernel32.dll | user32.dll | ole32.dll | oleaut32.dll | msvcrt.dll | ucrtbase.dll) ;;
      api-ms-win-crt-*.dll) ;;
      *) fail "$name imports $dll, which Windows does not ship" ;;
    esac
  done < <(sed -n 's/^\s*DLL Name: //p' <<<"$tables")

  # Export names are listed after this header, one "[ n] name" line each, up to a blank line.
  exports=$(sed -n '/^\[Ordinal\/Name Pointer\] Table/,/^$/s/^\s*\[ *[0-9]*\] //p' <<<"$tables" |
    sort)
  if [[ $exports != "$expectedExports" ]]; then
    fail "$name exports [${exports//$'\n'/, }], expected [${expectedExports//$'\n'/, }]"
  fi

  size=$(stat -c %s "$exe")
  maxBytes=$kMaxBytes
  # The inspector carries the explanations (reports, decoding, the words for each failed call)
  # that the identifier program does without.
  [[ $name == hwid-inspect.exe ]] && maxBytes=$((288 * 1024))
  if ((size > maxBytes)); then
    fail "$name is $size bytes, more than $maxBytes"
  fi
done

exit $((failures > 0))

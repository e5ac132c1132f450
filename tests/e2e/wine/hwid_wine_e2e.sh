#!/bin/bash
# hwid.exe end to end under Wine, and hwid-inspect.exe next to it. Each case runs in a network
# namespace of its own whose only adapters are veth interfaces with chosen addresses (their peers
# sit in a second namespace), in one Wine prefix per test run whose drive C carries a chosen volume
# serial. Wine reports MAC addresses in lower case and has no hardware resource classes, so several
# adapters take the all-addresses path; the expected texts below follow Wine.
#
# Usage: hwid_wine_e2e.sh prefix PREFIX     make a fresh prefix
#        hwid_wine_e2e.sh case PREFIX HWID_EXE INSPECT_EXE CMAKE CASE [DLL HOST_EXE...]
#                                           run one case against that prefix (library_hosts runs
#                                           the library's host programs HOST_EXE EXAMPLE_EXE as
#                                           well, wmi_disabled its FAULTS_HOST_EXE EXAMPLE_EXE)
#        hwid_wine_e2e.sh cleanup PREFIX    stop its server and delete it
# Exits 77 (skipped) where network namespaces cannot be made.
set -euo pipefail

readonly kSkipped=77
readonly command=$1
here=$(dirname "$0")
readonly here
WINEPREFIX=$2
# shellcheck source-path=SCRIPTDIR source=../../../cmake/wine-env.sh
source "$here/../../../cmake/wine-env.sh"

# Encoded addresses, worked out by hand: every character as its decimal code.
readonly mac1=00:1a:2b:3c:4d:5e
readonly mac1Codes=484858499758509858519958521005853101
readonly mac2=00:50:56:c0:00:08
readonly mac2Codes=4848585348585354589948584848584856
readonly mac3=00:0c:29:aa:bb:cc
readonly mac3Codes=4848584899585057589797589898589999
readonly tab=$'\t'

namespace=""
failures=0

fail() {
  echo "FAIL: $*" >&2
  failures=$((failures + 1))
}

stop_wine() {
  wineserver -k 2>/dev/null || true
  wineserver -w 2>/dev/null || true
}

cleanup_case() {
  stop_wine
  if [[ -n $namespace ]]; then
    ip netns delete "$namespace" 2>/dev/null || true
    ip netns delete "$namespace-peers" 2>/dev/null || true
  fi
}

# start_case SERIAL_HEX [MAC...]: the namespace with one adapter per address, in the order given
# (so their interface indexes ascend in that order), and a Wine session started inside it.
start_case() {
  local serial=$1
  shift
  namespace="hwid-wine-$$"
  trap cleanup_case EXIT
  if [[ $(id -u) -ne 0 ]] || ! ip netns add "$namespace" 2>/dev/null; then
    echo "SKIP: network namespaces need root" >&2
    exit "$kSkipped"
  fi
  ip netns add "$namespace-peers"
  local number=0
  for mac in "$@"; do
    ip -n "$namespace" link add "eth$number" address "$mac" type veth \
      peer name "peer$number" netns "$namespace-peers"
    number=$((number + 1))
  done
  # Wine reads drive C's serial from this file when its server starts.
  stop_wine
  printf '%s\n' "$serial" >"$WINEPREFIX/drive_c/.windows-serial"
  cp "$hwidExe" "$WINEPREFIX/drive_c/hwid.exe"
  cp "$inspectExe" "$WINEPREFIX/drive_c/hwid-inspect.exe"
  # Wine's service processes (the network adapters' source among them) start here, inside the
  # namespace and with no pipe attached that they would keep open.
  ip netns exec "$namespace" wine cmd /c exit </dev/null >/dev/null 2>&1
}

# check NAME EXPECTED COMMAND...: the command's whole output is EXPECTED, byte for byte, and its
# exit status is 0.
check() {
  local name=$1 expected=$2
  shift 2
  local output="$WINEPREFIX/output"
  local status=0
  ip netns exec "$namespace" "$@" </dev/null >"$output" 2>/dev/null || status=$?
  if [[ $status -ne 0 ]]; then
    fail "$name: exit status $status"
  fi
  if ! cmp -s "$output" <(printf '%s' "$expected"); then
    fail "$name: output differs"
    echo "expected:" >&2
    printf '%s' "$expected" | od -c >&2
    echo "actual:" >&2
    od -c "$output" >&2
  fi
}

hwid() {
  check "$1" "$2" wine 'C:\hwid.exe' "${@:3}"
}

# The command line reaches hwid.exe exactly as written here, through a batch file run by cmd.
hwid_command_line() {
  printf '@C:\\hwid.exe %s\r\n' "$3" >"$WINEPREFIX/drive_c/case.cmd"
  check "$1" "$2" wine cmd /c 'C:\case.cmd'
}

# inspect RULE: in the same namespace, the identifiers hwid-inspect.exe reports (both layouts and
# the bare serial) are what hwid.exe prints, byte for byte, and it names RULE as the adapter rule.
inspect() {
  ip netns exec "$namespace" "$cmake" "-DEMULATOR=wine" '-DHWID=C:\hwid.exe' \
    '-DINSPECT=C:\hwid-inspect.exe' "-DRULE=$1" -DMACHINE_ONLY=ON \
    "-DWORK_DIR=$WINEPREFIX/inspect" -P "$here/../../inspect/programs_test.cmake" </dev/null ||
    fail "hwid-inspect.exe differs from hwid.exe"
}

# library_host ARGUMENT...: library_host.exe run with these arguments prints, for each caller,
# its answers (bare serial, legacy and current identifier: from hwid.dll then from hwid::core in
# the single-caller modes, through the one interface named in the others), each what hwid.exe
# prints here (in `expected`, set by the library_hosts case), and a result line saying all its
# readings were ok, none taking longer than the host's time limit of 20 s.
library_host() {
  local output="$WINEPREFIX/output" status=0
  ip netns exec "$namespace" wine 'C:\library_host.exe' "$@" </dev/null 2>/dev/null |
    tr -d '\r' >"$output" || status=$?
  if [[ $status -ne 0 ]]; then
    fail "library host $*: exit status $status"
  fi
  local states=1 answers=6
  if [[ $1 == together || $1 == warm ]]; then
    states=$(($# - 2)) answers=3
  fi
  local line number=0 callers=0 milliseconds
  while IFS= read -r line; do
    if [[ $line == caller* ]]; then
      callers=$((callers + 1))
      if ((number != answers)); then
        fail "library host $*, caller $callers: $number answers, expected $answers"
      fi
      milliseconds=${line##*: ok }
      milliseconds=${milliseconds% ms}
      if [[ $line != "caller $callers "*": ok "*" ms" || ! $milliseconds =~ ^[0-9]+$ ]] ||
        ((milliseconds > 20000)); then
        fail "library host $*: [$line]"
      fi
      number=0
    else
      if [[ $line != "${expected[number % 3]}" ]]; then
        fail "library host $*, caller $((callers + 1)), answer $((number + 1)): [$line]," \
          "hwid.exe prints [${expected[number % 3]}]"
      fi
      number=$((number + 1))
    fi
  done <"$output"
  if ((callers != states || number != 0)); then
    fail "library host $*: $callers callers ended, expected $states"
  fi
}

run_case() {
  case $1 in
    no_adapter)
      start_case 12345678
      hwid bare_serial_top_bit_clear "305419896"
      hwid legacy "305419896010" oldtrial
      hwid current "305419896010" currentlayout
      inspect no-address
      ;;
    one_adapter)
      start_case A1B2C3D4 "$mac1"
      hwid bare_serial_top_bit_set "-1582119980"
      hwid legacy "2712847316010${mac1Codes}1310" oldtrial
      hwid current "2712847316010${tab}${mac1Codes}1310" currentlayout
      hwid upper_case_word_is_current "2712847316010${tab}${mac1Codes}1310" OLDTRIAL
      hwid second_argument_ignored "2712847316010${mac1Codes}1310" oldtrial currentlayout
      hwid_command_line quotes_dropped_before_comparing "2712847316010${mac1Codes}1310" \
        'o"ldtr"ial'
      # The C runtime would read a doubled quote inside quotes as a literal one.
      hwid_command_line every_quote_toggles "2712847316010${mac1Codes}1310" '"oldtrial""'
      inspect single-address
      ;;
    two_adapters)
      start_case 12345678 "$mac2" "$mac3"
      hwid legacy "305419896010${mac3Codes}1310${mac2Codes}1310" oldtrial
      hwid current "305419896010${tab}${mac3Codes}1310${tab}${mac2Codes}1310" currentlayout
      inspect all-addresses
      ;;
    two_adapters_reversed)
      start_case 12345678 "$mac3" "$mac2"
      hwid legacy "305419896010${mac3Codes}1310${mac2Codes}1310" oldtrial
      hwid current "305419896010${tab}${mac3Codes}1310${tab}${mac2Codes}1310" currentlayout
      inspect all-addresses
      ;;
    library_hosts)
      start_case A1B2C3D4 "$mac1"
      # What the hosts are checked against: hwid.exe here sees the adapter.
      hwid current "2712847316010${tab}${mac1Codes}1310" currentlayout
      cp "$dll" "$hostExe" "$exampleExe" "$WINEPREFIX/drive_c/"
      mv "$WINEPREFIX/drive_c/$(basename "$hostExe")" "$WINEPREFIX/drive_c/library_host.exe"
      mv "$WINEPREFIX/drive_c/$(basename "$exampleExe")" "$WINEPREFIX/drive_c/licence_check.exe"
      expected=()
      expected[0]=$(ip netns exec "$namespace" wine 'C:\hwid.exe' </dev/null 2>/dev/null)
      expected[1]=$(ip netns exec "$namespace" wine 'C:\hwid.exe' oldtrial </dev/null 2>/dev/null)
      expected[2]=$(ip netns exec "$namespace" wine 'C:\hwid.exe' x </dev/null 2>/dev/null)
      for mode in mta sta security; do
        library_host "$mode"
      done
      # Callers that start at once, each on a cold Wine server (a fresh one started inside the
      # namespace): a thread entering a single-threaded apartment while the library's thread makes
      # the process's first reading once deadlocked under Wine (tools/wine_sta_race).
      for callers in "c plain sta" "cpp plain sta" "c plain mta" "cpp plain mta sta" \
        "c plain plain plain plain mta mta sta sta"; do
        stop_wine
        # shellcheck disable=SC2086 # one word per caller
        library_host together $callers
      done
      # What docs/windows.md tells hosts with WMI code of their own: one reading first.
      stop_wine
      library_host warm cpp sta mta plain sta
      check c_example "2712847316010${tab}${mac1Codes}1310"$'\r\n' wine 'C:\licence_check.exe'
      ;;
    wmi_disabled)
      # Without WMI's provider DLL the locator cannot be made: the program prints what it always
      # did, while the library and the inspector say which call failed.
      start_case 12345678 "$mac1"
      export WINEDLLOVERRIDES="wbemprox=d"
      hwid no_wmi_no_address "305419896010" currentlayout
      cp "$dll" "$WINEPREFIX/drive_c/"
      cp "$hostExe" "$WINEPREFIX/drive_c/faults_host.exe"
      local said
      said=$(ip netns exec "$namespace" wine 'C:\faults_host.exe' </dev/null 2>/dev/null | tr -d '\r')
      [[ $said == "incomplete"$'\n'"305419896010"$'\n'"CoCreateInstance"$'\t'* &&
         $said == *$'\t'"WMI could not be reached: CoCreateInstance failed with 0x"* ]] ||
        fail "hwid.dll without WMI said [$said]"
      local status=0 report
      report=$(ip netns exec "$namespace" wine 'C:\hwid-inspect.exe' </dev/null 2>/dev/null) ||
        status=$?
      ((status == 4)) || fail "hwid-inspect.exe without WMI: exit status $status, expected 4"
      [[ $report == *"WMI could not be reached: CoCreateInstance failed with 0x"* &&
         $report == *"no address: WMI could not be reached"* ]] ||
        fail "hwid-inspect.exe without WMI said [$report]"
      # README's C example neither accepts nor refuses: it cannot verify the machine.
      cp "$exampleExe" "$WINEPREFIX/drive_c/licence_check.exe"
      local printed
      status=0
      printed=$(ip netns exec "$namespace" wine 'C:\licence_check.exe' </dev/null \
        2>"$WINEPREFIX/said") || status=$?
      said=$(tr -d '\r' <"$WINEPREFIX/said")
      ((status == 3)) || fail "C example without WMI: exit status $status, expected 3"
      [[ -z $printed &&
         $said == *"cannot verify this machine now: incomplete"*"CoCreateInstance failed"* ]] ||
        fail "C example without WMI printed [$printed], said [$said]"
      ;;
    *)
      echo "unknown case $1" >&2
      exit 2
      ;;
  esac
}

case $command in
  prefix)
    stop_wine
    rm -rf "$WINEPREFIX"
    wineboot --init </dev/null >/dev/null 2>&1
    wineserver -w
    ;;
  case)
    readonly hwidExe=$3 inspectExe=$4 cmake=$5 dll=${7:-} hostExe=${8:-} exampleExe=${9:-}
    run_case "$6"
    exit $((failures > 0))
    ;;
  cleanup)
    stop_wine
    rm -rf "$WINEPREFIX"
    ;;
  *)
    echo "unknown command $command" >&2
    exit 2
    ;;
esac

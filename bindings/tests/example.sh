#!/bin/bash
# An example program of the embedding reference, run as the page shows it: the page must hold the
# file as it is, the program prints what `hwid x` prints and accepts this machine, it refuses
# another machine's identifier and a text that is no identifier, and on a machine whose volume
# cannot be read (UNREADABLE_VOLUME preloaded) it neither accepts nor refuses but says why it
# cannot verify.
# Usage: example.sh PAGE EXAMPLE_FILE FENCE_LANGUAGE HWID UNREADABLE_VOLUME COMMAND...
set -u

page=$1 example=$2 language=$3 hwid=$4 unreadable_volume=$5
shift 5

source "$(dirname "$0")/../../tests/e2e/linux/expect.sh"

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

fence='```'
if [[ $(<"$page") != *"$fence$language"$'\n'"$(<"$example")"$'\n'"$fence"$'\n'* ]]; then
  fail "$page does not show $example as it is"
fi

expect_output "own identifier" "$("$hwid" x)"$'\n' "$@"

# Serial 1 and the single address "AA": nothing in common with any real machine.
"$@" 101065651310 >/dev/null
status=$?
((status == 1)) || fail "another machine: exit status $status, expected 1"

message=$("$@" 7010x 2>&1 >/dev/null)
status=$?
((status == 1)) || fail "no identifier: exit status $status, expected 1"
[[ $message == *"not an identifier"*"at character 4"* ]] || fail "no identifier: said [$message]"

# Every try is incomplete: after them, exit status 3 and nothing on standard output.
message=$(env LD_PRELOAD="$unreadable_volume" "$@" 2>&1 >"$work/out")
status=$?
((status == 3)) || fail "unreadable volume: exit status $status, expected 3"
[[ ! -s $work/out ]] || fail "unreadable volume: printed [$(<"$work/out")]"
[[ $message == *"cannot verify this machine now"*"GetVolumeInformationA failed with error 1117"* ]] ||
  fail "unreadable volume: said [$message]"

expect_finish

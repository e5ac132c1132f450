#!/bin/bash
# A README example program, run as README shows it: README must hold the file as it is, the
# program prints what `hwid x` prints and accepts this machine, and it refuses another machine's
# identifier and a text that is no identifier.
# Usage: example.sh README EXAMPLE_FILE FENCE_LANGUAGE HWID COMMAND...
set -u

readme=$1 example=$2 language=$3 hwid=$4
shift 4

source "$(dirname "$0")/../../tests/e2e/linux/expect.sh"

fence='```'
if [[ $(<"$readme") != *"$fence$language"$'\n'"$(<"$example")"$'\n'"$fence"$'\n'* ]]; then
  fail "$readme does not show $example as it is"
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

expect_finish

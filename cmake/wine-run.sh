#!/bin/sh
# Runs a Windows program under Wine for ctest: quiet, headless, in the build tree's own prefix.
# Usage: wine-run.sh PREFIX PROGRAM [ARGUMENT...]
set -eu
WINEPREFIX=$1
shift
# shellcheck source-path=SCRIPTDIR source=wine-env.sh
. "$(dirname "$0")/wine-env.sh"

# Under a lock, since ctest starts tests in parallel: the first run creates the prefix, then
# starts a server that outlives each program by a while, so later tests skip Wine's start-up.
# Its service processes are started here with no pipe attached: started by a test, they would
# inherit its output pipes and keep ctest waiting until they exit.
mkdir -p "$(dirname "$WINEPREFIX")"
# shellcheck disable=SC2016 # the inner shell expands them
flock --close "$WINEPREFIX.lock" sh -c '
  if [ ! -f "$WINEPREFIX/system.reg" ]; then
    wineboot --init && wineserver --wait
  fi
  if wineserver --persistent=30; then
    wine cmd /c exit
  fi' </dev/null >/dev/null 2>&1
exec wine "$@"

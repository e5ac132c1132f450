#!/bin/sh
# Stops the Wine server that wine-run.sh keeps running between tests, once the last test that runs
# Wine is done, so that no server outlives ctest: the next run and the shell start clean.
# Usage: wine-stop.sh PREFIX
set -eu
WINEPREFIX=$1
# shellcheck source-path=SCRIPTDIR source=wine-env.sh
. "$(dirname "$0")/wine-env.sh"

# Under wine-run.sh's lock, so a test starting at the same moment never meets a dying server.
# -k fails when no server runs, which is the state wanted; -w returns once it has gone.
mkdir -p "$(dirname "$WINEPREFIX")"
flock --close "$WINEPREFIX.lock" sh -c 'wineserver -k || true; wineserver -w' </dev/null

#!/bin/bash
# Installs the Python package as a user would, offline, into a fresh virtual environment with the
# library copied into the package, and runs the package's tests with that environment's Python.
# Usage: python.sh PYTHON PACKAGE_DIR WORK_DIR LIBRARY HWID VERSION NEVER_ANSWERS_PRELOAD
#        UNREADABLE_VOLUME_PRELOAD
# Exits 77 (skipped) when PYTHON lacks what installing and testing need (Debian: python3-venv,
# python3-setuptools, python3-wheel, python3-pytest).
set -eu

python=$1 package=$2 work=$3 library=$4 hwid=$5 version=$6 never_answers=$7 unreadable_volume=$8

for module in venv ensurepip setuptools wheel pytest; do
  if ! "$python" -c "import $module" 2>/dev/null; then
    echo "skipped: $python cannot import $module"
    exit 77
  fi
done

rm -rf "$work"
mkdir -p "$work"
# A copy, so that building the package leaves nothing in the source tree.
cp -r "$package" "$work/source"
cp -L "$library" "$work/source/hwid/libhwid.so.1"
"$python" -m venv --system-site-packages "$work/venv"
PIP_DISABLE_PIP_VERSION_CHECK=1 "$work/venv/bin/pip" install --quiet --no-cache-dir \
  --no-build-isolation --no-index "$work/source"

# From the work folder, so that `import hwid` finds the installed package only.
cd "$work"
HWID_EXECUTABLE=$hwid HWID_BUILD_LIBRARY=$library HWID_EXPECTED_VERSION=$version \
  HWID_NEVER_ANSWERS=$never_answers HWID_UNREADABLE_VOLUME=$unreadable_volume \
  exec "$work/venv/bin/python" -m pytest -p no:cacheprovider -q "$package/tests"

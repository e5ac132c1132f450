#!/bin/bash
# The Linux wheel installed as a user installs it: `pip install <wheel>`, offline, into a fresh
# virtual environment without system site packages, setuptools or wheel, with Debian's Python and
# with the first python3 on the PATH when that is another interpreter. Installed, the package
# loads the library inside it, this build's (same ELF build ID), and answers as `hwid`,
# `hwid oldtrial` and `hwid x` do; `pip uninstall` removes every file the wheel put there.
# Usage: python_wheel.sh WHEEL_DIR VERSION LIBRARY HWID CHECK_PYTHON
set -u

wheel_dir=$1 version=$2 library=$3 hwid=$4 check_python=$5

source "$(dirname "$0")/../e2e/linux/expect.sh"

wheel=$("$check_python" "$(dirname "$0")/check_wheel.py" "$wheel_dir" "$version" \
  'manylinux_2_[0-9]+_x86_64' libhwid.so.1) || { echo "$wheel"; exit 1; }
echo "wheel: ${wheel##*/}"

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

build_id() { readelf -n "$1" | sed -n 's/^\s*Build ID: //p'; }
expected_id=$(build_id "$library")

expected=$("$hwid"; printf '\n'; "$hwid" oldtrial; printf '\n'; "$hwid" x)

# install_and_compare LABEL PYTHON
install_and_compare() {
  local label=$1 python=$2 venv=$work/$1
  if ! "$python" -c 'import sys; sys.exit(sys.version_info < (3, 8))'; then
    echo "$label: $python is older than 3.8, which the wheel needs: not tested"
    return
  fi
  echo "$label: $("$python" -c 'import sys; print(sys.executable, sys.version.split()[0])')"
  # python3 -m venv installs pip from the wheel that ensurepip carries: no network.
  "$python" -m venv "$venv" || { fail "$label: cannot make a venv"; return; }
  local pip=("$venv/bin/python" -m pip --disable-pip-version-check --no-cache-dir -q)
  "${pip[@]}" uninstall -y setuptools wheel 2>/dev/null
  local module
  for module in setuptools wheel; do
    ! "$venv/bin/python" -c "import $module" 2>/dev/null || fail "$label: $module is present"
  done
  "${pip[@]}" install --no-index "$wheel" || { fail "$label: pip install failed"; return; }

  # From an empty folder, without HWID_LIBRARY: the installed package alone.
  mkdir "$venv-cwd"
  local site
  site=$(cd "$venv-cwd" && env -u HWID_LIBRARY "$venv/bin/python" -c '
import importlib.metadata, os, sys, hwid
package = os.path.dirname(hwid.__file__)
if os.path.dirname(hwid.library_path()) != package:
    sys.exit(f"library {hwid.library_path()} is outside the package {package}")
if not package.startswith(sys.prefix + os.sep):
    sys.exit(f"package {package} is outside the venv {sys.prefix}")
installed = importlib.metadata.version("hwid")
if installed != hwid.version():
    sys.exit(f"{installed} installed, library {hwid.version()}")
print(package)') || { fail "$label: $site"; return; }
  [[ $(build_id "$site/libhwid.so.1") == "$expected_id" ]] ||
    fail "$label: the installed library is not this build's $library"
  expect_output "$label: bare, legacy, current" "$expected" \
    env -u HWID_LIBRARY -C "$venv-cwd" "$venv/bin/python" -c '
import sys, hwid
sys.stdout.write("\n".join([hwid.bare_serial(), hwid.identifier("legacy"), hwid.identifier()]))'

  "${pip[@]}" uninstall -y hwid || fail "$label: pip uninstall failed"
  [[ ! -e $site ]] || fail "$label: $site is left after pip uninstall: $(ls -A "$site")"
}

install_and_compare debian /usr/bin/python3
other=$(command -v python3)
if [[ -n $other ]] && [[ $(realpath "$(python3 -c 'import sys; print(sys.executable)')") != \
                         $(realpath /usr/bin/python3) ]]; then
  install_and_compare path "$other"
else
  echo "the first python3 on the PATH is Debian's: one interpreter tested"
fi
expect_finish

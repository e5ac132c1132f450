#!/usr/bin/env bash
# Builds everything and runs every test: Linux unit and end-to-end tests, the sanitizer build,
# short fuzz runs, static checks, valgrind, and the Windows build with its Wine tests.
# Installs what it needs from Debian's packages when it is missing (needs root for that).
set -euo pipefail
cd "$(dirname "$0")/.."

packages=(cmake g++ clang libclang-rt-14-dev clang-tidy clang-format cppcheck valgrind
          libgtest-dev libgmock-dev googletest libbenchmark-dev iproute2
          g++-mingw-w64-x86-64-posix wine wine64)
missing=()
for package in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q "ok installed" ||
    missing+=("$package")
done
if ((${#missing[@]})); then
  echo "installing: ${missing[*]}"
  apt-get update -qq
  DEBIAN_FRONTEND=noninteractive apt-get install -y -qq "${missing[@]}" >/dev/null
fi

jobs=$(nproc)
step() { printf '\n== %s\n' "$*"; }

step "Linux build and tests"
cmake --preset dev >/dev/null
cmake --build build/dev -j"$jobs"
ctest --preset dev -j"$jobs"

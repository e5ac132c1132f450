#!/usr/bin/env bash
# Builds a release from this checkout into OUT_DIR (default: dist): the Linux .deb and .tar.gz, the
# Windows .zip (mingw-w64), and SHA256SUMS over the three. The builds are those that the test
# release.reproducible checks, and the packages carry the commit's time (SOURCE_DATE_EPOCH), so
# the same commit built with the same Debian 12 toolchain gives the same bytes anywhere.
# Usage: bash tools/release.sh [OUT_DIR]
set -euo pipefail
cd "$(dirname "$0")/.."
out=${1:-dist}

if [[ -z ${SOURCE_DATE_EPOCH:-} ]]; then
  SOURCE_DATE_EPOCH=$(git log -1 --format=%ct) || {
    echo "not a git checkout: set SOURCE_DATE_EPOCH to the commit's time" >&2
    exit 1
  }
fi
export SOURCE_DATE_EPOCH

rm -rf "$out" build/release-linux build/release-windows
cmake -S . -B build/release-linux -DCMAKE_BUILD_TYPE=Release -DHWID_BUILD_TESTS=OFF >/dev/null
cmake -S . -B build/release-windows --toolchain cmake/mingw-w64-x86_64.cmake \
  -DCMAKE_BUILD_TYPE=MinSizeRel -DHWID_BUILD_TESTS=OFF >/dev/null
for build in build/release-linux build/release-windows; do
  cmake --build "$build" -j"$(nproc)"
  # Each run adds its packages to the directory's SHA256SUMS.
  cpack --config "$build/CPackConfig.cmake" -B "$out"
done
rm -rf "$out/_CPack_Packages"
cd "$out"
sha256sum --check --strict SHA256SUMS

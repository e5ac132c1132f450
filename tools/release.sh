#!/usr/bin/env bash
# Builds a release from this checkout into OUT_DIR (default: dist): the Linux .deb packages and
# .tar.gz, the Windows .zip (mingw-w64), the Python wheels of both, the NuGet package
# Hwid.<version>.nupkg, and SHA256SUMS over them all. The builds are those that the test
# release.reproducible checks, and the packages carry the commit's time (SOURCE_DATE_EPOCH), so
# the same commit built with the same Debian 12 toolchain gives the same bytes anywhere.
# The NuGet package's project URL is HWID_PROJECT_URL, else the checkout's origin remote.
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
if [[ -z ${HWID_PROJECT_URL:-} ]]; then
  # git@host:owner/name.git and https://host/owner/name.git alike become https://host/owner/name.
  HWID_PROJECT_URL=$(git remote get-url origin 2>/dev/null |
    sed -E 's#^git@([^:]+):#https://\1/#; s#\.git$##') || true
  if [[ -z $HWID_PROJECT_URL ]]; then
    echo "no origin remote: set HWID_PROJECT_URL to the project's web address" >&2
    exit 1
  fi
fi
version=$(sed -n 's/^project(hwid VERSION \([0-9.]*\).*/\1/p' CMakeLists.txt)

rm -rf "$out" build/release-linux build/release-windows
cmake -S . -B build/release-linux -DCMAKE_BUILD_TYPE=Release -DHWID_BUILD_TESTS=OFF >/dev/null
cmake -S . -B build/release-windows --toolchain cmake/mingw-w64-x86_64.cmake \
  -DCMAKE_BUILD_TYPE=MinSizeRel -DHWID_BUILD_TESTS=OFF >/dev/null
for build in build/release-linux build/release-windows; do
  # Each build makes the Python wheel of its platform into language-packages/.
  cmake --build "$build" -j"$(nproc)"
done
mkdir -p "$out"
cp build/release-linux/language-packages/*.whl build/release-windows/language-packages/*.whl \
  "$out/"
python3 tools/package/nuget_package.py \
  --linux-library build/release-linux/language-packages/native/libhwid.so.1 \
  --windows-library build/release-windows/language-packages/native/hwid.dll \
  --version "$version" --project-url "$HWID_PROJECT_URL" --output "$out" >/dev/null
for build in build/release-linux build/release-windows; do
  # Each run writes SHA256SUMS anew over every package in the folder.
  cpack --config "$build/CPackConfig.cmake" -B "$out"
done
rm -rf "$out/_CPack_Packages"
cd "$out"
sha256sum --check --strict SHA256SUMS

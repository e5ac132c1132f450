#!/usr/bin/env bash
# Builds the libFuzzer targets (fuzz preset) and runs each for a bounded time, FUZZ_SECONDS per
# target (default 60), on a copy of its seed corpus in fuzz/corpus/<name>/, so the checked-in corpus
# never grows. Prints each target's executions per second and coverage from libFuzzer's final
# status line; a crash, a broken property, a leak or a hang fails the run, and the input that caused
# it is kept in build/fuzz/artifacts/.
set -euo pipefail
cd "$(dirname "$0")/.."

seconds=${FUZZ_SECONDS:-60}
cmake --preset fuzz >/dev/null
# The targets alone: the shared library does not link with clang's sanitizers, which leave their
# runtime to the program.
targets=()
for corpus in fuzz/corpus/*/; do
  targets+=("$(basename "$corpus")_fuzzer")
done
cmake --build build/fuzz -j"$(nproc)" --target "${targets[@]}"

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
artifacts=build/fuzz/artifacts
mkdir -p "$artifacts"

failed=()
for corpus in fuzz/corpus/*/; do
  name=$(basename "$corpus")
  cp -r "$corpus" "$work/$name"
  options=(-max_total_time="$seconds" -timeout=10 -artifact_prefix="$artifacts/$name-")
  if [[ -f fuzz/$name.dict ]]; then
    options+=(-dict="fuzz/$name.dict")
  fi
  # Targets make their scratch files under TMPDIR, which goes with the copy of the corpus.
  if ! TMPDIR=$work build/fuzz/fuzz/"${name}_fuzzer" "${options[@]}" "$work/$name" \
      >"$work/$name.log" 2>&1; then
    tail -n 40 "$work/$name.log"
    failed+=("$name")
  fi
  final=$(grep -E '^#[0-9]+[[:space:]]+DONE' "$work/$name.log" | tail -n 1 || true)
  printf '%-14s %ss  exec/s %-7s cov %-5s ft %s\n' "$name" "$seconds" \
    "$(sed -nE 's/.*exec\/s: ([0-9]+).*/\1/p' <<<"$final")" \
    "$(sed -nE 's/.*cov: ([0-9]+).*/\1/p' <<<"$final")" \
    "$(sed -nE 's/.*ft: ([0-9]+).*/\1/p' <<<"$final")"
done

if ((${#failed[@]})); then
  echo "fuzzing found problems in: ${failed[*]} (inputs in $artifacts)" >&2
  exit 1
fi

#!/bin/sh
# Instructions per address under callgrind: unlike timings, the figures do not depend on what
# else the machine is running, so the growth from 100 to 100 000 addresses can be read off
# exactly. Usage: bench/instruction_counts.sh [hwid_benchmarks binary]
set -eu
binary=${1:-build/release/bench/hwid_benchmarks}
profile=$(mktemp)
trap 'rm -f "$profile"' EXIT

# Instructions spent inside the function under test (not the input's setup) over a number of
# runs of one iteration each.
instructions() {
  valgrind --tool=callgrind --callgrind-out-file="$profile" --toggle-collect="$1*" "$binary" \
    --benchmark_filter="^$2\$" --benchmark_min_time=0 --benchmark_repetitions="$3" \
    >/dev/null 2>&1
  callgrind_annotate "$profile" | awk '/PROGRAM TOTALS/ { gsub(",", "", $1); print $1 }'
}

printf '%-26s %8s %14s\n' benchmark count 'instr/item'
for entry in ComposeCurrentIdentifier:hwid::ComposeCurrentIdentifier \
  ComposeLegacyIdentifier:hwid::ComposeLegacyIdentifier \
  SortedAddressLines:hwid::SortedAddressLines \
  QueryPropertyText:hwid::TWMIOperations::QueryPropertyText; do
  name=${entry%%:*}
  function=${entry#*:}
  for count in 1 100 10000 100000; do
    if [ "$name" = QueryPropertyText ] && [ "$count" = 1 ]; then
      continue
    fi
    # The difference between one run and 1 + extra runs leaves out the first call's one-off
    # costs (symbol binding, a cold allocator).
    extra=$(((1000 + count - 1) / count))
    once=$(instructions "$function" "$name/$count" 1)
    more=$(instructions "$function" "$name/$count" $((1 + extra)))
    printf '%-26s %8s %14s\n' "$name" "$count" "$(((more - once) / (extra * count)))"
  done
done

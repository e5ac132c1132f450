#!/bin/bash
# Wall time of one whole `hwid x` run against `hostid`, a program that does next to nothing, as
# the median of interleaved single runs: each round runs every program once, so a burst of load
# on a shared machine hits all alike. Also the files each run opens. The goal is a ratio of at
# most 1.5. Several hwid builds (static or not, before and after a change) can be compared in
# one go. Usage: [ROUNDS=40] bench/startup_vs_hostid.sh [hwid binary...]; needs hyperfine, and
# strace for the open counts.
set -eu
if (($# == 0)); then
  set -- build/release/hwid
fi
rounds=${ROUNDS:-40}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

commands=()
for binary in "$@"; do
  commands+=("$binary x")
done
commands+=(hostid)

hyperfine -N --warmup 3 --runs 3 "${commands[@]}" >/dev/null 2>&1
for ((round = 0; round < rounds; ++round)); do
  # One run of each, no shell in between; the CSV's median of one run is that run's time.
  hyperfine -N --runs 1 --style none --export-csv "$work/round.csv" "${commands[@]}" \
    >/dev/null 2>&1
  awk -F, -v dir="$work" 'NR > 1 { print $4 >> (dir "/" (NR - 1)) }' "$work/round.csv"
done

median() { sort -g "$1" | awk '{ value[NR] = $1 } END { print value[int((NR + 1) / 2)] }'; }
hostid_median=$(median "$work/${#commands[@]}")
echo "median of $rounds interleaved runs each; hostid $(awk -v t="$hostid_median" \
  'BEGIN { printf "%.2f ms", t * 1000 }')"
for ((i = 1; i <= $#; ++i)); do
  binary=${!i}
  opens=-
  if command -v strace >/dev/null; then
    strace -f -c -e trace=openat -o "$work/strace" "$binary" x >/dev/null
    opens=$(awk '$NF == "openat" { print $4 }' "$work/strace")
  fi
  awk -v name="$binary" -v t="$(median "$work/$i")" -v base="$hostid_median" -v opens="$opens" \
    'BEGIN { printf "%s x: %.2f ms, %.2f x hostid, %s openat calls\n", name, t * 1000,
             t / base, opens }'
done

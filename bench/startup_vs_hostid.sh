#!/bin/bash
# Wall time of one whole `hwid x` run against `hostid`, a program that does next to nothing, as
# the median of interleaved single runs (one of each per round, so a burst of load on a shared
# machine hits both alike), and the files the run opens. The goal is a ratio of at most 1.5.
# Usage: bench/startup_vs_hostid.sh [hwid binary] [rounds]; needs hyperfine, and strace for the
# open count.
set -eu
hwid=${1:-build/release/hwid}
rounds=${2:-40}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

hyperfine -N --warmup 3 --runs 3 "$hwid x" hostid >/dev/null 2>&1
for ((round = 0; round < rounds; ++round)); do
  # One run of each, no shell in between; the CSV's median of one run is that run's time.
  hyperfine -N --runs 1 --style none --export-csv "$work/round.csv" "$hwid x" hostid \
    >/dev/null 2>&1
  awk -F, 'NR == 2 { print $4 >> "'"$work/hwid"'" } NR == 3 { print $4 >> "'"$work/hostid"'" }' \
    "$work/round.csv"
done

median() { sort -g "$1" | awk '{ value[NR] = $1 } END { print value[int((NR + 1) / 2)] }'; }
hwid_median=$(median "$work/hwid")
hostid_median=$(median "$work/hostid")
awk -v a="$hwid_median" -v b="$hostid_median" -v n="$rounds" 'BEGIN {
  printf "median of %d interleaved runs: hwid x %.2f ms, hostid %.2f ms, ratio %.2f\n",
         n, a * 1000, b * 1000, a / b
}'
if command -v strace >/dev/null; then
  strace -f -c -e trace=openat -o "$work/strace" "$hwid" x >/dev/null
  awk '$NF == "openat" { print "openat calls of one hwid x run:", $4 }' "$work/strace"
fi

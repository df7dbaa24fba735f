#!/usr/bin/env bash
# Compares loading a file into a document with `wc -l` on the same file, in
# the same run, alternating them so both see the same machine load.
#   bench/load_vs_wc.sh FILE [rounds] [build-dir]
set -euo pipefail
file=$1
rounds=${2:-5}
build=${3:-build}
cat "$file" >/dev/null  # into the page cache
best_wc=999
best_load=999
for ((i = 0; i < rounds; i++)); do
  s=$(date +%s.%N); wc -l "$file" >/dev/null; e=$(date +%s.%N)
  t=$(echo "$e - $s" | bc); (($(echo "$t < $best_wc" | bc))) && best_wc=$t
  out=$("$build/bench/load_bench" "$file" 1)
  t=$(echo "$out" | awk '/^best/ {print $2}')
  (($(echo "$t < $best_load" | bc))) && best_load=$t
  echo "$out" | head -1
done
printf 'best wc -l %.3f s, best load %.3f s, ratio %.2f\n' "$best_wc" "$best_load" \
  "$(echo "$best_load / $best_wc" | bc -l)"

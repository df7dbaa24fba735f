#!/usr/bin/env bash
# Generates pathological input files one at a time into SCRATCH (never into
# the repository), opens each with the batch mode and with the desktop
# program's main window (offscreen), reports time, peak memory and outcome,
# and deletes the file. Times are the better of two runs.
#   bench/pathological.sh SCRATCH [BUILD_DIR] [CASE...]
# BUILD_DIR (default build) must hold linesift and bench/open_driver. The
# realistic log needs ../shared/bench/gen_log.cpp beside the repository.
# Cases: empty zeros random one-line empty-lines cr-only utf16-surrogates
# catastrophic big-log ulimit (all by default).
set -euo pipefail
scratch=$1
build=${2:-build}
shift $(($# >= 2 ? 2 : 1))
repo=$(cd "$(dirname "$0")/.." && pwd)
cases=("$@")
if ((${#cases[@]} == 0)); then
  cases=(empty zeros random one-line empty-lines cr-only utf16-surrogates catastrophic big-log
    ulimit)
fi
mkdir -p "$scratch/data"
export QT_QPA_PLATFORM=offscreen LINESIFT_DATA_DIR=$scratch/data
file=$scratch/pathological.txt
trap 'rm -f "$file"' EXIT

utf16_with_lone_surrogates() {  # about $1 MB of UTF-16LE with unpaired surrogates
  perl -e 'binmode STDOUT; print "\xFF\xFE"; srand(7);
    my $line = join("", map { pack("v", $_) } (0x61, 0xD800, 0x62, 0xDC00, 0xDBFF, 0x0D, 0x0A,
      0x63, 0xD83D, 0xDE00, 0xDFFF, 0x64, 0x0A));
    my $block = $line x 4096; print $block for 1 .. int($ARGV[0] * 1048576 / length $block);' "$1"
}

generate() {
  case $1 in
    empty) : >"$file" ;;
    zeros) head -c 100M /dev/zero >"$file" ;;
    random) head -c 100M /dev/urandom >"$file" ;;
    one-line) head -c 200M /dev/zero | tr '\0' 'a' >"$file" ;;
    empty-lines) yes '' | head -n 10000000 >"$file" || true ;;
    cr-only) seq 1 2000000 | awk '{printf "line %d of a file whose only breaks are CR\r", $1}' >"$file" ;;
    utf16-surrogates) utf16_with_lone_surrogates 100 >"$file" ;;
    catastrophic) perl -e '$l = ("a" x 100) . "b\n"; print $l x 1000000' >"$file" ;;
    big-log | ulimit)
      g++ -O2 -std=c++17 -o "$scratch/gen_log" "$repo/../shared/bench/gen_log.cpp"
      "$scratch/gen_log" 4300M "$file" --seed 20261208 >/dev/null
      ;;
  esac
}

# Runs a command under /usr/bin/time; prints "seconds peak_MB exit" and the
# command's last line of output.
measure() {
  local out=$scratch/out.txt times=$scratch/time.txt status=0
  /usr/bin/time -v -o "$times" "$@" >"$out" 2>&1 || status=$?
  local wall rss
  wall=$(awk -F': ' '/Elapsed \(wall clock\)/ {n = split($2, p, ":"); s = 0;
    for (i = 1; i <= n; i++) s = s * 60 + p[i]; print s}' "$times")
  rss=$(awk -F': ' '/Maximum resident set size/ {printf "%.0f", $2 / 1024}' "$times")
  echo "$wall s, $rss MB, exit $status: $(grep -v -e propagateSizeHints -e XDG_RUNTIME "$out" |
    tr '\n' ' ' | cut -c1-200)"
}


# The faster of two runs of measure: the first may pay for the file just written.
best_of_two() {
  local a b
  a=$(measure "$@")
  b=$(measure "$@")
  if (($(echo "${b%% *} < ${a%% *}" | bc))); then echo "$b"; else echo "$a"; fi
}

printf '%-18s %10s | %s\n' case size "batch (--count --stats) || desktop (open, filter, paint)"
for c in "${cases[@]}"; do
  generate "$c"
  sync "$file"  # written back first, so writing does not slow the reads
  size=$(du -h --apparent-size "$file" | cut -f1)
  query=x mode=naive run=() filter=()
  if [[ $c == catastrophic ]]; then
    query='(a+)+$' mode=regex filter=(--filter "$query" --query-mode regex)
  fi
  if [[ $c == ulimit ]]; then  # 3 GiB of address space: less than the file alone
    run=(bash -c 'ulimit -v $((3 << 20)) && exec "$@"' limited)
  fi
  batch=$(best_of_two "${run[@]}" "$build/linesift" --count --stats "${filter[@]}" "$file")
  desktop=$(best_of_two "${run[@]}" "$build/bench/open_driver" "$file" "$query" "$mode")
  printf '%-18s %10s | %s || %s\n' "$c" "$size" "$batch" "$desktop"
  rm -f "$file"
done
rm -rf "$scratch/data" "$scratch/gen_log" "$scratch/out.txt" "$scratch/time.txt"

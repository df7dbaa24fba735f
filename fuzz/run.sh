#!/usr/bin/env bash
# Runs each fuzz target for a fixed time on one core, starting from its seeds
# and the corpus kept in the work folder from earlier runs.
#   fuzz/run.sh BUILD_DIR SECONDS WORK_DIR [TARGET...]
# Findings (crashes, failed properties, hangs) are written to
# WORK_DIR/artifacts; the exit status is 1 when there was any. A target stops
# at its first finding, unless KEEP_GOING=1, which runs it in a child process
# (still one core) that is restarted after each finding.
set -euo pipefail
build=$1
seconds=$2
work=$3
shift 3
here=$(cd "$(dirname "$0")" && pwd)
targets=("$@")
if ((${#targets[@]} == 0)); then
  targets=(reader_fuzz query_fuzz markup_fuzz settings_fuzz wildcard_fuzz batch_json_fuzz)
fi
mkdir -p "$work/artifacts"
failed=0
for target in "${targets[@]}"; do
  seeds="$here/seeds/${target%_fuzz}"
  corpus="$work/corpus/$target"
  mkdir -p "$corpus"
  log="$work/$target.log"
  start=$(date +%s)
  status=0
  extra=()
  if [[ ${KEEP_GOING:-0} == 1 ]]; then
    extra=(-fork=1 -ignore_crashes=1 -ignore_timeouts=1 -ignore_ooms=1)
  fi
  ASAN_OPTIONS=detect_leaks=1:abort_on_error=1 UBSAN_OPTIONS=print_stacktrace=1 \
    "$build/fuzz/$target" -max_total_time="$seconds" -timeout=30 -rss_limit_mb=2560 \
    -max_len=4096 -print_final_stats=1 -artifact_prefix="$work/artifacts/$target-" \
    "${extra[@]}" "$corpus" "$seeds" >"$log" 2>&1 || status=$?
  # Plain runs end with stat:: lines, child-process runs with "#RUNS: cov: ...".
  runs=$(awk '/stat::number_of_executed_units/ {print $2} /^#[0-9]+: cov:/ {print substr($1, 2)}' \
    "$log" | tail -1 | tr -d :)
  found=$(find "$work/artifacts" -name "$target-*" | wc -l)
  if ((found > 0 && status == 0)); then
    status=1
  fi
  files=$(find "$corpus" -type f | wc -l)
  echo "$target: ${runs:-?} runs in $(($(date +%s) - start)) s, corpus $files files, exit $status"
  if ((status != 0)); then
    failed=1
    grep -E "property failed|ERROR: |SUMMARY|Test unit written" "$log" | head -20 || true
  fi
done
exit $failed

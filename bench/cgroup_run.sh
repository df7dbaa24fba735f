#!/usr/bin/env bash
# Runs the batch mode's `--count` and `--count --filter error` on a file in a
# memory cgroup (cgroup v1) with a limit, as a machine with little free memory
# would, and checks the counts against `wc -l` and `grep -c -i error`.
#   bench/cgroup_run.sh LINESIFT FILE LIMIT_MIB
# e.g. bench/cgroup_run.sh build-rel/linesift /tmp/benchdata/bench-2g.log 512
# Needs root (it creates /sys/fs/cgroup/memory/ls-bench-PID and removes it at
# the end). The file's pages are dropped from the page cache first, so that
# reading them is charged to the group.
set -euo pipefail
bin=$1
file=$2
limit_mib=$3
group=/sys/fs/cgroup/memory/ls-bench-$$

mkdir "$group"
trap 'rmdir "$group"' EXIT
echo $((limit_mib << 20)) >"$group/memory.limit_in_bytes"

# The lines the batch mode counts in a file with LF line breaks: one more
# than wc -l, the line after the last break (empty when the file ends with one).
lines=$(($(wc -l <"$file") + 1))
# Naive queries ignore case like this for an ASCII term without k or i.
errors=$(LC_ALL=C grep -c -i error "$file")

# Runs the command in the group; prints its output, exit status, time,
# the group's peak usage and whether the kernel's OOM killer acted.
run() {
  echo 0 >"$group/memory.max_usage_in_bytes"
  local kills_before
  kills_before=$(awk '/oom_kill / {print $2}' "$group/memory.oom_control" 2>/dev/null || echo 0)
  dd if="$file" iflag=nocache count=0 status=none  # drop the file's cached pages
  local start end out status
  start=$(date +%s.%N)
  set +e
  out=$( (echo "$BASHPID" >"$group/cgroup.procs" && exec "$@") 2>&1)
  status=$?
  set -e
  end=$(date +%s.%N)
  local kills
  kills=$(awk '/oom_kill / {print $2}' "$group/memory.oom_control" 2>/dev/null || echo 0)
  printf '%s\n  exit %d, %.2f s, group peak %d MiB, failcnt %s, oom kills %d\n' \
    "$(echo "$out" | tr '\n' ' ')" "$status" "$(echo "$end - $start" | bc)" \
    $(($(cat "$group/memory.max_usage_in_bytes") >> 20)) "$(cat "$group/memory.failcnt")" \
    $((kills - kills_before))
  RESULT=$(echo "$out" | head -1)
}

echo "$file: $(stat -c %s "$file") bytes, limit $limit_mib MiB"
echo "--count (expect $lines):"
run "$bin" --stats --count "$file"
[[ $RESULT == "$lines" ]] && echo "  count OK" || echo "  count WRONG"
echo "--count --filter error (expect $errors):"
run "$bin" --stats --count --filter error "$file"
[[ $RESULT == "$errors" ]] && echo "  count OK" || echo "  count WRONG"

#!/usr/bin/env bash
# Runs every fuzz target of a built fuzz tree for a set time and prints a table
# of executions, speed, corpus size and findings. Used by `make fuzz`.
#
#   run_fuzzers.sh <fuzz build tree> <seconds per target> [targets running at once]
#
# Each target grows its own corpus in <tree>/corpus/<target>, seeded from
# tests/fuzz/corpus/<target>, so a later run starts where this one stopped.
# Inputs that crash or break an invariant land in <tree>/findings/<target>/;
# the script then exits non-zero.
set -uo pipefail

tree=$1
seconds=$2
parallel=${3:-1}
here=$(cd "$(dirname "$0")" && pwd)
bin="$tree/tests/fuzz"

targets=()
for seeds in "$here"/corpus/*/; do
  targets+=("$(basename "$seeds")")
done

run_one() {
  local t=$1
  mkdir -p "$tree/corpus/$t" "$tree/findings/$t"
  cp -n "$here/corpus/$t"/* "$tree/corpus/$t/" 2>/dev/null || true
  "$bin/$t" -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 -print_final_stats=1 \
    -artifact_prefix="$tree/findings/$t/" "$tree/corpus/$t" >"$tree/findings/$t.log" 2>&1
  echo $? >"$tree/findings/$t.status"
}

running=0
for t in "${targets[@]}"; do
  echo "== $t: ${seconds} s"
  run_one "$t" &
  running=$((running + 1))
  if [ "$running" -ge "$parallel" ]; then
    wait -n
    running=$((running - 1))
  fi
done
wait

failed=0
printf '\n%-18s %12s %8s %8s %9s %s\n' target executions exec/s corpus findings status
for t in "${targets[@]}"; do
  log="$tree/findings/$t.log"
  runs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log" | tail -1)
  speed=$(sed -n 's/^stat::average_exec_per_sec: *//p' "$log" | tail -1)
  corpus=$(find "$tree/corpus/$t" -type f | wc -l)
  findings=$(find "$tree/findings/$t" -type f | wc -l)
  status=$(cat "$tree/findings/$t.status")
  [ "$status" = 0 ] && [ "$findings" = 0 ] || failed=1
  printf '%-18s %12s %8s %8s %9s %s\n' "$t" "${runs:-?}" "${speed:-?}" "$corpus" "$findings" \
    "$([ "$status" = 0 ] && echo ok || echo "FAILED, see $log")"
done
exit $failed

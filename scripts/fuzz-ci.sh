#!/usr/bin/env bash
# Runs every libFuzzer target of a QUAR_FUZZ build for a fixed time, starting from its committed
# seeds. An input that crashes a target, trips an invariant or runs too long is saved under
# BUILD/fuzz-artifacts; commit it to fuzz/seeds/TARGET/ so that ctest replays it from then on.
#   scripts/fuzz-ci.sh BUILD SECONDS_PER_TARGET
set -uo pipefail
build=${1:?build directory}
seconds=${2:-40}
cd "$(dirname "$0")/.."
mkdir -p "$build/fuzz-artifacts"
failed=()
for seeds in fuzz/seeds/*/; do
  target=$(basename "$seeds")
  program="$build/fuzz/$target"
  [ -x "$program" ] || continue
  corpus="$build/fuzz-corpus/$target"
  mkdir -p "$corpus"
  log="$build/fuzz-artifacts/$target.log"
  "$program" -max_total_time="$seconds" -timeout=20 -rss_limit_mb=2048 -max_len=2048 \
    -print_final_stats=1 -artifact_prefix="$build/fuzz-artifacts/$target-" \
    "$corpus" "$seeds" >"$log" 2>&1
  status=$?
  runs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log")
  echo "$target: ${runs:-?} executions in ${seconds}s, exit $status"
  if [ $status -ne 0 ]; then
    failed+=("$target")
    grep -E "ERROR|SUMMARY|^call|Test unit written" "$log" | head -20
  fi
done
if [ ${#failed[@]} -gt 0 ]; then
  echo "fuzzing found inputs that fail: ${failed[*]}; their files are in $build/fuzz-artifacts:"
  echo "copy each to fuzz/seeds/TARGET/, fix the fault, and commit both"
  exit 1
fi

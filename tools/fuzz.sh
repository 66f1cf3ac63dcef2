#!/usr/bin/env bash
# Builds the libFuzzer targets (cmake --preset fuzz, clang with AddressSanitizer
# and UndefinedBehaviorSanitizer) and runs each one for FUZZ_SECONDS (20 by
# default) from the seeds in fuzz/corpus/<target>/, copied into the build
# tree so that what the fuzzer adds stays out of the repository. Fails on any
# crash, timeout, leak or sanitizer report; the input is left in
# build/fuzz/artifacts/. Arguments, if any, name the targets to run.
set -euo pipefail
cd "$(dirname "$0")/.."

seconds="${FUZZ_SECONDS:-20}"
targets=("$@")
[ ${#targets[@]} -gt 0 ] || targets=(fuzz_reader fuzz_marker fuzz_names fuzz_settings fuzz_command_file fuzz_framing)

build=build/fuzz
cmake --preset fuzz
nice cmake --build "$build" --target zentrada_fuzz --parallel 2

mkdir -p "$build/corpus" "$build/artifacts" "$build/logs"
export ASAN_OPTIONS="detect_leaks=1:abort_on_error=0"
export UBSAN_OPTIONS="halt_on_error=1:print_stacktrace=1"
# What a sanitizer, libFuzzer or a target's own check prints on a fault.
reports="ERROR: (AddressSanitizer|LeakSanitizer|UndefinedBehaviorSanitizer|libFuzzer)|runtime error:|invariant broken"
total=0
failed=()
for target in "${targets[@]}"; do
  corpus="$build/corpus/$target"
  mkdir -p "$corpus"
  cp fuzz/corpus/"${target#fuzz_}"/* "$corpus"/ 2>/dev/null || true
  log="$build/logs/$target.log"
  status=0
  # The outer timeout catches a target that hangs before libFuzzer's own
  # clock runs.
  timeout $((seconds + 120)) nice "$build/bin/$target" "$corpus" \
    -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 -print_final_stats=1 \
    -artifact_prefix="$build/artifacts/$target-" >"$log" 2>&1 || status=$?
  runs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log" | tail -n 1)
  runs=${runs:-0}
  total=$((total + runs))
  if [ "$status" -ne 0 ] || grep -qE "$reports" "$log"; then
    failed+=("$target")
    echo "$target: FAILED (exit $status) after $runs executions; log $log"
    grep -E "ERROR:|runtime error:|invariant broken|SUMMARY:|Test unit written" "$log" | head -n 20 || true
  else
    printf '%s: %s executions in %ss\n' "$target" "$runs" "$seconds"
  fi
done
echo "total: $total executions"
if [ ${#failed[@]} -gt 0 ]; then
  echo "fuzzing failed: ${failed[*]}"
  exit 1
fi

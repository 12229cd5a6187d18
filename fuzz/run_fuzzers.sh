#!/usr/bin/env bash
# Runs every fuzz target of a build for a number of seconds each, from its
# checked-in seed corpus (fuzz/corpus/<target>/, never written to: new inputs
# go to the build directory). Prints executions per target; exits non-zero
# when any target reports a finding (its input lands in <build>/findings/).
set -uo pipefail
build_dir="${1:-build/fuzz}"
seconds="${2:-60}"
root="$(cd "$(dirname "$0")/.." && pwd)"
mkdir -p "$build_dir/findings" "$build_dir/logs"
export ASAN_OPTIONS="${ASAN_OPTIONS:-detect_leaks=1:allocator_may_return_null=1}"
export UBSAN_OPTIONS="${UBSAN_OPTIONS:-halt_on_error=1:print_stacktrace=1}"
export TARVEL_PLUGIN_PATH="$build_dir/lib"
failed=0
for fuzzer in "$build_dir"/bin/fuzz_*; do
  [ -x "$fuzzer" ] || continue
  name="$(basename "$fuzzer")"
  target="${name#fuzz_}"
  work="$build_dir/corpus/$target"
  mkdir -p "$work"
  log="$build_dir/logs/$target.log"
  "$fuzzer" -max_total_time="$seconds" -timeout=20 -rss_limit_mb=4096 -max_len=4096 \
    -print_final_stats=1 -artifact_prefix="$build_dir/findings/$target-" \
    "$work" "$root/fuzz/corpus/$target" >"$log" 2>&1
  rc=$?
  runs="$(grep -o 'stat::number_of_executed_units: *[0-9]*' "$log" | grep -o '[0-9]*$' | tail -1)"
  if [ $rc -eq 0 ]; then
    echo "fuzz $target: ${runs:-?} executions in ${seconds} s, no finding"
  else
    echo "fuzz $target: FINDING after ${runs:-?} executions (exit $rc), see $log"
    grep -m5 -E 'ERROR|SUMMARY|finding:|runtime error' "$log" | sed 's/^/  /'
    failed=1
  fi
done
exit $failed

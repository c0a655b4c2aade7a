#!/bin/sh
# Builds the libFuzzer targets in build-fuzz (clang) and runs each for the
# given number of seconds (default 60), starting from the seeds in corpus/.
# Usage: tests/fuzz/run.sh [seconds]
set -eu

seconds=${1:-60}
root=$(cd "$(dirname "$0")/../.." && pwd)
build="$root/build-fuzz"

CC=clang CXX=clang++ cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DORVANE_FUZZ=ON -DORVANE_BENCH=OFF >/dev/null
cmake --build "$build" --target fuzz_archive fuzz_save -j2

status=0
for target in archive save; do
  # A scratch corpus so that new finds do not land in the source tree.
  work="$build/fuzz-corpus/$target"
  mkdir -p "$work"
  cp "$root/tests/fuzz/corpus/$target/"* "$work/"
  echo "fuzz_$target: ${seconds}s"
  # -malloc_limit_mb catches any single allocation beyond what a small input
  # could honestly need.
  if ! (cd "$build" && "./tests/fuzz/fuzz_$target" "$work" -max_total_time="$seconds" \
        -max_len=4096 -timeout=10 -malloc_limit_mb=256 -rss_limit_mb=2048 \
        -print_final_stats=1 2>"$build/fuzz_$target.log"); then
    status=1
    tail -n 40 "$build/fuzz_$target.log"
  fi
  grep -E "^stat::(number_of_executed_units|peak_rss_mb)" "$build/fuzz_$target.log" || true
done
exit $status

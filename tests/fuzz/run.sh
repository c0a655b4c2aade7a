#!/bin/sh
# Builds the libFuzzer targets with clang and runs each for the given number
# of seconds (default 60), starting from the seeds in corpus/. Exits non-zero
# when a target crashes, leaks, hangs or allocates beyond its limit; the input
# that did it is kept in the build directory as crash-*, leak-*, timeout-* or
# oom-*.
# Usage: tests/fuzz/run.sh [seconds]
#   ORVANE_FUZZ_BUILD  build directory (default build-fuzz in the source tree)
#   ORVANE_JOBS        parallel compile jobs (default 1)
set -eu

seconds=${1:-60}
root=$(cd "$(dirname "$0")/../.." && pwd)
build=${ORVANE_FUZZ_BUILD:-$root/build-fuzz}
case $build in /*) ;; *) build="$root/$build" ;; esac

CC=clang CXX=clang++ cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DORVANE_FUZZ=ON -DORVANE_BENCH=OFF >/dev/null
cmake --build "$build" --target fuzz_archive fuzz_save fuzz_replay -j"${ORVANE_JOBS:-1}"

status=0
for target in archive save replay; do
  # A scratch corpus so that new finds do not land in the source tree.
  work="$build/fuzz-corpus/$target"
  mkdir -p "$work"
  cp "$root/tests/fuzz/corpus/$target/"* "$work/"
  echo "fuzz_$target: ${seconds}s"
  # No input of 4 KiB can honestly need a single allocation of 64 MiB: the
  # loaders size their buffers by the bytes present, not the sizes announced.
  if ! "$build/tests/fuzz/fuzz_$target" "$work" -max_total_time="$seconds" \
       -max_len=4096 -timeout=10 -malloc_limit_mb=64 -rss_limit_mb=2048 \
       -artifact_prefix="$build/" -print_final_stats=1 2>"$build/fuzz_$target.log"; then
    status=1
    echo "fuzz_$target FAILED; its log is $build/fuzz_$target.log"
    tail -n 40 "$build/fuzz_$target.log"
  fi
  grep -E "^stat::(number_of_executed_units|peak_rss_mb)" "$build/fuzz_$target.log" || true
done
exit $status

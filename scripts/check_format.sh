#!/usr/bin/env bash
# Checks every tracked C and C++ file against the committed .clang-format:
# prints the files that differ and fails if there is any. `clang-format -i`
# on the files it names mends them.
set -euo pipefail
cd "$(dirname "$0")/.."

count=$(git ls-files -- '*.c' '*.cc' '*.cpp' '*.h' '*.hpp' | wc -l)
status=0
report=$(git ls-files -z -- '*.c' '*.cc' '*.cpp' '*.h' '*.hpp' |
  xargs -0 clang-format --dry-run --Werror 2>&1) || status=$?
# Each difference is reported as "<file>:<line>:<column>: error: ...".
differ=$(grep -oE '^[^:]+:[0-9]+:[0-9]+: error:' <<<"$report" | cut -d: -f1 | sort -u || true)

if [ -n "$differ" ]; then
  echo "$(wc -l <<<"$differ") of $count C/C++ files differ from .clang-format:" >&2
  sed 's/^/  /' <<<"$differ" >&2
  exit 1
fi
if [ "$status" -ne 0 ]; then  # clang-format itself failed (missing, or a file it cannot read)
  echo "$report" >&2
  exit 1
fi
echo "All $count C/C++ files follow .clang-format."

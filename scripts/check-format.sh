#!/usr/bin/env bash
# Lists the C++ files that clang-format (style: .clang-format) would change and
# shows how; exits 1 when there is any. FIX=1 formats them in place instead.
set -euo pipefail
cd "$(dirname "$0")/.."
mapfile -t files < <(git ls-files '*.cpp' '*.h')
if [ "${FIX:-0}" = 1 ]; then
  clang-format -i --style=file "${files[@]}"
  exit 0
fi
bad=0
for f in "${files[@]}"; do
  if ! clang-format --style=file "$f" | diff -u --label "$f" --label "$f (formatted)" "$f" -; then
    bad=1
  fi
done
exit "$bad"

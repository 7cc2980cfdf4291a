#!/usr/bin/env bash
# Builds the libFuzzer targets with clang (ASan + UBSan) and runs each in turn
# for the given number of seconds (default 30) on its corpus in fuzz/corpus/.
# New inputs found go to a scratch folder; only crashes fail the script.
# FUZZ_MERGE=1 merges what was found back into fuzz/corpus/ (minimised).
set -euo pipefail
cd "$(dirname "$0")/.."
seconds=${1:-30}
shift || true
targets=("$@")
[ ${#targets[@]} -eq 0 ] && targets=(page_spec command_line batch_file settings log_reader)
cmake -S . -B build-fuzz -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DFOLIOBAND_FUZZ=ON \
  -DCMAKE_CXX_COMPILER=clang++ >/dev/null
cmake --build build-fuzz --target fuzzers
export ASAN_OPTIONS=detect_leaks=1:abort_on_error=1
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
for t in "${targets[@]}"; do
  corpus=fuzz/corpus/$t
  found=build-fuzz/found/$t
  artifacts=build-fuzz/artifacts/$t/
  mkdir -p "$corpus" "$found" "$artifacts"
  echo "fuzz $t: ${seconds}s"
  build-fuzz/fuzz/fuzz_$t -max_total_time="$seconds" -max_len=4096 -timeout=10 -rss_limit_mb=2048 \
    -artifact_prefix="$artifacts" -print_final_stats=1 "$found" "$corpus" 2>build-fuzz/fuzz_$t.log \
    || { tail -60 build-fuzz/fuzz_$t.log; echo "fuzz $t: FAILED (input in $artifacts)"; exit 1; }
  grep -E 'stat::number_of_executed_units|cov:' build-fuzz/fuzz_$t.log | tail -2
  if [ "${FUZZ_MERGE:-0}" = 1 ]; then
    tmp=$(mktemp -d)
    build-fuzz/fuzz/fuzz_$t -merge=1 -max_len=4096 "$tmp" "$corpus" "$found" 2>/dev/null
    rm -rf "$corpus" && mv "$tmp" "$corpus"
  fi
done
echo "fuzz: all targets clean"

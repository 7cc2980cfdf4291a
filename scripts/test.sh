#!/usr/bin/env bash
# Builds and runs the whole test suite twice: a normal build, then one with
# AddressSanitizer and UndefinedBehaviorSanitizer; then the kill test and the
# fuzz targets; the Debian package is built and checked from the first build.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/install-deps.sh
# The tree stays in one style (.clang-format): a change that drifts fails here.
bash scripts/check-format.sh
export QT_QPA_PLATFORM=offscreen
jobs=$(nproc)
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build -j"$jobs"
ctest --test-dir build --output-on-failure -j"$jobs" --timeout 300
# The Debian package from that build: lintian, install, example, window, removal.
bash scripts/deb-package.sh
# A real run killed twenty times: outputs stay whole and no source is lost.
timeout 600 bash bench/kill-test.sh build
# Two, then four runs at once on one output, killed at random: no page lost.
timeout 600 bash bench/kill-test.sh --concurrent build
cmake -S . -B build-asan -G Ninja -DCMAKE_BUILD_TYPE=Debug -DFOLIOBAND_SANITIZE=ON >/dev/null
cmake --build build-asan -j"$jobs"
# The parallel-parts tests drive GNU parallel over thousands of rows: they test
# the scripts, which the first build covered, so they are left out here.
ASAN_OPTIONS=detect_leaks=1:abort_on_error=1 UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
  ctest --test-dir build-asan --output-on-failure -j"$jobs" --timeout 600 -E '^ParallelParts\.'

# Each fuzz target for 30 seconds under ASan and UBSan, from the kept corpus.
bash scripts/fuzz.sh 30

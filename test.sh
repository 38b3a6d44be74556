#!/usr/bin/env bash
# Installs what is missing, builds the test configuration (ASan + UBSan) and runs every test.
set -euo pipefail
cd "$(dirname "$0")"
./scripts/deps.sh
# Includes keep the layer order of docs/architecture.md (cheap, so it runs first).
./scripts/check-layering
cmake -S . -B build-test -G Ninja -DCMAKE_BUILD_TYPE=Debug -DGV_SANITIZE=ON -DGV_TESTS=ON
cmake --build build-test
# The parsers of outside input get a short, bounded fuzzing run (clang's libFuzzer).
CC=clang CXX=clang++ cmake -S . -B build-fuzz -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DGV_FUZZ=ON \
  -DGV_FUZZ_SECONDS="${GV_FUZZ_SECONDS:-10}"
cmake --build build-fuzz
export ASAN_OPTIONS="detect_leaks=1:abort_on_error=0"
export UBSAN_OPTIONS="print_stacktrace=1:halt_on_error=1"
status=0
(cd build-fuzz && ctest --output-on-failure -j "$(nproc)" -L fuzz) || status=1
# Every other test, the display ones (label gl) under a virtual X server. Each test binary runs
# its tests in one process, in an order shuffled by one seed for the whole run.
export GV_TEST_SEED="${GV_TEST_SEED:-$(( (RANDOM * 32768 + RANDOM) % 99999 + 1 ))}"
echo "Test order seed $GV_TEST_SEED (replay with GV_TEST_SEED=$GV_TEST_SEED ./test.sh)"
(cd build-test && xvfb-run -a -s "-screen 0 1280x1024x24" ctest --output-on-failure -j "$(nproc)") || status=1
exit $status

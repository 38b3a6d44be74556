#!/usr/bin/env bash
# Installs what is missing, builds the test configuration once (clang, ASan + UBSan, with the
# fuzz targets) and runs every test, then prints where the time went.
set -euo pipefail
cd "$(dirname "$0")"
source scripts/ci-times
status=0
ci_phase install ./scripts/deps.sh
# Includes keep the layer order of docs/architecture.md (cheap, so it runs first).
ci_phase layering ./scripts/check-layering
# One build serves the tests and the fuzz targets: every library carries the fuzzer's coverage
# hooks, and only the fuzz targets link the fuzzing engine. -O1 with line tables keeps the
# sanitizers' stack traces readable and runs the scenarios several times faster than -O0.
# A build folder configured with another compiler cannot switch: start it again.
if [ -f build-test/CMakeCache.txt ] && ! grep -q '^CMAKE_CXX_COMPILER:[A-Z]*=.*clang++' build-test/CMakeCache.txt; then
  rm -rf build-test
fi
ci_phase configure env CC=clang CXX=clang++ cmake -S . -B build-test -G Ninja -DCMAKE_BUILD_TYPE=Debug \
  -DGV_SANITIZE=ON -DGV_TESTS=ON -DGV_BENCH=OFF -DCMAKE_C_FLAGS_DEBUG="-O1 -g1" -DCMAKE_CXX_FLAGS_DEBUG="-O1 -g1"
ci_phase build cmake --build build-test
export ASAN_OPTIONS="detect_leaks=1:abort_on_error=0"
export UBSAN_OPTIONS="print_stacktrace=1:halt_on_error=1"
# The parsers of outside input get a short fuzzing run from fixed seeds: one budget shared by
# every target, spread over the cores.
ci_phase fuzz ./scripts/fuzz-run build-test "${GV_FUZZ_SECONDS:-60}" || status=1
# Every other test, the display ones (label gl) under a virtual X server. Each test binary runs
# its tests in one process, in an order shuffled by one seed for the whole run.
export GV_TEST_SEED="${GV_TEST_SEED:-$(( (RANDOM * 32768 + RANDOM) % 99999 + 1 ))}"
echo "Test order seed $GV_TEST_SEED (replay with GV_TEST_SEED=$GV_TEST_SEED ./test.sh)"
ctest_log=build-test/ctest.log
ci_phase tests bash -c "set -o pipefail; cd build-test && xvfb-run -a -s '-screen 0 1280x1024x24' \
  ctest --output-on-failure -LE fuzz -j $(nproc) | tee ctest.log" || status=1
ci_tests "$ctest_log"
exit $status

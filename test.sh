#!/usr/bin/env bash
# Installs what is missing, builds the test configuration (ASan + UBSan) and runs every test.
set -euo pipefail
cd "$(dirname "$0")"
./scripts/deps.sh
cmake -S . -B build-test -G Ninja -DCMAKE_BUILD_TYPE=Debug -DGV_SANITIZE=ON -DGV_TESTS=ON
cmake --build build-test
cd build-test
export ASAN_OPTIONS="detect_leaks=1:abort_on_error=0"
export UBSAN_OPTIONS="print_stacktrace=1:halt_on_error=1"
status=0
ctest --output-on-failure -j "$(nproc)" -LE gl || status=1
if ctest -N -L gl | grep -q "Total Tests: [1-9]"; then
  xvfb-run -a -s "-screen 0 1280x1024x24" ctest --output-on-failure -L gl || status=1
fi
exit $status

#!/usr/bin/env bash
# Installs what is missing, builds the game, writes the sample world and runs it.
set -euo pipefail
cd "$(dirname "$0")"
./scripts/deps.sh
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=Release -DGV_TESTS=OFF -DGV_BENCH=OFF
cmake --build build
./build/gvtool content build/data
cd build/data
if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ]; then
  export GRAVENHOLT_HEADLESS=1
  # Without a display nobody can close the window: end after a short run.
  export GRAVENHOLT_HEADLESS_FRAMES="${GRAVENHOLT_HEADLESS_FRAMES:-300}"
fi
exec ../gravenholt "$@"

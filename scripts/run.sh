#!/usr/bin/env bash
# Builds the engine and runs the program from the build tree with the shipped resources.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"
bash scripts/setup.sh
cmake -S . -B build/release -G Ninja -DCMAKE_BUILD_TYPE=Release -DQX_BUILD_TESTS=OFF -DQX_BUILD_BENCH=OFF >/dev/null
cmake --build build/release -j "$(nproc)" --target qx
exec build/release/app/qx "$@"

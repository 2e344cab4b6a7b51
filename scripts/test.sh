#!/usr/bin/env bash
# Installs what is missing, builds everything, and runs the whole test suite.
# Extra arguments go to cmake (e.g. -DSTRATUS_SANITIZE=ON); BUILD_DIR picks
# the build folder.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/deps.sh
dir=${BUILD_DIR:-build}
cmake -S . -B "$dir" -DCMAKE_BUILD_TYPE=Release "$@" >/dev/null
cmake --build "$dir" -j"$(nproc)"
ctest --test-dir "$dir" -j"$(nproc)" --output-on-failure --timeout 300

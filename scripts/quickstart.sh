#!/usr/bin/env bash
# Installs what is missing, builds, and runs the tour of the command-line
# host against the bundled US data and the local sample weather server.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/deps.sh
cmake -S . -B build -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build build -j"$(nproc)" --target stratus_cli stratus-sample-server >/dev/null
tools/tour.sh build

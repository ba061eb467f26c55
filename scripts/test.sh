#!/usr/bin/env bash
# Builds the station and runs the whole test suite. Usage: scripts/test.sh [dev|asan|release]
set -euo pipefail
cd "$(dirname "$0")/.."
preset="${1:-dev}"

scripts/install-deps.sh
cmake --preset "$preset" >/dev/null
cmake --build --preset "$preset" -j2
ctest --test-dir "build/$preset" --output-on-failure -j2 --timeout 600

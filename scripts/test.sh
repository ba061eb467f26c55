#!/usr/bin/env bash
# Builds the station and runs the whole test suite. Usage: scripts/test.sh [dev|asan|tsan|release]
# The tsan preset runs the tests of the code that starts threads (label "threads") under
# ThreadSanitizer, with the suppressions for third-party libraries in tests/tsan.supp.
set -euo pipefail
cd "$(dirname "$0")/.."
preset="${1:-dev}"

scripts/install-deps.sh
cmake --preset "$preset" >/dev/null
if [ "$preset" = tsan ]; then
    cmake --build --preset tsan -j2 --target test_journal test_forwarding test_web test_publish \
        test_app
    export TSAN_OPTIONS="suppressions=$PWD/tests/tsan.supp halt_on_error=1 second_deadlock_stack=1"
    ctest --test-dir build/tsan --output-on-failure -j2 --timeout 600 -L threads
    exit
fi
cmake --build --preset "$preset" -j2
ctest --test-dir "build/$preset" --output-on-failure -j2 --timeout 600

#!/bin/sh
# Builds the fuzz targets with clang and libFuzzer and runs each for a bounded time.
# Usage: fuzz/run.sh [SECONDS_PER_TARGET] [TARGET...]
# New inputs go to build/fuzz-clang/found/<target>/ (the committed seed corpus is only read);
# a failing input is saved as build/fuzz-clang/artifacts/<target>-crash-..., and rerunning the
# target binary with that file as its argument shows the failure again.
set -eu
root=$(cd "$(dirname "$0")/.." && pwd)
build="$root/build/fuzz-clang"
seconds=${1:-60}
[ $# -gt 0 ] && shift
targets=${*:-"parameter_block memory_records switch_status dial_answer serial_primitives xml_file configured_texts"}

cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DCMAKE_CXX_COMPILER=clang++ -DVANTRELL_FUZZ=ON -DBUILD_TESTING=OFF -DVANTRELL_BENCH=OFF >/dev/null
cmake --build "$build" -j2 --target fuzzers

status=0
for target in $targets; do
    found="$build/found/$target"
    mkdir -p "$found" "$build/artifacts"
    echo "== $target (${seconds} s)"
    "$build/fuzz/fuzz_$target" -max_total_time="$seconds" -print_final_stats=1 \
        -artifact_prefix="$build/artifacts/$target-" "$found" "$root/fuzz/corpus/$target" ||
        status=1
done
exit $status

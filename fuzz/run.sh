#!/usr/bin/env bash
# Builds the fuzz targets with clang and runs each over its seed corpus for a while.
# Usage: bash fuzz/run.sh [seconds per target, default 60]
set -euo pipefail
cd "$(dirname "$0")/.."
seconds=${1:-60}
CC=clang CXX=clang++ cmake -S . -B build-fuzz -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DVELMORA_FUZZ=ON -DVELMORA_TESTS=OFF -DVELMORA_BENCH=OFF
cmake --build build-fuzz -j "$(nproc)" --target fuzz_layout_reader
for target in layout_reader; do
    work=$(mktemp -d)
    cp fuzz/corpus/$target/* "$work"/
    ./build-fuzz/fuzz/fuzz_$target -max_total_time="$seconds" "$work"
    rm -rf "$work"
done

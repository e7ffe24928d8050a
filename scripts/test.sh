#!/usr/bin/env bash
# Installs what is missing, builds everything with g++ and runs every test; then builds the tests
# again with clang, AddressSanitizer and UndefinedBehaviorSanitizer, in the tree the fuzz targets
# share, and runs them all once more; then an operator's whole session runs under valgrind; last,
# every fuzz target runs a few seconds over its seed corpus.
set -euo pipefail
cd "$(dirname "$0")/.."
source scripts/packages.sh
velmora_install_packages
cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo -DVELMORA_TESTS=ON -DVELMORA_BENCH=ON
cmake --build build -j "$(nproc)"
cd build
QT_QPA_PLATFORM=offscreen ctest --output-on-failure -j "$(nproc)"
cd ..
bash scripts/sanitize.sh
bash scripts/memcheck.sh
bash fuzz/run.sh 5

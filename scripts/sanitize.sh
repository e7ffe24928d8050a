#!/usr/bin/env bash
# Builds every test with clang, AddressSanitizer and UndefinedBehaviorSanitizer in build-fuzz, the
# tree the fuzz targets share (see scripts/clang-tree.sh), and runs them all; any error, undefined
# behaviour or leak fails its test. The suppressions cover third-party libraries only, each with
# its reason.
set -euo pipefail
cd "$(dirname "$0")/.."
source scripts/clang-tree.sh
velmora_configure_clang_tree
# Set before the build too: listing a test executable's tests runs it.
suppressions="$PWD/scripts/sanitizers"
export ASAN_OPTIONS="detect_leaks=1:halt_on_error=1"
export LSAN_OPTIONS="suppressions=$suppressions/lsan.supp:print_suppressions=0"
export UBSAN_OPTIONS="halt_on_error=1:print_stacktrace=1:suppressions=$suppressions/ubsan.supp"
# The tests and what they read only: the simulator's executable runs in no stage of this tree.
cmake --build build-fuzz -j "$(nproc)" --target velmora_tests
cd build-fuzz
QT_QPA_PLATFORM=offscreen ctest --output-on-failure -j "${VELMORA_CTEST_JOBS:-$(( $(nproc) * 3 ))}"

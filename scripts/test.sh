#!/usr/bin/env bash
# Installs what is missing, builds everything with g++ and runs every test; then builds the tests
# again with clang, AddressSanitizer and UndefinedBehaviorSanitizer, in the tree the fuzz targets
# share, and runs them all once more; then an operator's whole session runs under valgrind; last,
# every fuzz target runs a few seconds over its seed corpus. Each stage's time is printed at the end.
set -euo pipefail
cd "$(dirname "$0")/.."
source scripts/packages.sh
velmora_install_packages

stages=()
# stage NAME COMMAND...: runs the command and notes how long it took.
stage() {
    local name=$1 start=$SECONDS
    shift
    "$@"
    stages+=("$(printf '%-28s %5d s' "$name" $((SECONDS - start)))")
}
report() { printf '%s\n' "${stages[@]}"; }
trap report EXIT

# Most test cases wait on a server, a socket or a time-out rather than compute: ctest runs
# three a core (each in a process and directory of its own, see tests/CMakeLists.txt).
export VELMORA_CTEST_JOBS=$(( $(nproc) * 3 ))
# Line tables and function names only (-g1): enough for valgrind to name the function, file and
# line of every frame, at a sixth less compile time than full debug information.
stage "g++ configure" cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DCMAKE_CXX_FLAGS_RELWITHDEBINFO="-O2 -g1 -DNDEBUG" -DVELMORA_TESTS=ON -DVELMORA_BENCH=ON
stage "g++ build" cmake --build build -j "$(nproc)"
run_tests() { (cd build && QT_QPA_PLATFORM=offscreen ctest --output-on-failure -j "$VELMORA_CTEST_JOBS"); }
stage "g++ tests" run_tests
stage "sanitizers (build, tests)" bash scripts/sanitize.sh
stage "valgrind" bash scripts/memcheck.sh
stage "fuzz targets" bash fuzz/run.sh 5

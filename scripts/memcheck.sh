#!/usr/bin/env bash
# Runs the operator's whole session (connect, refresh, sort, filter, value lists, detail window,
# databases, server, logs, disconnect, close) under valgrind's memcheck: any memory error or
# definite leak fails. BUILD names the tree holding the test (default: build).
set -euo pipefail
cd "$(dirname "$0")/.."
source scripts/packages.sh
velmora_install_packages valgrind
build=${BUILD:-build}
cmake --build "$build" -j "$(nproc)" --target OperatorSessionTest
# Qt compiles regular expressions to machine code at run time; valgrind cannot follow the
# definedness of what that code reads, so the interpreter is used instead.
QT_ENABLE_REGEXP_JIT=0 QT_QPA_PLATFORM=offscreen \
    valgrind --leak-check=full --show-leak-kinds=definite --errors-for-leak-kinds=definite \
    --num-callers=30 --error-exitcode=1 "$build/tests/OperatorSessionTest"

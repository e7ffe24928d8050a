#!/bin/sh
# Runs a test executable through a hard link in a fresh directory beside the executable's own
# (at the same depth, so that a path a test takes relative to its executable's directory leads
# where it did), then removes the directory. The program keeps its settings file beside its
# executable; this way every test process has a settings file of its own, and ctest runs the
# cases of the main window side by side instead of one after another.
# Usage: run-apart.sh EXECUTABLE [ARGUMENTS ...]
set -eu
executable=$1
shift
directory=$(mktemp -d "${executable%/*}/../apart.XXXXXX")
trap 'rm -rf "$directory"' EXIT
trap 'exit 143' TERM
trap 'exit 130' INT
ln "$executable" "$directory/"
"$directory/${executable##*/}" "$@"

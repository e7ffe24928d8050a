#!/usr/bin/env bash
# Counts the instructions a benchmark's measured part executes, under callgrind: a figure that a
# busy machine does not move, to compare a change against the code before it. Only what a
# benchmark marks as measured is counted (bench::CountedSpan; every ClientCpuTimer is one: the
# client's GUI thread and its worker, and a recording's thread when it is given one; none of the
# set-up and none of the simulator).
#   bash bench/count.sh PROGRAM FILTER...
# runs PROGRAM (built in BUILD, default build) once for each FILTER, a --benchmark_filter that
# picks one benchmark, and prints its instructions per iteration. The callgrind files are kept in
# BUILD/bench-count/ for callgrind_annotate.
set -euo pipefail
cd "$(dirname "$0")/.."
source scripts/packages.sh
velmora_install_packages
build=${BUILD:-build}
program=$1
shift
out="$build/bench-count"
mkdir -p "$out"
for filter in "$@"; do
    name=$(echo "$program-$filter" | tr -c 'A-Za-z0-9_\n-' '_')
    # The shortest minimum time runs a benchmark without a fixed count once, at one iteration;
    # Qt's regular expressions run interpreted, as valgrind cannot follow code made at run time.
    QT_ENABLE_REGEXP_JIT=0 QT_QPA_PLATFORM=offscreen \
        valgrind --tool=callgrind --collect-atstart=no --callgrind-out-file="$out/$name.callgrind" \
        "$build/bench/$program" --benchmark_filter="$filter" --benchmark_min_time=1e-9 \
        --benchmark_out="$out/$name.json" --benchmark_out_format=json > /dev/null 2> "$out/$name.log" \
        || { cat "$out/$name.log" >&2; exit 1; }
    python3 - "$out/$name.json" "$out/$name.callgrind" "$filter" <<'EOF'
import json, re, sys

runs = [b for b in json.load(open(sys.argv[1]))["benchmarks"] if b.get("run_type") != "aggregate"]
if len(runs) != 1:
    sys.exit(f"{sys.argv[3]}: the filter picks {len(runs)} benchmarks, not one")
if "error_message" in runs[0]:
    sys.exit(f"{sys.argv[3]}: {runs[0]['error_message']}")
totals = re.search(r"^(?:totals|summary): (\d+)", open(sys.argv[2]).read(), re.M)
iterations = runs[0]["iterations"]
print(f"{runs[0]['name']}: {int(totals.group(1)) / iterations:,.0f} instructions per iteration "
      f"({iterations} iterations)")
EOF
done

#!/usr/bin/env bash
# Builds the benchmarks (RelWithDebInfo, in BUILD, default build) and runs every one of them,
# then prints one table: each figure, ours beside its limit, their ratio, the goal and whether it
# is met, with the spread of the repeated runs, and names the machine. Figures are CPU times of
# the client: every thread of it (its GUI thread and the worker its server calls run on), none of
# the simulator's (which answers on threads of its own, or in a process of its own), so a busy
# machine moves them less than wall times; start-up is shown both ways. Every timed figure is the
# median of repeated runs, a figure and its limit repeated in turn in one program run, so that a
# ratio compares medians taken side by side. Takes about eight minutes; the JSON of every run is
# kept in BUILD/bench-report/. For a before-and-after comparison on a busy machine, count
# instructions instead (bench/count.sh).
set -euo pipefail
cd "$(dirname "$0")/.."
build=${BUILD:-build}
benches=(QueryFetchBench ProcessRefreshBench GridPaintBench SortFilterBench FilterValueListBench
         LockDetailBench LogLoadBench ProcessMemoryRun StartupRun BlockingTreeBench
         ProcessRatesBench RecordingBench)

cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DVELMORA_BENCH=ON > /dev/null
cmake --build "$build" -j "$(nproc)" --target "${benches[@]}" > /dev/null

out="$build/bench-report"
mkdir -p "$out"
export QT_QPA_PLATFORM=offscreen
run() {
    local name=$1
    shift
    echo "running $name" >&2
    "$build/bench/$name" --benchmark_out="$out/$name.json" --benchmark_out_format=json "$@" > /dev/null
}
# Repetitions in random turns: a figure and its limit each take their share of a busy moment.
repeated=(--benchmark_repetitions=5 --benchmark_report_aggregates_only=true
          --benchmark_enable_random_interleaving=true)
# The ratios to a bare client swing most from run to run (the kernel's share of a round trip
# moves with the scheduling of the two sides): their medians are taken over more runs.
ratios=(--benchmark_repetitions=9 --benchmark_report_aggregates_only=true
        --benchmark_enable_random_interleaving=true)
run QueryFetchBench "${repeated[@]}" --benchmark_min_time=0.2
run ProcessRefreshBench "${ratios[@]}"
run GridPaintBench "${repeated[@]}"
run SortFilterBench "${repeated[@]}" --benchmark_min_time=0.2
run FilterValueListBench --benchmark_filter=BM_FillAllValueLists "${repeated[@]}"
run LockDetailBench "${ratios[@]}"
run LogLoadBench "${ratios[@]}"
run ProcessMemoryRun
run StartupRun --benchmark_repetitions=3 --benchmark_report_aggregates_only=true
run BlockingTreeBench "${repeated[@]}"
run ProcessRatesBench "${repeated[@]}"
run RecordingBench "${repeated[@]}"

python3 - "$out" <<'EOF'
import json, os, re, subprocess, sys

out = sys.argv[1]
runs = {}
spreads = {}
for name in os.listdir(out):
    with open(os.path.join(out, name)) as f:
        for b in json.load(f)["benchmarks"]:
            base = re.sub(r"/(iterations|manual_time).*$", "", b["run_name"])
            # Repeated runs: the median, and the coefficient of variation as the spread; single
            # runs: the run itself.
            if b.get("run_type") == "aggregate":
                if b.get("aggregate_name") == "median":
                    runs[base] = b
                elif b.get("aggregate_name") == "cv":
                    spreads[base] = b
            elif base not in runs:
                runs[base] = b

def ms(name, key=None):
    b = runs[name]
    # A benchmark that times itself reports the client's CPU time as its manual time.
    key = key or ("real_time" if "manual_time" in b["run_name"] else "cpu_time")
    scale = {"ns": 1e-6, "us": 1e-3, "ms": 1.0, "s": 1e3}[b["time_unit"]]
    return b[key] * scale

def spread(*names, key=None):
    known = [spreads[n][key or ("real_time" if "manual_time" in spreads[n]["run_name"] else "cpu_time")]
             for n in names if n in spreads]
    return f"+-{max(known) * 100:.0f}%" if known else "-"

rows = []
def ratio(figure, ours, limit, goal, unit="ms"):
    r = ms(ours) / ms(limit)
    rows.append((figure, f"{ms(ours):.1f} {unit}", f"{ms(limit):.1f} {unit}", f"{r:.2f}x", spread(ours, limit),
                 f"<= {goal:.2f}x", "yes" if r <= goal else "NO"))

def absolute(figure, name, goal, unit="ms"):
    rows.append((figure, f"{ms(name):.1f} {unit}", "-", "-", spread(name), f"<= {goal:g} {unit}",
                 "yes" if ms(name) <= goal else "NO"))

def share(figure, ours_ms, ours, limit, goal):
    # A cost that follows a refresh, as a share of that refresh (the limit).
    r = ours_ms / ms(limit)
    rows.append((figure, f"{ours_ms:.1f} ms", f"{ms(limit):.1f} ms", f"{r:.2f}x", spread(ours, limit),
                 f"<= {goal:.2f}x", "yes" if r <= goal else "NO"))

def info(figure, ours):
    rows.append((figure, ours, "-", "-", "-", "-", "-"))

for n in (1000, 10000, 100000):
    ratio(f"1. F5 refresh, {n:,} processes", f"BM_ProcessRefresh/{n}", f"BM_BareOdbcProcessFetch/{n}", 1.10)
per_row = [ms(f"BM_ProcessRefresh/{n}") / n * 1000 for n in (1000, 10000, 100000)]
growth = max(per_row) / min(per_row)
rows.append(("1. F5 cost per row at 1k/10k/100k", " / ".join(f"{p:.1f}" for p in per_row) + " us", "-",
             f"{growth:.2f}x", "-", "linear (<= 1.50x)", "yes" if growth <= 1.5 else "NO"))
ratio("2. paint process grid, 10,000 rows", "BM_PaintProcessGrid", "BM_PaintStandardTableView", 1.2)
for n in (10000, 100000):
    share(f"1. rates after a refresh, {n:,} processes", ms(f"BM_ProcessRates/{n}"), f"BM_ProcessRates/{n}",
          f"BM_ProcessRefresh/{n}", 0.10)
for keys in (1, 2, 3):
    ratio(f"3. sort 100,000 rows, {keys} key(s)", f"BM_RowSortApply/{keys}", f"BM_StableSortPreExtracted/{keys}", 1.0)
ratio("3. filter 100,000 rows, 2 conditions", "BM_RowFilterMatches", "BM_HandWrittenPredicate", 1.25)
absolute("4. F3 client part, 10,000 processes", "BM_FillAllValueLists", 50)
ratio("5. detail window, 1,000 locks", "BM_OpenLockDetail", "BM_BareLockRoundTrips", 1.1)
ratio("6. error log, 50,000 lines", "BM_LoadLogEntries", "BM_BareLogFetch", 1.15)
info("6. sqlsim parsing batch, 50,000 lines", f"{ms('BM_SimulatorLogParsing', 'real_time'):.0f} ms")
memory = runs["BM_ProcessRowMemory"]
held, raw = memory["held_bytes_per_row"], memory["raw_bytes_per_row"]
rows.append(("7. bytes held per process row", f"{held:.1f} B", f"{raw:.1f} B", f"{held / raw:.2f}x", "-", "<= 2.00x",
             "yes" if held / raw <= 2 else "NO"))
info("7. resident size, 100,000 processes", f"{memory['resident_MB']:.0f} MB")
startup = runs["BM_StartToFirstWindow"]
rows.append(("8. start-up to first window (CPU)", f"{startup['child_cpu_ms']:.1f} ms",
             f"wall {ms('BM_StartToFirstWindow', 'real_time'):.0f} ms", "-", spread("BM_StartToFirstWindow", key="child_cpu_ms"),
             "<= 150 ms", "yes" if startup["child_cpu_ms"] <= 150 else "NO"))
rows.append(("   Query fetch, 10,000 rows x 8 columns", f"{ms('BM_QueryOpen'):.1f} ms", f"{ms('BM_BareOdbcFetch'):.1f} ms",
             f"{ms('BM_QueryOpen') / ms('BM_BareOdbcFetch'):.2f}x", spread("BM_QueryOpen", "BM_BareOdbcFetch"), "-", "-"))
# An F5 with the tree shown builds it once, as the list is read in the operator's order.
for n in (10000, 100000):
    share(f"   blocking tree, one build an F5, {n:,} processes", ms(f"BM_BlockingTreeBuild/{n}"),
          f"BM_BlockingTreeBuild/{n}", f"BM_ProcessRefresh/{n}", 0.10)
# Recording: the refresh with recording on against the same refresh with it off, same run. The
# CPU time counts the recording's own thread, which stores the snapshot; the wall time is the
# window's thread's alone, the time the refresh holds the window.
off, on = ms("BM_RefreshNotRecording/10000"), ms("BM_RefreshRecording/10000")
share("9. recording, cost per snapshot, 10,000 processes", on - off, "BM_RefreshRecording/10000",
      "BM_RefreshNotRecording/10000", 0.20)
off, on = (runs[f"BM_Refresh{n}Recording/10000"]["wall_ms"] for n in ("Not", ""))
info("9. recording, window thread's wall time, 10,000 processes", f"{on - off:.1f} ms (refresh {off:.1f} ms)")
off, on = ms("BM_RefreshNotRecording/1000"), ms("BM_RefreshRecording/1000")
info("9. recording, cost per snapshot, 1,000 processes", f"{on - off:.1f} ms (refresh {off:.1f} ms)")
size = runs["BM_RecordingBytesPerSnapshot/1000"]
info("9. recording, bytes per snapshot, 1,000 processes",
     f"{size['bytes_per_snapshot']:.0f} B (first {size['first_snapshot_bytes'] / 1e6:.2f} MB)")

lscpu = subprocess.run(["lscpu"], capture_output=True, text=True).stdout
model = re.search(r"Model name:\s*(.*)", lscpu)
cpus = re.search(r"^CPU\(s\):\s*(\d+)", lscpu, re.M)
load = open("/proc/loadavg").read().split()[:3]
print(f"Machine: {model.group(1) if model else '?'}, {cpus.group(1) if cpus else '?'} CPUs, "
      f"load average {' '.join(load)}; CPU time of the client's threads; medians of repeated runs, spread the\n"
      f"largest coefficient of variation of the two figures compared.\n")
header = ("figure", "ours", "limit", "ratio", "spread", "goal", "met?")
widths = [max(len(str(r[i])) for r in rows + [header]) for i in range(len(header))]
line = lambda r: "| " + " | ".join(str(c).ljust(w) for c, w in zip(r, widths)) + " |"
print(line(header))
print("|" + "|".join("-" * (w + 2) for w in widths) + "|")
for r in rows:
    print(line(r))
EOF

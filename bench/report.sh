#!/usr/bin/env bash
# Builds the benchmarks (RelWithDebInfo, in BUILD, default build) and runs every one of them,
# then prints one table: each figure, ours beside its limit, their ratio, the goal and whether it
# is met, and names the machine. Figures are CPU times of the client: every thread of it (its GUI
# thread and the worker its server calls run on), none of the simulator's (which answers on
# threads of its own, or in a process of its own), so a busy machine moves them less than wall
# times; start-up is shown both ways. Takes about three minutes; the JSON of every run is kept in BUILD/bench-report/.
set -euo pipefail
cd "$(dirname "$0")/.."
build=${BUILD:-build}
benches=(QueryFetchBench ProcessRefreshBench GridPaintBench SortFilterBench FilterValueListBench
         LockDetailBench LogLoadBench ProcessMemoryRun StartupRun RecordingBench)

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
# Quick figures are repeated and their median taken; the runs that carry the simulator's
# seconds-long answers have their rounds fixed in the code.
run QueryFetchBench --benchmark_repetitions=3 --benchmark_min_time=0.2
run ProcessRefreshBench
run GridPaintBench --benchmark_repetitions=3
run SortFilterBench --benchmark_repetitions=3 --benchmark_min_time=0.2
run FilterValueListBench --benchmark_filter=BM_FillAllValueLists --benchmark_repetitions=5
run LockDetailBench
run LogLoadBench
run ProcessMemoryRun
run StartupRun
run RecordingBench

python3 - "$out" <<'EOF'
import json, os, re, subprocess, sys

out = sys.argv[1]
runs = {}
for name in os.listdir(out):
    with open(os.path.join(out, name)) as f:
        for b in json.load(f)["benchmarks"]:
            base = re.sub(r"/(iterations|manual_time).*$", "", b["run_name"])
            # Repeated runs: the median; single runs: the run itself.
            if b.get("run_type") == "aggregate" and b.get("aggregate_name") != "median":
                continue
            if b.get("run_type") == "aggregate" or base not in runs:
                runs[base] = b

def ms(name, key=None):
    b = runs[name]
    # A benchmark that times itself reports the client's CPU time as its manual time.
    key = key or ("real_time" if "manual_time" in b["run_name"] else "cpu_time")
    scale = {"ns": 1e-6, "us": 1e-3, "ms": 1.0, "s": 1e3}[b["time_unit"]]
    return b[key] * scale

rows = []
def ratio(figure, ours, limit, goal, unit="ms"):
    r = ours / limit
    rows.append((figure, f"{ours:.1f} {unit}", f"{limit:.1f} {unit}", f"{r:.2f}x", f"<= {goal:.2f}x",
                 "yes" if r <= goal else "NO"))

def absolute(figure, ours, goal, unit="ms", limit="-"):
    rows.append((figure, f"{ours:.1f} {unit}", limit, "-", f"<= {goal:g} {unit}", "yes" if ours <= goal else "NO"))

def info(figure, ours, limit="-"):
    rows.append((figure, ours, limit, "-", "-", "-"))

for n in (1000, 10000, 100000):
    ratio(f"1. F5 refresh, {n:,} processes", ms(f"BM_ProcessRefresh/{n}"), ms(f"BM_BareOdbcProcessFetch/{n}"), 1.10)
per_row = [ms(f"BM_ProcessRefresh/{n}") / n * 1000 for n in (1000, 10000, 100000)]
spread = max(per_row) / min(per_row)
rows.append(("1. F5 cost per row at 1k/10k/100k", " / ".join(f"{p:.1f}" for p in per_row) + " us", "-",
             f"{spread:.2f}x", "linear (<= 1.50x)", "yes" if spread <= 1.5 else "NO"))
ratio("2. paint process grid, 10,000 rows", ms("BM_PaintProcessGrid"), ms("BM_PaintStandardTableView"), 1.2)
for keys in (1, 2, 3):
    ratio(f"3. sort 100,000 rows, {keys} key(s)", ms(f"BM_RowSortApply/{keys}"),
          ms(f"BM_StableSortPreExtracted/{keys}"), 1.0)
ratio("3. filter 100,000 rows, 2 conditions", ms("BM_RowFilterMatches"), ms("BM_HandWrittenPredicate"), 1.25)
absolute("4. F3 client part, 10,000 processes", ms("BM_FillAllValueLists"), 50)
ratio("5. detail window, 1,000 locks", ms("BM_OpenLockDetail"), ms("BM_BareLockRoundTrips"), 1.1)
ratio("6. error log, 50,000 lines", ms("BM_LoadLogEntries"), ms("BM_BareLogFetch"), 1.15)
info("6. sqlsim parsing batch, 50,000 lines", f"{ms('BM_SimulatorLogParsing'):.0f} ms")
memory = runs["BM_ProcessRowMemory"]
ratio("7. bytes held per process row", memory["held_bytes_per_row"], memory["raw_bytes_per_row"], 2.0, "B")
info("7. resident size, 100,000 processes", f"{memory['resident_MB']:.0f} MB")
startup = runs["BM_StartToFirstWindow"]
absolute("8. start-up to first window (CPU)", startup["child_cpu_ms"], 150,
         limit=f"wall {ms('BM_StartToFirstWindow', 'real_time'):.0f} ms")
# Recording: the refresh with recording on against the same refresh with it off, same run.
for n in (10000, 1000):
    off, on = ms(f"BM_RefreshNotRecording/{n}"), ms(f"BM_RefreshRecording/{n}")
    if n == 10000:
        ratio(f"9. recording, cost per snapshot, {n:,} processes", on - off, off, 0.20)
    else:
        info(f"9. recording, cost per snapshot, {n:,} processes", f"{on - off:.1f} ms", f"{off:.1f} ms")
size = runs["BM_RecordingBytesPerSnapshot/1000"]
info("9. recording, bytes per snapshot, 1,000 processes", f"{size['bytes_per_snapshot']:.0f} B",
     f"first {size['first_snapshot_bytes'] / 1e6:.2f} MB")
fetch = (ms("BM_QueryOpen"), ms("BM_BareOdbcFetch"))
rows.append(("   Query fetch, 10,000 rows x 8 columns", f"{fetch[0]:.1f} ms", f"{fetch[1]:.1f} ms",
             f"{fetch[0] / fetch[1]:.2f}x", "-", "-"))

lscpu = subprocess.run(["lscpu"], capture_output=True, text=True).stdout
model = re.search(r"Model name:\s*(.*)", lscpu)
cpus = re.search(r"^CPU\(s\):\s*(\d+)", lscpu, re.M)
load = open("/proc/loadavg").read().split()[:3]
print(f"Machine: {model.group(1) if model else '?'}, {cpus.group(1) if cpus else '?'} CPUs, "
      f"load average {' '.join(load)}; CPU time of the client's threads.\n")
header = ("figure", "ours", "limit", "ratio", "goal", "met?")
widths = [max(len(str(r[i])) for r in rows + [header]) for i in range(6)]
line = lambda r: "| " + " | ".join(str(c).ljust(w) for c, w in zip(r, widths)) + " |"
print(line(header))
print("|" + "|".join("-" * (w + 2) for w in widths) + "|")
for r in rows:
    print(line(r))
EOF

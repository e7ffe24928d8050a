#!/usr/bin/env bash
# Builds the fuzz targets with clang, in the tree the sanitizer stage shares (only they and the
# libraries they link, unless that stage built everything already), and runs each over
# a copy of its seed corpus for a while, as many at once as there are cores. A crash, hang, leak or
# undefined behaviour fails the run with the target's report; the reproducer is kept in
# build-fuzz/artifacts/<what>/.
# Usage: bash fuzz/run.sh [seconds per target, default 60] [target names without fuzz_ ...]
# CI runs a few seconds per target: bash fuzz/run.sh 5
set -euo pipefail
cd "$(dirname "$0")/.."
seconds=${1:-60}
shift || true
targets=("$@")
if [ ${#targets[@]} -eq 0 ]; then
    targets=(layout_reader filter_condition row_filter row_sort settings_file connection_string
             server_aliases tds_packet prelogin login7 sspi_login tls_handshake rpc_request
             tsql_parser tsql_interpreter)
fi
source scripts/clang-tree.sh
velmora_configure_clang_tree
cmake --build build-fuzz -j "$(nproc)" --target "${targets[@]/#/fuzz_}"

# Any leak or undefined behaviour is a finding; an input running for 10 s is a hang.
export ASAN_OPTIONS="detect_leaks=1:halt_on_error=1"
export UBSAN_OPTIONS="halt_on_error=1:print_stacktrace=1"

# Runs one target over a copy of its corpus; its log is build-fuzz/artifacts/<what>.log, its exit
# status build-fuzz/artifacts/<what>.status.
fuzz_target() {
    local target=$1 work artifacts="build-fuzz/artifacts/$1" dictionary=()
    work=$(mktemp -d)
    mkdir -p "$artifacts"
    cp fuzz/corpus/"$target"/* "$work"/
    case $target in
        tsql_*) dictionary=(-dict=fuzz/tsql.dict) ;;
        filter_condition | row_filter) dictionary=(-dict=fuzz/filter.dict) ;;
    esac
    local status=0
    ./build-fuzz/fuzz/fuzz_"$target" -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 \
        "${dictionary[@]}" -print_final_stats=1 -artifact_prefix="$artifacts/" "$work" \
        >"build-fuzz/artifacts/$target.log" 2>&1 || status=$?
    rm -rf "$work"
    echo "$status" >"build-fuzz/artifacts/$target.status"
}

# As many targets at once as the machine has cores; each still runs its full time.
mkdir -p build-fuzz/artifacts
rm -f build-fuzz/artifacts/*.status
for target in "${targets[@]}"; do
    while [ "$(jobs -rp | wc -l)" -ge "$(nproc)" ]; do
        wait -n || true
    done
    echo "== fuzz_$target for ${seconds}s"
    fuzz_target "$target" &
done
wait
failed=()
summary=()
for target in "${targets[@]}"; do
    log="build-fuzz/artifacts/$target.log"
    if [ "$(cat "build-fuzz/artifacts/$target.status")" != 0 ]; then
        tail -n 60 "$log"
        echo "fuzz_$target failed; its input is in build-fuzz/artifacts/$target/" >&2
        failed+=("$target")
        continue
    fi
    runs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log")
    rate=$(sed -n 's/^stat::average_exec_per_sec: *//p' "$log")
    summary+=("$(printf '%-24s %12s runs %8s exec/s' "fuzz_$target" "$runs" "$rate")")
done
printf '%s\n' "${summary[@]}"
[ ${#failed[@]} -eq 0 ]

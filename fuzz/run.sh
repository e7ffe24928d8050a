#!/usr/bin/env bash
# Builds the fuzz targets with clang, in the tree the sanitizer stage shares (only they and the
# libraries they link, unless that stage built everything already), and runs each over
# a copy of its seed corpus for a while. A crash, hang, leak or undefined behaviour stops the run
# with the target's report; the reproducer is kept in build-fuzz/artifacts/<what>/.
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
summary=()
for target in "${targets[@]}"; do
    work=$(mktemp -d)
    artifacts="build-fuzz/artifacts/$target"
    mkdir -p "$artifacts"
    cp fuzz/corpus/"$target"/* "$work"/
    log="build-fuzz/artifacts/$target.log"
    echo "== fuzz_$target for ${seconds}s"
    dictionary=()
    case $target in
        tsql_*) dictionary=(-dict=fuzz/tsql.dict) ;;
        filter_condition | row_filter) dictionary=(-dict=fuzz/filter.dict) ;;
    esac
    if ! ./build-fuzz/fuzz/fuzz_"$target" -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 \
            "${dictionary[@]}" -print_final_stats=1 -artifact_prefix="$artifacts/" "$work" >"$log" 2>&1; then
        tail -n 60 "$log"
        rm -rf "$work"
        echo "fuzz_$target failed; its input is in $artifacts/" >&2
        exit 1
    fi
    rm -rf "$work"
    runs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log")
    rate=$(sed -n 's/^stat::average_exec_per_sec: *//p' "$log")
    summary+=("$(printf '%-24s %12s runs %8s exec/s' "fuzz_$target" "$runs" "$rate")")
done
printf '%s\n' "${summary[@]}"

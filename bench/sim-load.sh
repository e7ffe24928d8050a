#!/usr/bin/env bash
# Runs the simulator as its own process under load: 200 ODBC clients looping statements for a
# minute (CLIENTS and SECONDS change that), then prints throughput, failures and the server's
# memory. SQLSIM names another sqlsim build to load (a sanitizer build, say); BUILD the tree
# holding SimLoadRun (default: build).
set -euo pipefail
cd "$(dirname "$0")/.."
build=${BUILD:-build}
sqlsim=${SQLSIM:-$build/sqlsim/sqlsim}
port=${PORT:-14390}
"$sqlsim" --port "$port" > /dev/null &
sim=$!
trap 'kill $sim 2>/dev/null || true' EXIT
for _ in $(seq 100); do
    (exec 3<>/dev/tcp/127.0.0.1/$port) 2>/dev/null && break
    sleep 0.1
done
status=0
"$build/bench/SimLoadRun" --clients "${CLIENTS:-200}" --seconds "${SECONDS_TO_RUN:-60}" \
    --port "$port" --server-pid "$sim" || status=$?
kill -INT $sim
wait $sim || status=$?
exit $status

#!/usr/bin/env bash
# Installs what is missing, builds Velmora and the simulated server, starts sqlsim on
# 127.0.0.1:14330 (as SQL Server 2000; pass --version 7.0, 2005, 2008R2, 2016 or 2022 to
# change), writes a FreeTDS alias "sqlsim" for it, and starts Velmora. Log in as sa with the
# password velmora.
set -euo pipefail
cd "$(dirname "$0")/.."
source scripts/packages.sh
velmora_install_packages
cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo
cmake --build build -j "$(nproc)" --target Velmora sqlsim
port=14330
conf="$HOME/.freetds.conf"
if ! grep -q '^\[sqlsim\]' "$conf" 2>/dev/null; then
    printf '\n[sqlsim]\n\thost = 127.0.0.1\n\tport = %s\n\ttds version = 7.1\n' "$port" >> "$conf"
fi
./build/sqlsim/sqlsim --port "$port" "$@" &
sim=$!
trap 'kill $sim 2>/dev/null || true' EXIT
for _ in $(seq 50); do
    (exec 3<>/dev/tcp/127.0.0.1/$port) 2>/dev/null && break
    sleep 0.1
done
./build/app/Velmora

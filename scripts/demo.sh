#!/usr/bin/env bash
# Installs what is missing, builds Velmora and the simulated server, starts sqlsim on
# 127.0.0.1:14330 (as SQL Server 2000; pass --version 7.0, 2005, 2008R2, 2016 or 2022 to
# change), writes a FreeTDS alias "sqlsim" for it, and starts Velmora. Log in as sa with the
# password velmora. --trouble makes sqlsim play a server in trouble (a blocking chain that
# builds up and clears, busy and idle sessions); every option after --kerberos goes to sqlsim.
#
# With --kerberos first, it also sets up a throw-away Kerberos realm (scripts/kerberos-realm.sh),
# gives sqlsim the key of MSSQLSvc/127.0.0.1:14330 and Velmora a ticket for the user "demo":
# tick "Windows authentication" and connect, and the process list shows VELMORA.TEST\demo.
set -euo pipefail
cd "$(dirname "$0")/.."
kerberos=
if [ "${1:-}" = --kerberos ]; then
    kerberos=1
    shift
fi
source scripts/packages.sh
velmora_install_packages
cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo
cmake --build build -j "$(nproc)" --target Velmora sqlsim
port=14330
conf="$HOME/.freetds.conf"
if ! grep -q '^\[sqlsim\]' "$conf" 2>/dev/null; then
    printf '\n[sqlsim]\n\thost = 127.0.0.1\n\tport = %s\n\ttds version = 7.1\n' "$port" >> "$conf"
fi

sim_options=()
realm=
cleanup() {
    [ -n "${sim:-}" ] && kill "$sim" 2>/dev/null || true
    if [ -n "$realm" ]; then
        bash scripts/kerberos-realm.sh stop "$realm"
        rm -rf "$realm"
    fi
}
trap cleanup EXIT
if [ -n "$kerberos" ]; then
    realm=$(mktemp -d /tmp/velmora-realm.XXXXXX)
    bash scripts/kerberos-realm.sh start "$realm"
    bash scripts/kerberos-realm.sh principal "$realm" "MSSQLSvc/127.0.0.1:$port" "$realm/sqlsim.keytab"
    bash scripts/kerberos-realm.sh principal "$realm" demo "$realm/demo.keytab"
    bash scripts/kerberos-realm.sh ticket "$realm" demo "$realm/demo.keytab" "$realm/demo.ccache"
    source "$realm/env"
    export KRB5CCNAME="FILE:$realm/demo.ccache"
    sim_options=(--keytab "$realm/sqlsim.keytab")
    echo "Kerberos realm VELMORA.TEST in $realm; Velmora holds a ticket for demo@VELMORA.TEST."
fi
./build/sqlsim/sqlsim --port "$port" "${sim_options[@]}" "$@" &
sim=$!
for _ in $(seq 50); do
    (exec 3<>/dev/tcp/127.0.0.1/$port) 2>/dev/null && break
    sleep 0.1
done
./build/app/Velmora

#!/usr/bin/env bash
# A throw-away Kerberos realm, VELMORA.TEST, for the tests and the demo: its own configuration,
# database and KDC (MIT krb5kdc on a free port of 127.0.0.1), all inside one directory. Nothing
# outside that directory changes. Everything that works with the realm reads DIR/env.
#
#   kerberos-realm.sh start DIR                      create the realm and start its KDC
#   kerberos-realm.sh principal DIR NAME KEYTAB      add NAME with a random key, export it to KEYTAB
#   kerberos-realm.sh ticket DIR NAME KEYTAB CCACHE [LIFETIME]
#                                                    a ticket for NAME (key from KEYTAB) in CCACHE
#   kerberos-realm.sh stop DIR                       stop the KDC
set -euo pipefail

realm=VELMORA.TEST
command=${1:?command}
dir=${2:?directory}
dir=$(cd "$dir" && pwd)

realm_env() {
    export KRB5_CONFIG="$dir/krb5.conf" KRB5_KDC_PROFILE="$dir/kdc.conf" KRB5RCACHEDIR="$dir"
}

# A port of 127.0.0.1 nothing listens on (the KDC takes it for UDP and TCP).
free_port() {
    local port
    for _ in $(seq 200); do
        port=$((20000 + RANDOM % 40000))
        if ! (exec 3<>"/dev/tcp/127.0.0.1/$port") 2>/dev/null; then
            echo "$port"
            return 0
        fi
    done
    echo "kerberos-realm: no free port" >&2
    return 1
}

start() {
    local port
    port=$(free_port)
    # FreeTDS names the server by the host it was given (an address stays an address): no DNS.
    cat > "$dir/krb5.conf" <<EOF
[libdefaults]
    default_realm = $realm
    dns_lookup_kdc = false
    dns_lookup_realm = false
    rdns = false
    dns_canonicalize_hostname = false
    udp_preference_limit = 1
[realms]
    $realm = {
        kdc = 127.0.0.1:$port
    }
EOF
    cat > "$dir/kdc.conf" <<EOF
[kdcdefaults]
    kdc_listen = 127.0.0.1:$port
    kdc_tcp_listen = 127.0.0.1:$port
[realms]
    $realm = {
        database_name = $dir/principal
        key_stash_file = $dir/stash
        acl_file = $dir/kadm5.acl
        max_life = 10h
        max_renewable_life = 0
        supported_enctypes = aes256-cts-hmac-sha1-96:normal
    }
[logging]
    kdc = FILE:$dir/kdc.log
EOF
    : > "$dir/kadm5.acl"
    printf 'export KRB5_CONFIG=%q KRB5_KDC_PROFILE=%q KRB5RCACHEDIR=%q\n' \
        "$dir/krb5.conf" "$dir/kdc.conf" "$dir" > "$dir/env"
    realm_env
    kdb5_util create -s -r "$realm" -P "$(head -c 24 /dev/urandom | base64)" > "$dir/kdb5_util.log" 2>&1
    /usr/sbin/krb5kdc -n > "$dir/kdc.out" 2>&1 &
    echo $! > "$dir/kdc.pid"
    for _ in $(seq 100); do
        (exec 3<>"/dev/tcp/127.0.0.1/$port") 2>/dev/null && return 0
        kill -0 "$(cat "$dir/kdc.pid")" 2>/dev/null || break
        sleep 0.05
    done
    echo "kerberos-realm: the KDC did not start (see $dir/kdc.log)" >&2
    return 1
}

principal() {
    local name=${3:?principal} keytab=${4:?keytab}
    realm_env
    kadmin.local -q "addprinc -randkey $name" >> "$dir/kadmin.log" 2>&1
    kadmin.local -q "ktadd -k $keytab $name" >> "$dir/kadmin.log" 2>&1
}

ticket() {
    local name=${3:?principal} keytab=${4:?keytab} ccache=${5:?ccache} lifetime=${6:-10h}
    realm_env
    KRB5CCNAME="FILE:$ccache" kinit -l "$lifetime" -k -t "$keytab" "$name"
}

stop() {
    if [ -f "$dir/kdc.pid" ]; then
        kill "$(cat "$dir/kdc.pid")" 2>/dev/null || true
        rm -f "$dir/kdc.pid"
    fi
}

case "$command" in
    start) start ;;
    principal) principal "$@" ;;
    ticket) ticket "$@" ;;
    stop) stop ;;
    *) echo "kerberos-realm: unknown command $command" >&2; exit 2 ;;
esac

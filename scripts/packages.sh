# Installs, with apt-get, the Debian 12 packages Velmora needs that are missing. Sourced.
velmora_install_packages() {
    local wanted=(cmake g++ make qt6-base-dev libgl-dev unixodbc-dev odbcinst tdsodbc freetds-bin
                  libgtest-dev libbenchmark-dev fonts-wine clang libclang-rt-14-dev lld ccache
                  pkg-config libkrb5-dev libgnutls28-dev krb5-kdc krb5-admin-server krb5-user openssl
                  xvfb openbox libx11-dev libxtst-dev valgrind libsqlite3-dev sqlite3 "$@")
    local missing=()
    for p in "${wanted[@]}"; do
        dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'ok installed' || missing+=("$p")
    done
    if [ ${#missing[@]} -gt 0 ]; then
        echo "Installing: ${missing[*]}"
        export DEBIAN_FRONTEND=noninteractive
        apt-get update -qq
        apt-get install -y -qq "${missing[@]}"
    fi
    # tdsodbc registers its driver as "FreeTDS" unless debconf was told otherwise.
    if ! odbcinst -q -d -n FreeTDS >/dev/null 2>&1; then
        local lib
        lib=$(find /usr/lib -name libtdsodbc.so | head -n 1)
        printf '[FreeTDS]\nDescription=FreeTDS\nDriver=%s\n' "$lib" > /tmp/velmora-freetds-driver.ini
        odbcinst -i -d -f /tmp/velmora-freetds-driver.ini
    fi
}

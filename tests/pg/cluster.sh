#!/usr/bin/env bash
# A throwaway PostgreSQL cluster for one test run (usage at the end): it listens on 127.0.0.1 only
# (and on KIVO_PG_LISTEN_ALSO, for a server off the loopback), on a free port, with scram-sha-256
# for every connection, as an unprivileged user (nobody when the tests run as root). It holds the
# database ZEV with the kivo extension and the repository user DEVELOPER (password s3cret).
# STATEDIR/env says where it is; without PostgreSQL it says "unavailable" and the tests skip.
set -euo pipefail

aCommand=${1:?start or stop}
aState=${2:?state directory}
aEnvFile="$aState/env"
aAdmin=kivo_admin
aAdminPassword=admin-$$-$RANDOM

findBinaries() {
    local aDir
    for aDir in "${KIVO_PG_BINDIR:-}" "$(pg_config --bindir 2>/dev/null || true)" \
        /usr/lib/postgresql/15/bin; do
        if [[ -n $aDir && -x $aDir/initdb && -x $aDir/pg_ctl && -x $aDir/postgres ]]; then
            echo "$aDir"
            return 0
        fi
    done
    return 1
}

# Runs a command as the cluster's owner.
asOwner() {
    if [[ $(id -u) -eq 0 ]]; then
        runuser -u nobody -- "$@"
    else
        "$@"
    fi
}

freePort() {
    python3 -c 'import socket; s=socket.socket(); s.bind(("127.0.0.1", 0)); print(s.getsockname()[1])'
}

# A certificate authority and a server certificate for the name "localhost" only, so that a
# connection to 127.0.0.1 that checks the host name is refused.
makeCertificates() {
    local aDir=$1 aKey=(-newkey ec -pkeyopt ec_paramgen_curve:prime256v1 -nodes)
    openssl req -x509 "${aKey[@]}" -days 2 -subj "/CN=kivo test CA" \
        -keyout "$aDir/ca.key" -out "$aDir/ca.crt" 2>/dev/null
    openssl req "${aKey[@]}" -subj "/CN=localhost" \
        -keyout "$aDir/server.key" -out "$aDir/server.csr" 2>/dev/null
    printf 'subjectAltName=DNS:localhost\n' >"$aDir/server.ext"
    openssl x509 -req -in "$aDir/server.csr" -CA "$aDir/ca.crt" -CAkey "$aDir/ca.key" \
        -CAcreateserial -days 2 -extfile "$aDir/server.ext" -out "$aDir/server.crt" 2>/dev/null
    # A second authority that signed nothing of this cluster: trusting it must fail.
    openssl req -x509 "${aKey[@]}" -days 2 -subj "/CN=kivo other CA" \
        -keyout "$aDir/other.key" -out "$aDir/other.crt" 2>/dev/null
    chmod 600 "$aDir/server.key"
}

# PostgreSQL finds its share and library directories beside its binary: a copy of it in a private
# tree that also holds the kivo extension serves CREATE EXTENSION without writing to the system.
makeServerTree() {
    local aBin=$1 anExtension=$2 aTree=$3
    local aShare aLib
    aShare=$(pg_config --sharedir 2>/dev/null || echo /usr/share/postgresql/15)
    aLib=$(pg_config --pkglibdir 2>/dev/null || echo /usr/lib/postgresql/15/lib)
    local aBinTail=${aBin#/usr/} aShareTail=${aShare#/usr/} aLibTail=${aLib#/usr/}
    mkdir -p "$aTree/$aBinTail" "$aTree/$aShareTail" "$aTree/$aLibTail"
    cp "$aBin/postgres" "$aTree/$aBinTail/postgres"
    ln -s "$aShare"/* "$aTree/$aShareTail/"
    rm "$aTree/$aShareTail/extension"
    mkdir "$aTree/$aShareTail/extension"
    ln -s "$aShare/extension"/* "$aTree/$aShareTail/extension/"
    cp "$anExtension"/kivo.control "$anExtension"/kivo--*.sql "$aTree/$aShareTail/extension/"
    ln -s "$aLib"/* "$aTree/$aLibTail/"
    cp "$anExtension/kivo.so" "$aTree/$aLibTail/"
    echo "$aTree/$aBinTail/postgres"
}

start() {
    local anExtension=${1:?extension directory}
    local aBin
    if ! aBin=$(findBinaries) || [[ ! -f $anExtension/kivo.control ]]; then
        mkdir -p "$aState"
        echo "KIVO_PG=unavailable" >"$aEnvFile"
        echo "PostgreSQL or the kivo extension is not available: the cluster tests are skipped"
        return 0
    fi
    stop 2>/dev/null || true
    mkdir -p "$aState"
    # The cluster lives where its unprivileged owner can reach it, whatever the build directory.
    local aCluster
    aCluster=$(mktemp -d /tmp/kivo-pg.XXXXXX)
    echo "KIVO_PG_DIR=$aCluster" >"$aEnvFile"
    local aData="$aCluster/data" aCerts="$aCluster/certs" aPort
    mkdir -p "$aData" "$aCerts"
    makeCertificates "$aCerts"
    printf '%s\n' "$aAdminPassword" >"$aCluster/pwfile"
    [[ $(id -u) -ne 0 ]] || chown -R nobody "$aCluster"
    chmod 700 "$aData"
    asOwner "$aBin/initdb" -D "$aData" -U "$aAdmin" --pwfile="$aCluster/pwfile" \
        --auth=scram-sha-256 -E UTF8 --locale=C --no-sync >"$aCluster/initdb.log"
    aPort=$(freePort)
    # fsync is off for the tests' speed; commits stay synchronous (the server's default), so that
    # an answered commit is in the operating system's hands before the client hears of it, as
    # with the repository file's WAL: a crash of the server loses no answered call.
    cat >>"$aData/postgresql.conf" <<CONF
listen_addresses = '127.0.0.1'
port = $aPort
unix_socket_directories = '$aCluster'
ssl = on
ssl_cert_file = '$aCerts/server.crt'
ssl_key_file = '$aCerts/server.key'
ssl_ca_file = '$aCerts/ca.crt'
fsync = off
full_page_writes = off
CONF
    cat >"$aData/pg_hba.conf" <<CONF
local all all scram-sha-256
host all all 127.0.0.1/32 scram-sha-256
host replication all 127.0.0.1/32 scram-sha-256
CONF
    if [[ -n ${KIVO_PG_LISTEN_ALSO:-} ]]; then
        echo "listen_addresses = '127.0.0.1,$KIVO_PG_LISTEN_ALSO'" >>"$aData/postgresql.conf"
        echo "host all all $KIVO_PG_LISTEN_ALSO/32 scram-sha-256" >>"$aData/pg_hba.conf"
    fi
    local aServer
    aServer=$(makeServerTree "$aBin" "$anExtension" "$aCluster/tree")
    asOwner "$aBin/pg_ctl" -D "$aData" -p "$aServer" -l "$aCluster/server.log" -w -t 60 start \
        >/dev/null
    export PGPASSWORD=$aAdminPassword
    local aPsql=("$aBin/psql" -X -q -v ON_ERROR_STOP=1 -h 127.0.0.1 -p "$aPort" -U "$aAdmin")
    # Renaming the database that initdb made is quicker than copying a template.
    "${aPsql[@]}" -d template1 -c 'ALTER DATABASE postgres RENAME TO "ZEV"' \
        -c "CREATE ROLE \"DEVELOPER\" LOGIN PASSWORD 's3cret'"
    # A repository user is a login role with a row in the users table and a member of the
    # repository's group role, which holds what kivo-repo init gives it.
    "${aPsql[@]}" -d ZEV -c 'CREATE EXTENSION kivo' -c 'CREATE ROLE "kivo_ZEV_users" NOLOGIN' \
        -c 'GRANT USAGE ON SCHEMA sys, "PUBLIC" TO "kivo_ZEV_users"' \
        -c 'GRANT EXECUTE ON FUNCTION sys.repository_rest(bytea) TO "kivo_ZEV_users"' \
        -c 'GRANT SELECT ON "PUBLIC"."M_FEATURES", "PUBLIC"."M_DATABASE", "PUBLIC"."M_CONNECTIONS" TO "kivo_ZEV_users"' \
        -c 'GRANT "kivo_ZEV_users" TO "DEVELOPER"' \
        -c "INSERT INTO sys.users (name, password_hash) VALUES ('DEVELOPER', '')"
    cat >>"$aEnvFile" <<ENV
KIVO_PG=available
KIVO_PG_HOST=127.0.0.1
KIVO_PG_PORT=$aPort
KIVO_PG_ADMIN=$aAdmin
KIVO_PG_ADMIN_PASSWORD=$aAdminPassword
KIVO_PG_DATABASE=ZEV
KIVO_PG_CERTS=$aCerts
KIVO_PG_SERVER=$aServer
ENV
}

# The value of the fact $2 of the env file $1.
fact() {
    sed -n "s/^$2=//p" "$1"
}

sql() {
    local aBin
    aBin=$(findBinaries)
    PGPASSWORD=$(fact "$aEnvFile" KIVO_PG_ADMIN_PASSWORD) "$aBin/psql" -X -q -A -t \
        -v ON_ERROR_STOP=1 -h 127.0.0.1 -p "$(fact "$aEnvFile" KIVO_PG_PORT)" \
        -U "$(fact "$aEnvFile" KIVO_PG_ADMIN)" -d "$1" -c "$2"
}

# A streaming standby of the cluster whose state directory is $1 (pg_basebackup -R).
standby() {
    local aPrimary=${1:?state directory of the primary}/env
    local aBin aCluster aPort aServer
    aBin=$(findBinaries)
    mkdir -p "$aState"
    aCluster=$(mktemp -d /tmp/kivo-pg.XXXXXX)
    [[ $(id -u) -ne 0 ]] || chown nobody "$aCluster"
    aPort=$(freePort)
    asOwner env PGPASSWORD="$(fact "$aPrimary" KIVO_PG_ADMIN_PASSWORD)" "$aBin/pg_basebackup" -h 127.0.0.1 \
        -p "$(fact "$aPrimary" KIVO_PG_PORT)" -U "$(fact "$aPrimary" KIVO_PG_ADMIN)" \
        -D "$aCluster/data" -R -X stream
    echo "port = $aPort" >>"$aCluster/data/postgresql.conf"
    echo "unix_socket_directories = '$aCluster'" >>"$aCluster/data/postgresql.conf"
    # The standby runs the primary's server binary, which finds the extension beside it.
    aServer=$(fact "$aPrimary" KIVO_PG_SERVER)
    asOwner "$aBin/pg_ctl" -D "$aCluster/data" -p "$aServer" -l "$aCluster/server.log" -w \
        -t 60 start >/dev/null
    sed -e "s|^KIVO_PG_DIR=.*|KIVO_PG_DIR=$aCluster|" -e "s|^KIVO_PG_PORT=.*|KIVO_PG_PORT=$aPort|" \
        "$aPrimary" >"$aEnvFile"
}

promote() {
    asOwner "$(findBinaries)/pg_ctl" -D "$(fact "$aEnvFile" KIVO_PG_DIR)/data" -w promote >/dev/null
}

# A clean shutdown that hands all WAL to the standbys.
halt() {
    asOwner "$(findBinaries)/pg_ctl" -D "$(fact "$aEnvFile" KIVO_PG_DIR)/data" -m fast -w stop \
        >/dev/null
}

stop() {
    local aBin aCluster
    aCluster=$(sed -n 's/^KIVO_PG_DIR=//p' "$aEnvFile" 2>/dev/null || true)
    if [[ -n $aCluster && -f $aCluster/data/postmaster.pid ]] && aBin=$(findBinaries); then
        asOwner "$aBin/pg_ctl" -D "$aCluster/data" -m immediate -w stop >/dev/null || true
    fi
    [[ -z $aCluster || $aCluster != /tmp/kivo-pg.* ]] || rm -rf "$aCluster"
    rm -f "$aEnvFile"
}

case $aCommand in
start) start "${3:-}" ;;
stop) stop ;;
standby) standby "${3:-}" ;;
promote) promote ;;
halt) halt ;;
sql) sql "${3:?database}" "${4:?SQL}" ;;
*) echo "usage: cluster.sh start STATEDIR EXTENSIONDIR | stop|promote|halt STATEDIR |" \
    "standby STATEDIR PRIMARYSTATE | sql STATEDIR DATABASE SQL (as the administrator)" >&2 && exit 2 ;;
esac

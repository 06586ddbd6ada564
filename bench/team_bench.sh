#!/usr/bin/env bash
# The load of a team on both repository backends, one after the other: CLIENTS clients of USERS
# users (two clients for each user by default) push, check out and activate the objects of a
# shared package for SECONDS seconds, first on a repository file, then on a repository database
# of a throwaway PostgreSQL server over loopback. Prints one table per backend (throughput and
# p50/p99 latency of each operation, conflicts, failures, the check that no activation was lost)
# and the same figures as a JSON line beginning with "{".
#
#   bash bench/team_bench.sh [BUILD] [SECONDS] [CLIENTS] [USERS]     (build 60 16 8)
#
# BUILD must hold teamload, kivo-repo and, for the server, the extension in pgextension/ (a build
# with -DKIVO_TEAM_REPOSITORY=ON). Exits with status 1 when a run fails or loses an activation;
# then the workspaces and logs of the clients stay in the temporary folder it names.
set -euo pipefail

aBuild=$(cd "${1:-build}" && pwd)
aSeconds=${2:-60}
aClients=${3:-16}
aUsers=${4:-8}
aSource=$(cd "$(dirname "$0")/.." && pwd)
aTemp=$(mktemp -d /tmp/kivo-teambench.XXXXXX)
aPassword=team-$$-$RANDOM
aStatus=0

for aTool in teamload kivo-repo; do
    if [[ ! -x $aBuild/$aTool ]]; then
        echo "team_bench: $aBuild/$aTool is missing: cmake --build $aBuild --target $aTool" >&2
        exit 2
    fi
done

# Runs on exit (the trap below).
# shellcheck disable=SC2317
cleanUp() {
    if [[ -f $aTemp/pg/env ]]; then
        bash "$aSource/tests/pg/cluster.sh" stop "$aTemp/pg" || true
    fi
    if [[ $aStatus -eq 0 ]]; then
        rm -rf "$aTemp"
    else
        echo "team_bench: the clients' workspaces and logs stay in $aTemp" >&2
    fi
}
trap cleanUp EXIT

# Adds the users team1 ... teamN with the run's password to the repository $1.
addUsers() {
    local aNumber
    for ((aNumber = 1; aNumber <= aUsers; ++aNumber)); do
        "$aBuild/kivo-repo" user "$1" "team$aNumber" "$aPassword" >/dev/null
    done
}

# Runs the load on host $1 with the clients' folder $2 and the further options $3...
runLoad() {
    local aHost=$1 aDir=$2
    shift 2
    "$aBuild/teamload" "$aHost" --password "$aPassword" --clients "$aClients" --users "$aUsers" \
        --seconds "$aSeconds" --dir "$aDir" "$@" || aStatus=1
}

echo "== repository file"
"$aBuild/kivo-repo" init "$aTemp/team.kivo" >/dev/null
addUsers "$aTemp/team.kivo"
runLoad "file:$aTemp/team.kivo" "$aTemp/file"

echo
echo "== repository database of a PostgreSQL server"
bash "$aSource/tests/pg/cluster.sh" start "$aTemp/pg" "$aBuild/pgextension" >/dev/null
# shellcheck disable=SC1091
source "$aTemp/pg/env"
if [[ $KIVO_PG != available ]]; then
    echo "skipped: PostgreSQL 15 or the kivo extension (built with -DKIVO_TEAM_REPOSITORY=ON) is missing"
    exit "$aStatus"
fi
aDatabase=TEAMLOAD
aTarget="postgresql://$KIVO_PG_ADMIN:$KIVO_PG_ADMIN_PASSWORD@$KIVO_PG_HOST:$KIVO_PG_PORT/$aDatabase"
"$aBuild/kivo-repo" init "$aTarget" >/dev/null
addUsers "$aTarget"
runLoad "$KIVO_PG_HOST:$KIVO_PG_PORT" "$aTemp/server" --database "$aDatabase"
exit "$aStatus"

#!/usr/bin/env bash
# regress.sh BUILDDIR REGRESSDIR: the extension's regression suite on the throwaway cluster that
# KIVO_PG_ENV describes, by the server's own pg_regress, on the repository kivo_regress with the
# users REGRESS_ANN and REGRESS_BEN made by kivo-repo. A failing run keeps its output and says where.
set -euo pipefail

aBuild=$(cd "${1:?build directory}" && pwd)
aSuite=$(cd "${2:?regression suite directory}" && pwd)
aEnv=${KIVO_PG_ENV:?the cluster env file}

fact() {
    sed -n "s/^$1=//p" "$aEnv"
}

if [[ $(fact KIVO_PG) != available ]]; then
    echo "skipped: no PostgreSQL cluster for this run"
    exit 0
fi
aRegress=$(pg_config --pkglibdir)/pgxs/src/test/regress/pg_regress
if [[ ! -x $aRegress ]]; then
    echo "pg_regress is missing: install postgresql-server-dev-$(pg_config --version | grep -o '[0-9]\+' | head -1)" >&2
    exit 1
fi

aHost=$(fact KIVO_PG_HOST)
aPort=$(fact KIVO_PG_PORT)
aAdmin=$(fact KIVO_PG_ADMIN)
export PGPASSWORD
PGPASSWORD=$(fact KIVO_PG_ADMIN_PASSWORD)
aDatabase=kivo_regress
aTarget="postgresql://$aAdmin:$PGPASSWORD@$aHost:$aPort/$aDatabase"
aPsql=("$(pg_config --bindir)/psql" -X -q -v ON_ERROR_STOP=1 -h "$aHost" -p "$aPort" -U "$aAdmin" -d template1)
aOut=$(mktemp -d)

cleanUp() {
    "$aBuild/kivo-repo" drop "$aTarget" >/dev/null 2>&1 || true
    "${aPsql[@]}" -c 'DROP ROLE IF EXISTS "REGRESS_ANN", "REGRESS_BEN", regress_stranger' \
        >/dev/null 2>&1 || true
}
trap cleanUp EXIT
cleanUp

"$aBuild/kivo-repo" init "$aTarget" >/dev/null
"$aBuild/kivo-repo" user "$aTarget" REGRESS_ANN ann-pw >/dev/null
"$aBuild/kivo-repo" user "$aTarget" REGRESS_BEN ben-pw >/dev/null
"${aPsql[@]}" -c "CREATE ROLE regress_stranger LOGIN PASSWORD 'stranger-pw'"

if ! "$aRegress" --use-existing --host="$aHost" --port="$aPort" --user="$aAdmin" \
    --dbname="$aDatabase" --inputdir="$aSuite" --outputdir="$aOut" \
    --bindir="$(pg_config --bindir)" --schedule="$aSuite/schedule"; then
    cat "$aOut/regression.diffs" >&2 2>/dev/null || true
    echo "the suite's output stays in $aOut/results for a look" >&2
    exit 1
fi
rm -rf "$aOut"

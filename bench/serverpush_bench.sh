#!/usr/bin/env bash
# Times the push of FILES new files of 1 KiB into an empty repository on both backends, the pair
# in one hyperfine run: a repository file against a repository database of a throwaway
# PostgreSQL server over loopback. Every run starts from the same state (--prepare, untimed):
# the used workspace is moved aside and a copy of the new one put back, the repository file is
# copied over, the server's key is pointed at the next of the empty databases made beforehand.
# Nothing is deleted between runs: ext4 without a journal skips inodes deleted in the last
# minutes on every file it creates, and a reset that deletes a workspace or drops a database
# would make the next push pay for it (a third of its time). Then the server's transaction
# count of one push.
# Usage: bench/serverpush_bench.sh [BUILD_DIR] [FILES]   (BUILD_DIR of a team build: build-team)
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
source_dir=$(cd "$here/.." && pwd)
build=$(cd "${1:-$here/../build-team}" && pwd)
files=${2:-1000}
work=$(mktemp -d /tmp/kivo-serverpush.XXXXXX)
chmod 755 "$work"
cleanUp() {
  if [[ -f $work/pg/env ]]; then bash "$source_dir/tests/pg/cluster.sh" stop "$work/pg" || true; fi
  rm -rf "$work"
}
trap cleanUp EXIT
export PATH="$build:$PATH" ZEVUSERSTORE_HOME="$work/keys"
cd "$work"

bash "$source_dir/tests/pg/cluster.sh" start "$work/pg" "$build/pgextension" >/dev/null
# shellcheck disable=SC1091
source "$work/pg/env"
if [[ $KIVO_PG != available ]]; then
  echo "serverpush_bench: PostgreSQL 15 or the kivo extension is missing" >&2
  exit 2
fi
database=PUSHBENCH
uri="postgresql://$KIVO_PG_ADMIN:$KIVO_PG_ADMIN_PASSWORD@$KIVO_PG_HOST:$KIVO_PG_PORT/$database"
kivo-repo init empty.db >/dev/null
kivo-repo user empty.db dev pw >/dev/null
cp empty.db repo.db
# One empty database for each server push, the first for the workspace's creation.
for ((i = 0; i <= ${RUNS:-10} + 3; i++)); do
  kivo-repo init "$uri$i" >/dev/null
  kivo-repo user "$uri$i" dev pw 2>/dev/null >/dev/null
done
zevuserstore SET F "file:$work/repo.db" dev pw >/dev/null
zevuserstore SET S "$KIVO_PG_HOST:$KIVO_PG_PORT@${database}0" dev pw >/dev/null
echo 0 >next
mkdir used

python3 - "$files" <<'PY'
import os, sys
for i in range(int(sys.argv[1])):
    d = "tree/bench/d%02d" % (i % 20)
    os.makedirs(d, exist_ok=True)
    with open("%s/f%05d.txt" % (d, i), "w") as out:
        out.write(("line %d\n" % i * 200)[:1024])
PY
for side in F S; do
  kivo create workspace "ws$side" "$side" >/dev/null
  cp -r tree/bench "ws$side/bench"
  (cd "ws$side" && kivo track bench >/dev/null)
  cp -a "ws$side" "ws$side.new"
done

moveAside() { mv "$1" "used/$1.$(date +%s%N)"; }
resetFile() {
  moveAside wsF && cp -a wsF.new wsF && cp empty.db repo.db
  for f in repo.db-wal repo.db-shm; do if [[ -e $f ]]; then moveAside "$f"; fi; done
  sync
}
resetServer() {
  moveAside wsS && cp -a wsS.new wsS
  local n=$(($(cat next) + 1))
  echo "$n" >next
  zevuserstore SET S "$KIVO_PG_HOST:$KIVO_PG_PORT@$database$n" dev pw >/dev/null && sync
}
export -f moveAside resetFile resetServer
export database KIVO_PG_HOST KIVO_PG_PORT

hyperfine --warmup 1 --runs "${RUNS:-10}" -N \
  --prepare "bash -c 'cd $work && resetFile'" "bash -c 'cd $work/wsF && kivo push >/dev/null'" \
  --prepare "bash -c 'cd $work && resetServer'" "bash -c 'cd $work/wsS && kivo push >/dev/null'"

commits() {
  PGPASSWORD=$KIVO_PG_ADMIN_PASSWORD psql -h "$KIVO_PG_HOST" -p "$KIVO_PG_PORT" \
    -U "$KIVO_PG_ADMIN" -d "$KIVO_PG_DATABASE" -Atc \
    "select xact_commit from pg_stat_database where datname = '$database$(cat next)'" 2>/dev/null
}
resetServer
if before=$(commits); then
  (cd wsS && kivo push >/dev/null)
  sleep 1
  echo "server transactions committed by one push of $files files: $(($(commits) - before))"
fi

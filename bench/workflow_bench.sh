#!/usr/bin/env bash
# The everyday workflow at scale beside the tools users know, each pair in one hyperfine run:
#   push of FILES new 1 KiB files into an empty repository  vs  git add -A && git commit
#   checkout of those files into a new workspace              vs  tar -xf of the same tree,
#                                    and tar -xf of the files with their metadata files + sync
#   push of one changed file in that workspace                 vs  git commit -a
# Every side resets its own state the same cheap way before each run (--prepare, untimed):
# the used state is moved aside and a copy of a prepared state is put back, then `sync` writes
# the copy to disk, so that a timed run pays for its own writes only. Used states are moved, not
# deleted: ext4 without a journal skips inodes deleted in the last minutes on every file it
# creates, and the deletes of a reset would then dominate both sides of each pair.
# Then the fsync and syncfs counts of each kivo run.
# Usage: bench/workflow_bench.sh [BUILD_DIR] [FILES]
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
build=$(cd "${1:-$here/../build}" && pwd)
files=${2:-10000}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
export PATH="$build:$PATH" ZEVUSERSTORE_HOME="$work/keys"
cd "$work"

kivo-repo init empty.db >/dev/null
kivo-repo user empty.db dev pw >/dev/null
zevuserstore SET K "file:$work/repo.db" dev pw >/dev/null
python3 - "$files" <<'PY'
import os, sys
for i in range(int(sys.argv[1])):
    d = "tree/bench/d%03d" % (i % 100)
    os.makedirs(d, exist_ok=True)
    with open("%s/f%05d.txt" % (d, i), "w") as out:
        out.write(("line %d\n" % i * 200)[:1024])
PY

# The kivo states: an empty repository with a workspace that tracks the new tree; the pushed
# repository and workspace; a new workspace ready for checkout.
cp empty.db repo.db
kivo create workspace ws K >/dev/null
cp -r tree/bench ws/bench
(cd ws && kivo track bench >/dev/null)
cp -a ws ws.new && cp repo.db repo.new.db
(cd ws && kivo push >/dev/null)
cp -a ws ws.pushed && cp repo.db repo.pushed.db
kivo create workspace co K >/dev/null
cp -a co co.new
# The git states: the tree without a commit, and the tree committed; a tar of the tree.
# No automatic gc: after a commit of 10,000 objects git would pack them in the background,
# racing the copies below and taking the processor from the timed runs that follow.
mkdir g && cp -r tree/bench g/bench && git -C g init -q && git -C g config gc.auto 0
cp -a g g.new
git -C g add -A && git -C g -c user.name=b -c user.email=b@b commit -qm tree
cp -a g g.committed
tar -cf tree.tar -C tree bench
# What a checkout must leave on disk: each file and its metadata file, made durable by one sync.
tar -cf layout.tar -C ws.pushed bench ._SYS_KIVO_settings/SYS

mkdir used
reset() { mv "$1" "used/$1.$(date +%s%N)" && cp -a "$2" "$1" && sync; }
export -f reset
put() { rm -f repo.db-wal repo.db-shm && cp "$2" repo.db && reset ws "$1"; }
export -f put

run="--warmup 1 --runs 5"
hyperfine $run -N --export-markdown push_new.md \
  --prepare "bash -c 'cd $work && put ws.new repo.new.db'" \
  "bash -c 'cd $work/ws && kivo push >/dev/null'" \
  --prepare "bash -c 'cd $work && reset g g.new'" \
  "bash -c 'cd $work/g && git add -A && git -c user.name=b -c user.email=b@b commit -qm new'"
hyperfine $run -N --export-markdown checkout.md \
  --prepare "bash -c 'cd $work && reset co co.new && rm -f repo.db-wal repo.db-shm && cp repo.pushed.db repo.db'" \
  "bash -c 'cd $work/co && kivo checkout bench/ >/dev/null'" \
  --prepare "bash -c 'cd $work && mkdir -p x && mv x used/x.\$(date +%s%N) && mkdir x && sync'" \
  "bash -c 'cd $work/x && tar -xf ../tree.tar'" \
  --prepare "bash -c 'cd $work && mkdir -p x && mv x used/x.\$(date +%s%N) && mkdir x && sync'" \
  "bash -c 'cd $work/x && tar -xf ../layout.tar && sync -f .'"
hyperfine $run -N --export-markdown push_one.md \
  --prepare "bash -c 'cd $work && put ws.pushed repo.pushed.db && echo more >> ws/bench/d005/f00005.txt'" \
  "bash -c 'cd $work/ws && kivo push >/dev/null'" \
  --prepare "bash -c 'cd $work && reset g g.committed && echo more >> g/bench/d005/f00005.txt'" \
  "bash -c 'cd $work/g && git -c user.name=b -c user.email=b@b commit -qam one'"

if command -v strace >/dev/null; then
  count() { awk '$NF=="fsync"||$NF=="syncfs"||$NF=="fdatasync"{printf "%s %s  ", $NF, $4}' "$1"; }
  put ws.new repo.new.db
  (cd ws && strace -c -f -o ../push.strace kivo push >/dev/null)
  reset co co.new
  (cd co && strace -c -f -o ../checkout.strace kivo checkout bench/ >/dev/null)
  echo "kivo push of $files new files:  $(count push.strace)"
  echo "kivo checkout of $files files:   $(count checkout.strace)"
fi

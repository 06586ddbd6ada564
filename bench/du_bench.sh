#!/usr/bin/env bash
# Times the export and the import of a delivery unit of FILES objects of 1 KiB (whole process),
# each beside tar of the very same files in one hyperfine run: `kivo export` against
# `tar -czf`, `kivo import` against `tar -xzf`. Every command starts from the same state: its
# --prepare removes what the last run wrote (the archive), moves the extracted folder aside or puts
# back the empty target repository file, each with one cheap file operation and a sync. The
# extracted folder is moved, not deleted: ext4 without a journal skips inodes deleted in the last
# minutes on every file it creates, and tar would pay seconds for its own reset.
# Usage: bench/du_bench.sh [BUILD_DIR] [FILES]
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
build=$(cd "${1:-$here/../build}" && pwd)
files=${2:-10000}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
kivo="$build/kivo"
repo="$build/kivo-repo"
export ZEVUSERSTORE_HOME="$work/keys"

cd "$work"
"$repo" init source.db >/dev/null
"$repo" user source.db bench pw >/dev/null
"$repo" init empty.db >/dev/null
"$repo" user empty.db bench pw >/dev/null
"$build/zevuserstore" SET SRC "file:$work/source.db" bench pw
"$build/zevuserstore" SET DST "file:$work/target.db" bench pw
"$kivo" create workspace ws SRC >/dev/null

# FILES text files of 1 KiB each, random letters so that both sides compress alike.
python3 - "$work/ws/bench" "$files" <<'PY'
import os, random, string, sys
root, count = sys.argv[1], int(sys.argv[2])
os.makedirs(root)
rng = random.Random(7)
letters = string.ascii_letters + string.digits + " \n"
for i in range(count):
    with open(os.path.join(root, "f%05d.txt" % i), "w") as f:
        f.write("".join(rng.choice(letters) for _ in range(1024)))
PY
(cd ws && "$kivo" create deliveryUnit BENCH >/dev/null && "$kivo" track bench >/dev/null &&
  "$kivo" push >/dev/null && "$kivo" assign bench BENCH >/dev/null)
"$kivo" export BENCH du.tgz --key=SRC >/dev/null
tar -czf files.tgz -C ws bench
mkdir -p extracted used
sync

runs="--warmup 2 --runs 10"
hyperfine $runs -N \
  --prepare "rm -f $work/out.tgz" "$kivo export BENCH $work/out.tgz --key=SRC" \
  --prepare "rm -f $work/out.tgz" "tar -czf $work/out.tgz -C $work/ws bench"
hyperfine $runs \
  --prepare "cp $work/empty.db $work/target.db && sync" "$kivo import $work/du.tgz --key=DST" \
  --prepare "mv $work/extracted $work/used/\$(date +%s%N) && mkdir $work/extracted && sync" \
  "tar -xzf $work/files.tgz -C $work/extracted"
ls -l du.tgz files.tgz

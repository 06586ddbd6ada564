#!/usr/bin/env bash
# Times kivo-merge beside GNU diff3 -m on the same three files: a base of LINES lines (100,000 by
# default), a remote side with every 100th line of the first half changed and a local side with
# every 100th line of the second half changed, so both merge cleanly. Both compute two line
# differences and a merge; one hyperfine run holds the pair.
# Then two texts that differ everywhere: LINES random numbers below 1,000 each, where the
# shortest difference is slow to find (quadratic) and both tools settle for a longer one after a
# bounded search. kivo-merge with an unchanged local side (it writes the remote text) beside
# diff3 -m, and kivo diff of a workspace file changed so beside GNU diff -u, each pair in one
# hyperfine run.
# Usage: bench/merge_bench.sh [BUILD_DIR] [LINES]
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
build=$(cd "${1:-$here/../build}" && pwd)
lines=${2:-100000}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

python3 - "$work" "$lines" <<'PY'
import random, sys
work, n = sys.argv[1], int(sys.argv[2])
base = ["line %d of the base text\n" % i for i in range(n)]
remote = [l if i % 100 or i >= n // 2 else "remote %d\n" % i for i, l in enumerate(base)]
local = [l if i % 100 or i < n // 2 else "local %d\n" % i for i, l in enumerate(base)]
numbers = random.Random(1)
old = ["%d\n" % numbers.randrange(1000) for _ in range(n)]
new = ["%d\n" % numbers.randrange(1000) for _ in range(n)]
for name, text in (("base", base), ("remote", remote), ("local", local), ("local.orig", local),
                   ("random.old", old), ("random.new", new), ("random.local", old)):
    open("%s/%s" % (work, name), "w").writelines(text)
PY
cd "$work"
# kivo-merge writes the merge into local; merging again gives the same text, so the runs agree.
hyperfine --warmup 2 --runs 10 -N "$build/kivo-merge base remote local" \
  "diff3 -m local.orig base remote"
cmp -s local <(diff3 -m local.orig base remote) && echo "kivo-merge and diff3 -m agree"

# Each run starts from the unchanged local side (the copy is not timed), so both tools compute one
# trivial and one hard difference.
hyperfine --warmup 1 --runs 3 --prepare "cp random.old random.local" -N \
  "$build/kivo-merge random.old random.new random.local" "diff3 -m random.old random.old random.new"
cmp -s random.local random.new && echo "kivo-merge wrote the remote text"

# A workspace whose one file was pushed with the old random text and now holds the new one.
export PATH="$build:$PATH" ZEVUSERSTORE_HOME="$work/keys"
kivo-repo init repo.db >/dev/null
kivo-repo user repo.db dev pw >/dev/null
zevuserstore SET K "file:$work/repo.db" dev pw >/dev/null
kivo create workspace ws K >/dev/null
mkdir -p ws/bench && cp random.old ws/bench/random.txt
(cd ws && kivo track bench >/dev/null && kivo push >/dev/null)
cp random.new ws/bench/random.txt
cd ws
# diff exits with status 1 when the files differ.
hyperfine --warmup 1 --runs 3 -i -N "kivo diff" "diff -u ../random.old bench/random.txt"
echo "changed lines: kivo diff $(kivo diff | grep -c '^[-+][^-+]' || true)," \
  "diff -u $(diff -u ../random.old bench/random.txt | grep -c '^[-+][^-+]' || true)"

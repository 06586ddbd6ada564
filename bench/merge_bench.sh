#!/usr/bin/env bash
# Times kivo-merge beside GNU diff3 -m on the same three files: a base of LINES lines (100,000 by
# default), a remote side with every 100th line of the first half changed and a local side with
# every 100th line of the second half changed, so both merge cleanly. Both compute two line
# differences and a merge; one hyperfine run holds the pair.
# Usage: bench/merge_bench.sh [BUILD_DIR] [LINES]
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
build=$(cd "${1:-$here/../build}" && pwd)
lines=${2:-100000}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

python3 - "$work" "$lines" <<'PY'
import sys
work, n = sys.argv[1], int(sys.argv[2])
base = ["line %d of the base text\n" % i for i in range(n)]
remote = [l if i % 100 or i >= n // 2 else "remote %d\n" % i for i, l in enumerate(base)]
local = [l if i % 100 or i < n // 2 else "local %d\n" % i for i, l in enumerate(base)]
for name, text in (("base", base), ("remote", remote), ("local", local), ("local.orig", local)):
    open("%s/%s" % (work, name), "w").writelines(text)
PY
cd "$work"
# kivo-merge writes the merge into local; merging again gives the same text, so the runs agree.
hyperfine --warmup 2 --runs 10 -N "$build/kivo-merge base remote local" \
  "diff3 -m local.orig base remote"
cmp -s local <(diff3 -m local.orig base remote) && echo "kivo-merge and diff3 -m agree"

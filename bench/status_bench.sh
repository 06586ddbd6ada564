#!/usr/bin/env bash
# Times `kivo status` in its three comparison modes on a generated workspace of 100,000 files
# of about 1 KiB in 1,000 directories, beside `git status --porcelain` (up-to-date index) and
# hashing every file with sha1sum, each pair in one hyperfine run; then peak memory. The status
# file holds the stat data that a writing run records, so the default mode reads no file; the
# tree of `make_status_tree.py ROOT FILES DIRS plain` has none, and every file is hashed.
# Usage: bench/status_bench.sh [BUILD_DIR] [FILES] [DIRS]
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
build=$(cd "${1:-$here/../build}" && pwd)
files=${2:-100000}
dirs=${3:-1000}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

python3 "$here/make_status_tree.py" "$work" "$files" "$dirs"
cd "$work/ws"
git init -q . && git add bench && git -c user.name=b -c user.email=b@b commit -qm tree
git status --porcelain >/dev/null
sync # the generated files are written back now, not during the timed runs

kivo="$build/kivo"
# A new tree is slower to look up, for both tools alike (about 0.12 s instead of 0.07 s here),
# until some seconds after it was written; hyperfine times all runs of one command before the
# other's, so an unsettled tree favours the command timed second. Passes for 15 s settle it, as
# a user's tree is.
end=$((SECONDS + 15))
while ((SECONDS < end)); do
  "$kivo" status --veryFast >/dev/null
  git status --porcelain >/dev/null
done
runs="--warmup 3 --runs 15"
hyperfine $runs -N "$kivo status --veryFast" "git status --porcelain"
hyperfine $runs -N "$kivo status --fast" "git status --porcelain"
hyperfine $runs "$kivo status" "find bench -type f -print0 | xargs -0 sha1sum"
for mode in "" --fast --veryFast; do
  /usr/bin/time -f "peak memory of kivo status $mode: %M KiB" "$kivo" status $mode >/dev/null
done

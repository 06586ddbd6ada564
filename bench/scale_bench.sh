#!/usr/bin/env bash
# Push and checkout at two sizes (default 10,000 and 100,000 new 1 KiB files in 100 and 1,000
# directories): wall time and peak memory of each, and the ratio of the larger to the smaller
# (the goal: at most 12 times for ten times the files, under 500 MB at the larger size).
# Usage: bench/scale_bench.sh [BUILD_DIR] [SMALL] [LARGE]
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
build=$(cd "${1:-$here/../build}" && pwd)
small=${2:-10000}
large=${3:-100000}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
export PATH="$build:$PATH" ZEVUSERSTORE_HOME="$work/keys"

# Runs one size in its own repository; prints "<push s> <push KiB> <checkout s> <checkout KiB>".
measure() {
  local files=$1 dir="$work/$1"
  mkdir "$dir" && cd "$dir"
  kivo-repo init repo.db >/dev/null
  kivo-repo user repo.db dev pw >/dev/null
  zevuserstore SET "K$files" "file:$dir/repo.db" dev pw >/dev/null
  kivo create workspace ws "K$files" >/dev/null
  python3 - "$files" <<'PY'
import os, sys
files = int(sys.argv[1])
for i in range(files):
    d = "ws/bench/d%04d" % (i % max(1, files // 100))
    os.makedirs(d, exist_ok=True)
    with open("%s/f%06d.txt" % (d, i), "w") as out:
        out.write(("line %d\n" % i * 200)[:1024])
PY
  (cd ws && kivo track bench >/dev/null)
  kivo create workspace co "K$files" >/dev/null
  sync
  local push checkout
  push=$(cd ws && /usr/bin/time -f "%e %M" kivo push 2>&1 >/dev/null | tail -1)
  sync
  checkout=$(cd co && /usr/bin/time -f "%e %M" kivo checkout bench/ 2>&1 >/dev/null | tail -1)
  echo "$push $checkout"
}

read -r ps pm cs cm < <(measure "$small")
read -r pl pml cl cml < <(measure "$large")
awk -v n="$small" -v N="$large" -v ps="$ps" -v pm="$pm" -v cs="$cs" -v cm="$cm" \
  -v pl="$pl" -v pml="$pml" -v cl="$cl" -v cml="$cml" 'BEGIN {
  printf "| work | %d files | %d files | ratio |\n|---|---|---|---|\n", n, N
  printf "| push time | %.2f s | %.2f s | %.1fx |\n", ps, pl, pl / ps
  printf "| push peak memory | %d MiB | %d MiB | |\n", pm / 1024, pml / 1024
  printf "| checkout time | %.2f s | %.2f s | %.1fx |\n", cs, cl, cl / cs
  printf "| checkout peak memory | %d MiB | %d MiB | |\n", cm / 1024, cml / 1024
}'

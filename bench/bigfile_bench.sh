#!/usr/bin/env bash
# Peak memory of the push of one large new file and of the push of a change to it, beside the
# file's size (the goal: under three times the size), then of its checkout.
# Usage: bench/bigfile_bench.sh [BUILD_DIR] [MEBIBYTES]
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
build=$(cd "${1:-$here/../build}" && pwd)
mib=${2:-200}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
export PATH="$build:$PATH" ZEVUSERSTORE_HOME="$work/keys"
cd "$work"
kivo-repo init repo.db >/dev/null
kivo-repo user repo.db dev pw >/dev/null
zevuserstore SET K "file:$work/repo.db" dev pw >/dev/null
kivo create workspace ws K >/dev/null
mkdir ws/bench
head -c $((mib * 768 * 1024)) /dev/urandom | base64 -w 100 >ws/bench/big.txt
truncate -s $((mib * 1024 * 1024)) ws/bench/big.txt
(cd ws && kivo track bench >/dev/null)
size_kib=$((mib * 1024))
peak() { # label, directory, command...
  local label=$1 dir=$2
  shift 2
  local kib
  kib=$(cd "$dir" && /usr/bin/time -f %M "$@" 2>&1 >/dev/null | tail -1)
  awk -v l="$label" -v k="$kib" -v s="$size_kib" \
    'BEGIN { printf "%-28s peak %8d KiB = %.2f x the file\n", l, k, k / s }'
}
peak "push of the new file" ws kivo push
echo more >>ws/bench/big.txt
peak "push of a change to it" ws kivo push
kivo create workspace co K >/dev/null
peak "checkout of it" co kivo checkout bench/

#!/usr/bin/env bash
# Installs the Debian packages that building, testing and benchmarking need, then builds a preset
# (the first argument, `release` into build/ when none is given); further arguments go to the
# configure step. Each preset has a build directory of its own, so the static archives that one
# configuration chose are never linked into another's binaries. Safe to run again: installed
# packages and a built tree are reused.
set -euo pipefail
cd "$(dirname "$0")/.."
preset=${1:-release}
[ $# -gt 0 ] && shift
missing=$(for p in $(cat .ci/packages); do dpkg -s "$p" >/dev/null 2>&1 || echo "$p"; done)
if [ -n "$missing" ]; then
  apt-get update -qq
  DEBIAN_FRONTEND=noninteractive apt-get install -y -qq $missing >/dev/null
fi
# Compiler results are cached by content: a clone in another folder reuses them.
export CCACHE_BASEDIR="$PWD" CCACHE_NOHASHDIR=true
cmake --preset "$preset" "$@" >/dev/null
cmake --build --preset "$preset"

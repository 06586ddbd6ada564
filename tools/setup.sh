#!/usr/bin/env bash
# Installs the Debian packages that building, testing and benchmarking need, then builds the
# release preset into build/; arguments go to the configure step (tools/check.sh passes
# -DKIVO_WERROR=ON). Safe to run again: installed packages and a built tree are reused.
set -euo pipefail
cd "$(dirname "$0")/.."
missing=$(for p in $(cat .ci/packages); do dpkg -s "$p" >/dev/null 2>&1 || echo "$p"; done)
if [ -n "$missing" ]; then
  apt-get update -qq
  DEBIAN_FRONTEND=noninteractive apt-get install -y -qq $missing >/dev/null
fi
# Compiler results are cached by content: a clone in another folder reuses them.
export CCACHE_BASEDIR="$PWD" CCACHE_NOHASHDIR=true
cmake --preset release "$@" >/dev/null
cmake --build --preset release

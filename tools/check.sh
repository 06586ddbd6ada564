#!/usr/bin/env bash
# Every test: the release build, then the same tests under AddressSanitizer and UBSan.
set -euo pipefail
cd "$(dirname "$0")/.."
tools/setup.sh -DKIVO_WERROR=ON -DKIVO_TEAM_REPOSITORY=ON
export CCACHE_BASEDIR="$PWD" CCACHE_NOHASHDIR=true
ctest --preset release
cmake --preset debug >/dev/null
cmake --build --preset debug
ctest --preset debug

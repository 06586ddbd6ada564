#!/usr/bin/env bash
# Every test: the release build with the team repository (PostgreSQL backend, extension and
# their tests on a throwaway cluster), then the default build's tests under AddressSanitizer and
# UBSan.
set -euo pipefail
cd "$(dirname "$0")/.."
tools/setup.sh -DKIVO_WERROR=ON -DKIVO_TEAM_REPOSITORY=ON
export CCACHE_BASEDIR="$PWD" CCACHE_NOHASHDIR=true
ctest --preset release
cmake --preset debug >/dev/null
cmake --build --preset debug
ctest --preset debug

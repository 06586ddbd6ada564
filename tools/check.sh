#!/usr/bin/env bash
# Every test: the release build with the team repository (PostgreSQL backend, extension and
# their tests on a throwaway cluster) in build-team/, then the default build's tests under
# AddressSanitizer and UBSan in build-debug/. The plain release build in build/ is left alone.
set -euo pipefail
cd "$(dirname "$0")/.."
tools/setup.sh team
export CCACHE_BASEDIR="$PWD" CCACHE_NOHASHDIR=true
ctest --preset team
cmake --preset debug >/dev/null
cmake --build --preset debug
ctest --preset debug

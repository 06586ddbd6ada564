#!/bin/sh
# Whole-process start-up of `kivo help` (the overview as text) beside `git --version`, in one
# hyperfine run so that both see the same machine load. kivo help should stay within 1.5 times
# the time of git --version.
#   bench/help_startup.sh [BUILD_DIR]
set -eu
aBuild=${1:-build}
exec hyperfine -N --warmup 20 --min-runs 300 \
    "$aBuild/kivo help" "git --version"

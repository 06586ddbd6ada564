#!/usr/bin/env bash
# A short scripted session with the built binaries: what a developer sees on a first run.
# Usage: tools/demo.sh BUILD_DIR
set -euo pipefail
build=$(cd "${1:-build}" && pwd)
kivo="$build/kivo"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cd "$work"

step() { printf '\n$ %s\n' "$*"; "$@" || true; }

step "$kivo" version
step "$kivo" version --client
step env KIVO_ARGS=2 "$kivo" checkout package p1 --verbose
step "$kivo" help

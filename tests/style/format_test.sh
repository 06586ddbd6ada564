#!/bin/sh
# Fails when a tracked C++ source differs from what .clang-format makes of it, and names the
# files; `clang-format -i FILE` fixes them.
cd "$1" || exit 1
files=$(git ls-files '*.cpp' '*.hpp' '*.inc' 2>/dev/null)
[ -n "$files" ] || files=$(find core front workspace repository actions dbclient server sqlitefile pqclient repoadmin pgextension webview tools tests bench -name '*.cpp' -o -name '*.hpp' -o -name '*.inc')
clang-format --dry-run --Werror $files

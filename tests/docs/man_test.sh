#!/bin/sh
# The generated manual page renders without warnings and holds the actions and topics.
set -eu
aPage="$1/kivo.1"
aWarnings=$(MANWIDTH=80 man --warnings -l "$aPage" 2>&1 >/dev/null)
if [ -n "$aWarnings" ]; then
    echo "man reports warnings:"; echo "$aWarnings"; exit 1
fi
aText=$(MANWIDTH=80 man -l "$aPage" 2>/dev/null)
for aWord in "create workSpace|ws WORKSPACEPATH [KEY]" "diff [objects] OBJECT_OR_PACKAGE" "lockFile" \
    "KIVO_VERBOSE"; do
    case "$aText" in
    *"$aWord"*) ;;
    *) echo "missing in the manual page: $aWord"; exit 1 ;;
    esac
done

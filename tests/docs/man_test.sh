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
    "log OBJECT" "annotate OBJECT" \
    "KIVO_VERBOSE" "HOST1:PORT1,HOST2:PORT2@DATABASE" "sslTrustStore"; do
    case "$aText" in
    *"$aWord"*) ;;
    *) echo "missing in the manual page: $aWord"; exit 1 ;;
    esac
done

# Every action the completion offers (both come from the syntax table) has its own section, and
# so has every entry of an action with several, as `kivo help ACTION` lists them.
aActions=$(sed -n 's/^_kivo_actions="\(.*\)"$/\1/p' "$1/kivo-completion.bash")
[ -n "$aActions" ] || { echo "no actions in the completion script"; exit 1; }
aHeadings=$(printf '%s\n' "$aText" | sed -n 's/^   \([a-zA-Z]\)/\1/p' | tr 'A-Z' 'a-z')
for anAction in $aActions; do
    printf '%s\n' "$aHeadings" | grep -q "^$anAction\( \|$\)" ||
        { echo "no section for the action: $anAction"; exit 1; }
    "$1/kivo" help "$anAction" | sed -n '1{/^The following help texts are available:$/!q;};s/^kivo help //p' |
        while read -r anEntry; do
            printf '%s\n' "$aText" | grep -q "^   $anEntry\$" || { echo "no section for: $anEntry"; exit 1; }
        done || exit 1
done

#!/bin/bash
# The generated completion offers actions, WHAT words and option names (aliases included).
set -u
source "$1/kivo-completion.bash"
aFailures=0

# expect "LINE" "EXPECTED CANDIDATES": completes the last word of LINE (a trailing blank means an
# empty word) and compares COMPREPLY.
expect() {
    local -a aWords
    read -ra aWords <<<"$1"
    [[ $1 == *" " ]] && aWords+=("")
    COMP_WORDS=("${aWords[@]}")
    COMP_CWORD=$((${#aWords[@]} - 1))
    COMPREPLY=()
    _kivo kivo "${COMP_WORDS[COMP_CWORD]}" "${COMP_WORDS[COMP_CWORD - 1]}"
    if [[ "${COMPREPLY[*]}" != "$2" ]]; then
        echo "'$1': got '${COMPREPLY[*]}', expected '$2'"
        aFailures=1
    fi
}

expect "kivo ch" "checkout"
expect "kivo di" "diff discard"
expect "kivo diff " "inactiveObjects ios trackedPackages object package packages objects"
expect "kivo status --ve" "--vendor --verbose --version --versionPatch --version_patch --versionSP --version_sp --veryFast"
expect "kivo --verbose CHECKOUT i" "inactiveObjects ios"
expect "kivo create w" "workSpace ws"
expect "kivo help lockf" "lockFile"
expect "kivo help serv" "servers"
expect "kivo create ws --sslT" "--sslTrustStore"
expect "kivo help create c" "change ch contributor cont"
expect "kivo commit -" "$(echo "$_kivo_options")"
expect "kivo zz" ""
expect "kivo help list in" "inactiveObjects inactiveWorkSpaces"
exit $aFailures

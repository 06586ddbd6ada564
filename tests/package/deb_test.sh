#!/usr/bin/env bash
# The install components and the Debian packages of a build: `cmake --install --component
# client` touches nothing of the server, `--component extension` puts the module and every
# script of the build where pg_config says, and `cpack -G DEB` makes the client package and
# the extension package, each with exactly its own files and the dependencies it needs.
#
#   deb_test.sh BUILDDIR
set -euo pipefail

aBuild=$(cd "${1:?build directory}" && pwd)
aTemp=$(mktemp -d)
trap 'rm -rf "$aTemp"' EXIT
aFailures=0

fail() {
    echo "FAIL: $*" >&2
    aFailures=$((aFailures + 1))
}

# The regular files and links under directory $1, as sorted paths relative to it.
filesUnder() {
    (cd "$1" && find . ! -type d | sed 's|^\./|/|' | sort)
}

# The regular files and links of package $1, as sorted absolute paths.
filesOf() {
    dpkg-deb -c "$1" | awk '$1 !~ /^d/ { print $6 }' | sed 's|^\./|/|' | sort
}

# Compares the file list $2 with the expected list $3 for what $1 names.
expectFiles() {
    if [[ $2 != "$3" ]]; then
        fail "$1 holds other files than expected:"
        diff <(echo "$3") <(echo "$2") >&2 || true
    fi
}

aClient=$(printf '%s\n' /usr/bin/kivo /usr/bin/kivo-merge /usr/bin/kivo-repo /usr/bin/zevuserstore \
    /usr/share/bash-completion/completions/kivo /usr/share/man/man1/kivo.1 | sort)

aExtension=
if [[ -f $aBuild/pgextension/kivo.so ]]; then
    aModules=$(pg_config --pkglibdir)
    aScripts=$(pg_config --sharedir)/extension
    # Every script the build holds (full and update scripts) belongs to the package.
    aExtension=$( (
        echo "$aModules/kivo.so"
        echo "$aScripts/kivo.control"
        for aScript in "$aBuild"/pgextension/kivo--*.sql; do
            echo "$aScripts/${aScript##*/}"
        done
    ) | sort)
    [[ $aExtension == *kivo--*.sql* ]] || fail "the build holds no extension script"
fi

# A client-only install and an extension-only install, into a staging directory each.
DESTDIR="$aTemp/client" cmake --install "$aBuild" --prefix /usr --component client >/dev/null
expectFiles "the client install" "$(filesUnder "$aTemp/client")" "$aClient"
if [[ -n $aExtension ]]; then
    DESTDIR="$aTemp/extension" cmake --install "$aBuild" --prefix /opt/elsewhere \
        --component extension >/dev/null
    expectFiles "the extension install (any prefix)" "$(filesUnder "$aTemp/extension")" \
        "$aExtension"
fi

# Uncompressed: the test looks at the lists of files, not at the size of the archives.
if ! cpack -G DEB --config "$aBuild/CPackConfig.cmake" -B "$aTemp/packages" \
    -D CPACK_DEBIAN_COMPRESSION_TYPE=none \
    >"$aTemp/cpack.log" 2>&1; then
    cat "$aTemp/cpack.log" >&2
    fail "cpack -G DEB failed"
    exit 1
fi

aClientPackage=$(echo "$aTemp"/packages/kivo_*.deb)
[[ -f $aClientPackage ]] || fail "no client package kivo_*.deb"
expectFiles "the client package" "$(filesOf "$aClientPackage")" "$aClient"
[[ $(dpkg-deb -f "$aClientPackage" Depends) == *libc6* ]] ||
    fail "the client package names no shared libraries: $(dpkg-deb -f "$aClientPackage" Depends)"

if [[ -n $aExtension ]]; then
    [[ $(dpkg-deb -f "$aClientPackage" Depends) == *libpq5* ]] ||
        fail "the client package of a team build does not depend on libpq5"
    aMajor=$(pg_config --version | grep -o '[0-9]\+' | head -1)
    aExtensionPackage=$(echo "$aTemp"/packages/postgresql-"$aMajor"-kivo_*.deb)
    [[ -f $aExtensionPackage ]] || fail "no extension package postgresql-$aMajor-kivo_*.deb"
    expectFiles "the extension package" "$(filesOf "$aExtensionPackage")" "$aExtension"
    aDepends=$(dpkg-deb -f "$aExtensionPackage" Depends)
    [[ $aDepends == *"postgresql-$aMajor"* && $aDepends == *libarchive* ]] ||
        fail "the extension package does not depend on its server and libraries: $aDepends"
fi

aCount=$(find "$aTemp/packages" -maxdepth 1 -name '*.deb' | wc -l)
[[ $aCount -eq $((1 + (${#aExtension} > 0))) ]] || fail "$aCount packages instead of the expected ones"

[[ $aFailures -eq 0 ]] || exit 1
echo "packages and install components hold the right files"

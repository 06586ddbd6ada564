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

# expectFiles WHAT EXPECTED (DIRECTORY | PACKAGE.deb): the regular files and links of the
# install directory or package, as sorted absolute paths, are the expected ones.
expectFiles() {
    local aFiles
    if [[ -d $3 ]]; then
        aFiles=$(cd "$3" && find . ! -type d | sed 's|^\./|/|' | sort)
    else
        aFiles=$(dpkg-deb -c "$3" | awk '$1 !~ /^d/ { print $6 }' | sed 's|^\./|/|' | sort)
    fi
    if [[ $aFiles != "$2" ]]; then
        fail "$1 holds other files than expected:"
        diff <(echo "$2") <(echo "$aFiles") >&2 || true
    fi
}

# expectDepends PACKAGE.deb PATTERN...: its Depends field holds each pattern.
expectDepends() {
    local aDepends aPattern
    aDepends=$(dpkg-deb -f "$1" Depends)
    for aPattern in "${@:2}"; do
        [[ $aDepends == *$aPattern* ]] || fail "${1##*/} does not depend on $aPattern: $aDepends"
    done
}

aClient=$(printf '%s\n' /usr/bin/kivo /usr/bin/kivo-merge /usr/bin/kivo-repo /usr/bin/zevuserstore \
    /usr/share/bash-completion/completions/kivo /usr/share/man/man1/kivo.1 | sort)
DESTDIR="$aTemp/client" cmake --install "$aBuild" --prefix /usr --component client >/dev/null
expectFiles "the client install" "$aClient" "$aTemp/client"

aExtension=
if [[ -f $aBuild/pgextension/kivo.so ]]; then
    # Every script the build holds (full and update scripts) belongs to the package.
    aScripts=$(pg_config --sharedir)/extension
    aExtension=$( (
        echo "$(pg_config --pkglibdir)/kivo.so" "$aScripts/kivo.control" | tr ' ' '\n'
        for aScript in "$aBuild"/pgextension/kivo--*.sql; do echo "$aScripts/${aScript##*/}"; done
    ) | sort)
    [[ $aExtension == *kivo--*.sql* ]] || fail "the build holds no extension script"
    DESTDIR="$aTemp/extension" cmake --install "$aBuild" --prefix /opt/elsewhere \
        --component extension >/dev/null
    expectFiles "the extension install (any prefix)" "$aExtension" "$aTemp/extension"
fi

# Uncompressed: the test looks at the lists of files, not at the size of the archives.
cpack -G DEB --config "$aBuild/CPackConfig.cmake" -B "$aTemp/packages" \
    -D CPACK_DEBIAN_COMPRESSION_TYPE=none >"$aTemp/cpack.log" 2>&1 ||
    { cat "$aTemp/cpack.log" >&2; echo "FAIL: cpack -G DEB failed" >&2; exit 1; }

aClientPackage=$(echo "$aTemp"/packages/kivo_*.deb)
[[ -f $aClientPackage ]] || fail "no client package kivo_*.deb"
expectFiles "the client package" "$aClient" "$aClientPackage"
expectDepends "$aClientPackage" libc6
aCount=1
if [[ -n $aExtension ]]; then
    expectDepends "$aClientPackage" libpq5
    aMajor=$(pg_config --version | grep -o '[0-9]\+' | head -1)
    aExtensionPackage=$(echo "$aTemp"/packages/postgresql-"$aMajor"-kivo_*.deb)
    [[ -f $aExtensionPackage ]] || fail "no extension package postgresql-$aMajor-kivo_*.deb"
    expectFiles "the extension package" "$aExtension" "$aExtensionPackage"
    expectDepends "$aExtensionPackage" "postgresql-$aMajor" libarchive
    aCount=2
fi
aFound=$(find "$aTemp/packages" -maxdepth 1 -name '*.deb' | wc -l)
[[ $aFound -eq $aCount ]] || fail "$aFound packages instead of $aCount"

[[ $aFailures -eq 0 ]] || exit 1
echo "packages and install components hold the right files"

#!/usr/bin/env bash
# A short scripted session on the embedded repository: a repository file with a user, a key in
# the key store, a workspace created against it, tracked packages, the local status, a commit of
# the two new files as inactive versions, their activation, and a push of one more change.
# Usage: tools/demo.sh BUILD_DIR
set -euo pipefail
build=$(cd "${1:-build}" && pwd)
export PATH="$build:$PATH"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
export ZEVUSERSTORE_HOME="$work/keys"
cd "$work"

step() { printf '\n$ %s\n' "$*"; "$@"; }

step kivo version
step kivo-repo init repo.db --database DEMO
step kivo-repo user repo.db developer s3cret
step zevuserstore SET DEMOKEY "file:$work/repo.db" developer s3cret
step zevuserstore LIST
step kivo create workspace orders DEMOKEY
cd orders
mkdir -p acme/orders acme/shared
printf 'order 1\n' > acme/orders/Order.txt
printf '{"currency": "EUR"}\n' > acme/shared/settings.json
step kivo track acme/orders/ acme.shared -v
step kivo track acme
step kivo status
step kivo status acme/orders/Order.txt --inactiveObjects
step kivo commit --verbose
step kivo status
step kivo-repo show ../repo.db
step kivo activate --verbose
printf 'order 2\n' >> acme/orders/Order.txt
step kivo push
step kivo status

#!/usr/bin/env bash
# The web view on a repository of 10,000 objects (100 packages of 100, a second version of 100
# of them in one change): each page fetched with curl in one hyperfine run beside the style
# sheet, which reads nothing from the repository. The goal: every page under 50 ms.
# Usage: bench/webview_bench.sh [BUILD_DIR]
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
build=$(cd "${1:-$here/../build-team}" && pwd)
work=$(mktemp -d)
server=
cleanup() {
  [[ -n $server ]] && kill "$server" 2>/dev/null && wait "$server" 2>/dev/null
  rm -rf "$work"
}
trap cleanup EXIT
export PATH="$build:$PATH" ZEVUSERSTORE_HOME="$work/keys"
cd "$work"
kivo-repo init repo.db >/dev/null
kivo-repo user repo.db dev pw >/dev/null
zevuserstore SET K "file:$work/repo.db" dev pw >/dev/null
kivo create workspace ws K >/dev/null
python3 - <<'PY'
import os
for i in range(10000):
    d = "ws/bench/d%04d" % (i % 100)
    os.makedirs(d, exist_ok=True)
    with open("%s/f%06d.txt" % (d, i), "w") as out:
        out.write("".join("line %d of %d\n" % (n, i) for n in range(40)))
PY
(cd ws && kivo track bench >/dev/null && kivo push >/dev/null)
kivo-repo set repo.db change_tracking on >/dev/null
python3 - <<'PY'
for i in range(0, 10000, 100):
    path = "ws/bench/d%04d/f%06d.txt" % (i % 100, i)
    text = open(path).read().replace("line 20 ", "changed line 20 ")
    open(path, "w").write(text)
PY
(cd ws && kivo push >/dev/null)

kivo-repo serve repo.db --listen 127.0.0.1:0 >serve.out &
server=$!
for _ in $(seq 50); do grep -q Serving serve.out && break; sleep 0.1; done
url=$(sed -n 's|.* at \(http://[^ ]*\)/$|\1|p' serve.out)
curl -s -o /dev/null -c jar -d 'user=dev&password=pw' "$url/signin"
change=$(curl -s -b jar "$url/changes" | sed -n 's|.*href="/change?id=\([^"]*\)".*|\1|p' | head -1)
get() { echo "curl -sf -o /dev/null -b $work/jar '$url$1'"; }
hyperfine -N --warmup 3 --min-runs 20 \
  -n style.css "$(get /style.css)" \
  -n packages "$(get /packages)" \
  -n packages-page-2 "$(get '/packages?page=2')" \
  -n package "$(get '/package?name=bench.d0042')" \
  -n object-history "$(get '/object?package=bench.d0000&name=f000000&suffix=txt')" \
  -n annotated "$(get '/annotate?package=bench.d0000&name=f000000&suffix=txt')" \
  -n activity "$(get /activity)" \
  -n activity-page-50 "$(get '/activity?page=50')" \
  -n changes "$(get /changes)" \
  -n change "$(get "/change?id=$change")" \
  -n deliveryunits "$(get /deliveryunits)"

#!/usr/bin/env bash
# Times a script package of 10,000 statements against isql-fb on a private Firebird server.
#   bench/script/run.sh [BUILD_DIR] [STATEMENTS] [ROUNDS]
set -euo pipefail
here=$(cd "$(dirname "$0")/../.." && pwd)
build_dir=${1:-$here/build}
statements=${2:-10000}
rounds=${3:-3}
# The window opens the clinic database with the updater's first password.
password=rkv5218

# scripts/bench builds every benchmark once, then says so.
[ -n "${HALVIO_BENCH_BUILT:-}" ] || "$here/scripts/build" "$build_dir" script_bench

root=$(mktemp -d /tmp/halvio-bench-script.XXXXXX)
stop() {
    "$here/scripts/firebird-server" stop "$root/server" || true
    rm -rf "$root"
}
trap stop EXIT
port=$(python3 -c 'import socket; s=socket.socket(); s.bind(("127.0.0.1",0)); print(s.getsockname()[1]); s.close()')
"$here/scripts/firebird-server" start "$root/server" "$port" "$password"
mkdir -p "$root/work"

env -u http_proxy -u HTTP_PROXY QT_QPA_PLATFORM=offscreen "$build_dir/bin/script_bench" "127.0.0.1/$port" "$password" "$root/work" "$statements" "$rounds"

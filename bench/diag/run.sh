#!/usr/bin/env bash
# Times the DIAG migration of 100,000 rows against isql-fb on a private Firebird server of its own.
#   bench/diag/run.sh [BUILD_DIR] [ROWS] [ROUNDS]
set -euo pipefail
here=$(cd "$(dirname "$0")/../.." && pwd)
build_dir=${1:-$here/build}
rows=${2:-100000}
rounds=${3:-3}
password=bench-diag

# scripts/bench builds every benchmark once, then says so.
[ -n "${HALVIO_BENCH_BUILT:-}" ] || "$here/scripts/build" "$build_dir" diag_bench

root=$(mktemp -d /tmp/halvio-bench-diag.XXXXXX)
stop() {
    "$here/scripts/firebird-server" stop "$root/server" || true
    rm -rf "$root"
}
trap stop EXIT
port=$(python3 -c 'import socket; s=socket.socket(); s.bind(("127.0.0.1",0)); print(s.getsockname()[1]); s.close()')
"$here/scripts/firebird-server" start "$root/server" "$port" "$password"
mkdir -p "$root/work"

"$build_dir/bin/diag_bench" "127.0.0.1/$port" "$password" "$root/work" "$rows" "$rounds"

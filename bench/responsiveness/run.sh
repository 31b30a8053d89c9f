#!/usr/bin/env bash
# A whole run of the real window (offscreen) against the reference update service and a private
# Firebird server, with a 10 ms timer whose lateness is recorded phase by phase. The service listens
# on the build's fixed loopback hosts: run it in a network namespace of its own (scripts/bench does).
#   bench/responsiveness/run.sh [BUILD_DIR] [DOWNLOAD_BYTES] [STATEMENTS] [DIAG_ROWS]
set -euo pipefail
here=$(cd "$(dirname "$0")/../.." && pwd)
build_dir=${1:-$here/build}
bytes=${2:-268435456}
statements=${3:-10000}
diag_rows=${4:-100000}
# The window opens the clinic database with the updater's first password.
password=rkv5218

# scripts/bench builds every benchmark once, then says so.
[ -n "${HALVIO_BENCH_BUILT:-}" ] || "$here/scripts/build" "$build_dir" resp_bench update-service

root=$(mktemp -d /tmp/halvio-bench-resp.XXXXXX)
service_pid=
stop() {
    if [ -n "$service_pid" ]; then kill "$service_pid" 2>/dev/null || true; wait "$service_pid" 2>/dev/null || true; fi
    "$here/scripts/firebird-server" stop "$root/firebird" || true
    rm -rf "$root"
}
trap stop EXIT
port=$(python3 -c 'import socket; s=socket.socket(); s.bind(("127.0.0.1",0)); print(s.getsockname()[1]); s.close()')
"$here/scripts/firebird-server" start "$root/firebird" "$port" "$password"
mkdir -p "$root/work"

"$build_dir/bin/resp_bench" prepare "$root/work" "$bytes" "$statements"
"$build_dir/bin/update-service" --catalog "$root/work/catalog" --reports "$root/work/reports" \
    --ready-file "$root/ready" >"$root/service.log" 2>&1 &
service_pid=$!
for _ in $(seq 100); do [ -f "$root/ready" ] && break; sleep 0.1; done
[ -f "$root/ready" ] || { cat "$root/service.log"; exit 1; }

env -u http_proxy -u HTTP_PROXY -u https_proxy -u HTTPS_PROXY -u ftp_proxy -u FTP_PROXY -u no_proxy \
    QT_QPA_PLATFORM=offscreen "$build_dir/bin/resp_bench" run "127.0.0.1/$port" "$password" "$root/work" "$diag_rows" ${RESP_BENCH_MODE:-}

#!/usr/bin/env bash
# Times the download and saving of a 256 MiB package by the real window (offscreen) against curl,
# both fetching it from the same loopback server at the public web host's address.
#   bench/download/run.sh [BUILD_DIR] [ROUNDS] [BYTES]
set -euo pipefail
here=$(cd "$(dirname "$0")/../.." && pwd)
build_dir=${1:-$here/build}
rounds=${2:-5}
bytes=${3:-268435456}
# The window opens the clinic database with the updater's first password.
password=rkv5218

# scripts/bench builds every benchmark once, then says so.
[ -n "${HALVIO_BENCH_BUILT:-}" ] || "$here/scripts/build" "$build_dir" download_bench package_file_server

root=$(mktemp -d /tmp/halvio-bench-download.XXXXXX)
server_pid=
stop() {
    if [ -n "$server_pid" ]; then kill "$server_pid" 2>/dev/null || true; wait "$server_pid" 2>/dev/null || true; fi
    "$here/scripts/firebird-server" stop "$root/firebird" || true
    rm -rf "$root"
}
trap stop EXIT
port=$(python3 -c 'import socket; s=socket.socket(); s.bind(("127.0.0.1",0)); print(s.getsockname()[1]); s.close()')
"$here/scripts/firebird-server" start "$root/firebird" "$port" "$password"
mkdir -p "$root/work"

"$build_dir/bin/download_bench" --make-package "$root/bench.zip" "$bytes"
"$build_dir/bin/package_file_server" "$root/bench.zip" 127.0.0.1 18081 &
server_pid=$!
# Neither client may go through a proxy of the environment.
env -u http_proxy -u HTTP_PROXY -u https_proxy -u HTTPS_PROXY -u ftp_proxy -u FTP_PROXY QT_QPA_PLATFORM=offscreen \
    "$build_dir/bin/download_bench" "127.0.0.1/$port" "$password" "$root/work" "$root/bench.zip" "$rounds"

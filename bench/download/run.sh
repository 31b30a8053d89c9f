#!/usr/bin/env bash
# Times the download and saving of a 256 MiB package by the real window (offscreen) against curl,
# both fetching it from the same loopback server at the public web host's address.
#   bench/download/run.sh [BUILD_DIR] [ROUNDS] [BYTES]
set -euo pipefail
. "$(dirname "$0")/../lib.sh"
build_dir=${1:-$here/build}
rounds=${2:-5}
bytes=${3:-268435456}
# The window opens the clinic database with the updater's first password.
password=rkv5218

bench_build "$build_dir" download_bench package_file_server
bench_start download
server_pid=
bench_stop_own() { bench_kill "$server_pid"; }
bench_firebird "$root/firebird" "$password"

"$build_dir/bin/download_bench" --make-package "$root/bench.zip" "$bytes"
"$build_dir/bin/package_file_server" "$root/bench.zip" 127.0.0.1 18081 &
server_pid=$!
# Neither client may go through a proxy of the environment.
without_proxy QT_QPA_PLATFORM=offscreen \
    "$build_dir/bin/download_bench" "127.0.0.1/$port" "$password" "$root/work" "$root/bench.zip" "$rounds"

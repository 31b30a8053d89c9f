#!/usr/bin/env bash
# A whole run of the real window (offscreen) against the reference update service and a private
# Firebird server, with a 10 ms timer whose lateness is recorded phase by phase. The service listens
# on the build's fixed loopback hosts: run it in a network namespace of its own (scripts/bench does).
#   bench/responsiveness/run.sh [BUILD_DIR] [DOWNLOAD_BYTES] [STATEMENTS] [DIAG_ROWS]
set -euo pipefail
. "$(dirname "$0")/../lib.sh"
build_dir=${1:-$here/build}
bytes=${2:-268435456}
statements=${3:-10000}
diag_rows=${4:-100000}
# The window opens the clinic database with the updater's first password.
password=rkv5218

bench_build "$build_dir" resp_bench update-service
bench_start resp
service_pid=
bench_stop_own() { bench_kill "$service_pid"; }
bench_firebird "$root/firebird" "$password"

"$build_dir/bin/resp_bench" prepare "$root/work" "$bytes" "$statements"
"$build_dir/bin/update-service" --catalog "$root/work/catalog" --reports "$root/work/reports" \
    --ready-file "$root/ready" >"$root/service.log" 2>&1 &
service_pid=$!
for _ in $(seq 100); do [ -f "$root/ready" ] && break; sleep 0.1; done
[ -f "$root/ready" ] || { cat "$root/service.log"; exit 1; }

without_proxy QT_QPA_PLATFORM=offscreen "$build_dir/bin/resp_bench" run "127.0.0.1/$port" "$password" "$root/work" "$diag_rows" ${RESP_BENCH_MODE:-}

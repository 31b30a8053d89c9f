#!/usr/bin/env bash
# Times a script package of 10,000 statements against isql-fb on a private Firebird server.
#   bench/script/run.sh [BUILD_DIR] [STATEMENTS] [ROUNDS]
set -euo pipefail
. "$(dirname "$0")/../lib.sh"
build_dir=${1:-$here/build}
statements=${2:-10000}
rounds=${3:-3}
# The window opens the clinic database with the updater's first password.
password=rkv5218

bench_build "$build_dir" script_bench
bench_start script
bench_firebird "$root/server" "$password"

without_proxy QT_QPA_PLATFORM=offscreen "$build_dir/bin/script_bench" "127.0.0.1/$port" "$password" "$root/work" "$statements" "$rounds"

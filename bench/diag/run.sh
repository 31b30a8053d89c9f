#!/usr/bin/env bash
# Times the DIAG migration of 100,000 rows against isql-fb on a private Firebird server of its own.
#   bench/diag/run.sh [BUILD_DIR] [ROWS] [ROUNDS]
set -euo pipefail
. "$(dirname "$0")/../lib.sh"
build_dir=${1:-$here/build}
rows=${2:-100000}
rounds=${3:-3}
password=bench-diag

bench_build "$build_dir" diag_bench
bench_start diag
bench_firebird "$root/server" "$password"

"$build_dir/bin/diag_bench" "127.0.0.1/$port" "$password" "$root/work" "$rows" "$rounds"

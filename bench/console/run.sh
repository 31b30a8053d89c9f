#!/usr/bin/env bash
# The console's index: REPORTS synthetic reports of CODES clinics written to a private folder, the
# index built from them, then the clinic list answered with the report files moved away.
#   bench/console/run.sh [BUILD_DIR] [REPORTS] [CODES]
set -euo pipefail
here=$(cd "$(dirname "$0")/../.." && pwd)
build_dir=${1:-$here/build}
reports=${2:-100000}
codes=${3:-2000}

# scripts/bench builds every benchmark once, then says so.
[ -n "${HALVIO_BENCH_BUILT:-}" ] || "$here/scripts/build" "$build_dir" console_index_bench

root=$(mktemp -d /tmp/halvio-bench-console.XXXXXX)
trap 'rm -rf "$root"' EXIT
"$build_dir/bin/console_index_bench" "$root" "$reports" "$codes"

# What every benchmark's run.sh does around its own work; sourced by them, never run. Sets `here`
# (the repository) and gives the steps below. A run.sh that starts processes of its own defines
# bench_stop_own, which the exit runs first.
here=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)

# bench_build BUILD_DIR TARGET...: builds the benchmark, unless scripts/bench has built every one.
bench_build() {
    [ -n "${HALVIO_BENCH_BUILT:-}" ] || "$here/scripts/build" "$@"
}

# bench_start NAME: the work folder `root` in /tmp, and the exit that stops what was started in it
# and removes it.
bench_start() {
    root=$(mktemp -d "/tmp/halvio-bench-$1.XXXXXX")
    trap bench_stop EXIT
}

bench_stop() {
    if declare -F bench_stop_own >/dev/null; then bench_stop_own; fi
    if [ -n "${bench_firebird_root:-}" ]; then "$here/scripts/firebird-server" stop "$bench_firebird_root" || true; fi
    rm -rf "$root"
}

# A loopback port free at the time of asking.
free_port() {
    python3 -c 'import socket; s=socket.socket(); s.bind(("127.0.0.1",0)); print(s.getsockname()[1]); s.close()'
}

# bench_firebird FOLDER PASSWORD: a private Firebird server rooted in FOLDER on a free port, which
# sets `port`, stopped at exit; and the empty folder $root/work.
bench_firebird() {
    bench_firebird_root=$1
    port=$(free_port)
    "$here/scripts/firebird-server" start "$1" "$port" "$2"
    mkdir -p "$root/work"
}

# bench_kill PID: ends a process the benchmark started in the background, if any.
bench_kill() {
    if [ -n "$1" ]; then kill "$1" 2>/dev/null || true; wait "$1" 2>/dev/null || true; fi
}

# without_proxy COMMAND...: runs the command with no proxy variable, so that it reaches loopback
# directly.
without_proxy() {
    env -u http_proxy -u HTTP_PROXY -u https_proxy -u HTTPS_PROXY -u ftp_proxy -u FTP_PROXY \
        -u all_proxy -u ALL_PROXY -u no_proxy -u NO_PROXY "$@"
}

#!/usr/bin/env bash
# The update service under load on loopback: CLIENTS clinics posting reports for SECONDS, then the same
# clinics fetching a package, from the service and from nginx serving the same catalog folder.
#   bench/service/run.sh [BUILD_DIR] [CLIENTS] [SECONDS] [PACKAGE_BYTES]
set -euo pipefail
. "$(dirname "$0")/../lib.sh"
build_dir=${1:-$here/build}
clients=${2:-50}
seconds=${3:-20}
package_bytes=${4:-16777216}

bench_build "$build_dir" service_load update-service
bench_start service
service_pid=
nginx_started=
bench_stop_own() {
    bench_kill "$service_pid"
    if [ -n "$nginx_started" ] && [ -f "$root/nginx/nginx.pid" ]; then
        kill -QUIT "$(cat "$root/nginx/nginx.pid")" 2>/dev/null || true
        for _ in $(seq 50); do [ -f "$root/nginx/nginx.pid" ] || break; sleep 0.1; done
    fi
}

catalog=$root/catalog
mkdir -p "$catalog/packages" "$catalog/clients" "$root/reports" "$root/nginx"
head -c "$package_bytes" /dev/urandom >"$catalog/packages/halvio.zip"
printf 'HALVIO|2026.01.02 03:04:05|Nouvelle version du programme\nGABARITS|2026.01.02 03:04:05|Gabarits\n' \
    >"$catalog/packages.txt"
printf 'x' >"$catalog/packages/gabarits.zip"
printf 'nom=Clinique\r\nescompte=0\r\nID=1\r\nstatement=update setup set km=0.45\r\n' >"$catalog/clients/default.txt"

"$build_dir/bin/update-service" --catalog "$catalog" --reports "$root/reports" --listen 127.0.0.1:0 \
    --ready-file "$root/ready" >"$root/service.log" 2>&1 &
service_pid=$!
for _ in $(seq 100); do [ -f "$root/ready" ] && break; sleep 0.1; done
[ -f "$root/ready" ] || { cat "$root/service.log"; exit 1; }
port=$(sed -n '1s/.*://p' "$root/ready")

echo "== report exchanges: $clients clients for $seconds s (a connection per exchange, HTTP/1.0)"
status=0
"$build_dir/bin/service_load" reports 127.0.0.1 "$port" "$seconds" "$clients" "$service_pid" "$root/reports" || status=1
find "$root/reports" -type f -delete
echo "== package $((package_bytes / 1048576)) MiB: update-service"
"$build_dir/bin/service_load" packages 127.0.0.1 "$port" "$((seconds / 2))" "$clients" /kliso/update/halvio.zip "$package_bytes" || status=1

nginx_port=$(free_port)
# Its workers read the catalog in this private folder as the user that runs the benchmark.
user_line=
[ "$(id -u)" -eq 0 ] && user_line="user root;"
cat >"$root/nginx/nginx.conf" <<CONF
$user_line
worker_processes auto;
pid $root/nginx/nginx.pid;
error_log $root/nginx/error.log;
events { worker_connections 1024; }
http {
    access_log off;
    sendfile on;
    tcp_nopush on;
    client_body_temp_path $root/nginx/body;
    proxy_temp_path $root/nginx/proxy;
    fastcgi_temp_path $root/nginx/fastcgi;
    uwsgi_temp_path $root/nginx/uwsgi;
    scgi_temp_path $root/nginx/scgi;
    server {
        listen 127.0.0.1:$nginx_port;
        location /kliso/update/ { alias $catalog/packages/; }
    }
}
CONF
nginx -p "$root/nginx" -c "$root/nginx/nginx.conf"
nginx_started=1
echo "== package $((package_bytes / 1048576)) MiB: nginx $(nginx -v 2>&1 | sed 's/.*\///'), static files, sendfile"
"$build_dir/bin/service_load" packages 127.0.0.1 "$nginx_port" "$((seconds / 2))" "$clients" /kliso/update/halvio.zip "$package_bytes" | sed 's/^RESULT /RESULT anchor_/' || status=1
exit $status

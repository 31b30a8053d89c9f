#!/usr/bin/env bash
# The demo's watch over the updater's window (scripts/demo-window.sh) under Xvfb, in the demo's own
# "set -euo pipefail": a window that closes while a screenshot is taken (between xdotool's search and
# xwininfo) costs a picture, never the verdict, which comes from the updater's exit status and
# SETUP.MAJ alone. Needs xvfb-run, xdotool, xmessage, ImageMagick (installed by scripts/setup).
set -euo pipefail
here=$(cd "$(dirname "$0")/../.." && pwd)

if [ "${1:-}" != "--inside-display" ]; then
    exec xvfb-run -a -s "-screen 0 640x480x24 -noreset" "$0" --inside-display
fi

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
failures=0
check() {
    local what=$1
    shift
    if "$@"; then
        echo "ok: $what"
    else
        echo "FAILED: $what"
        failures=$((failures + 1))
    fi
}

window_name="Mise à jour par internet"
run=$work/run
service_log=$work/service.log
client_code=DEMO
timeout_seconds=60
mkdir -p "$run" "$work/bin"
# shellcheck source=scripts/demo-window.sh
. "$here/scripts/demo-window.sh"

# xdotool as the demo calls it, except that the window found is destroyed (its client killed) before
# the caller goes on: the window closes between the search and xwininfo.
real_xdotool=$(command -v xdotool)
cat > "$work/bin/xdotool" <<SHIM
#!/bin/sh
ids=\$("$real_xdotool" "\$@") || exit \$?
for id in \$ids; do "$real_xdotool" windowkill "\$id"; done
touch "$work/window-closed-during-screenshot"
printf '%s\n' "\$ids"
SHIM
chmod +x "$work/bin/xdotool"
export PATH="$work/bin:$PATH"

# The updater stands in as a tiny X client with the updater's title, which ends (exit 0) once its
# window is gone; the service log says the DIAG package arrived, so screenshots are taken at once.
printf '2026.01.01 00:00:00 127.0.0.1:18080 GET /kliso/update/updatediag.zip 200 in=0 out=12\n' > "$service_log"
(
    xmessage -title "$window_name" "Mise à jour" 2>/dev/null || true
    exit 0
) &
watch_updater $!

check "a window closed while a screenshot was taken" test -f "$work/window-closed-during-screenshot"
check "the updater's exit status is recorded" test "$(cat "$run/updater.result")" = "exit 0"
check "no screenshot is left behind" test -z "$(find "$run" -name 'shot-*.png')"

expect_verdict() {
    local expected_status=$1 expected_text=$2 text status=0
    shift 2
    text=$(demo_verdict "$@") || status=$?
    check "verdict of ($*): $expected_text" test "$status:$text" = "$expected_status:$expected_text"
}
expect_verdict 0 "the updater ended by itself" \
    "$(cat "$run/updater.result")" "2026-01-01 00:00:00" "2026-01-01 00:00:30"
expect_verdict 1 "the updater ended by itself without completing its run (SETUP.MAJ not stamped)" \
    "exit 0" "2026-01-01 00:00:00" "2026-01-01 00:00:00"
expect_verdict 1 "the updater ended abnormally (exit 1)" "exit 1" "a" "b"
expect_verdict 1 "the updater did not end within 60s and was stopped" "timeout" "a" "b"
expect_verdict 1 "the updater ended abnormally (its exit status was not recorded)" "" "a" "b"

[ $failures -eq 0 ]

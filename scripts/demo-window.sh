# shellcheck shell=bash disable=SC2154  # the variables below are set by the caller
# The demo's watch over the updater's window, and its verdict on the run; sourced by scripts/demo (and
# by the test of this file). Screenshots are a courtesy: a helper that fails, or a window that is gone
# between two helper calls, costs at most a picture, never the run or its verdict.
#
# The caller sets: window_name (the window's title), run (the folder of the screenshots and of
# updater.result), service_log, client_code, timeout_seconds.

# Saves the window to $1 when it can; always returns 0.
screenshot() {
    local out=$1 window geometry
    window=$(xdotool search --name "$window_name" 2>/dev/null | head -1) || return 0
    [ -n "$window" ] || return 0
    geometry=$(xwininfo -id "$window" 2>/dev/null | awk '
        /Absolute upper-left X/ {x=$NF} /Absolute upper-left Y/ {y=$NF}
        /Width:/ {w=$NF} /Height:/ {h=$NF} END {if (w > 0 && h > 0) printf "%dx%d+%d+%d", w, h, x, y}') || return 0
    [ -n "$geometry" ] || return 0
    import -window root png:- 2>/dev/null | convert png:- -crop "$geometry" +repage "$out" 2>/dev/null || rm -f "$out"
    return 0
}

# Panel5, the notice not to interrupt the update, is the only pure yellow of the window.
shows_migration_notice() {
    [ "$(convert "$1" -fill black +opaque '#FFFF00' -format '%[fx:maxima.r>0]' info: 2>/dev/null)" = "1" ]
}

# Of the shots taken during the migration, the middle one of those that show its notice; the first
# one when none does (a machine fast enough to migrate between two shots). The others are removed.
keep_mid_run_shot() {
    local shot with_notice=()
    for shot in "$run"/shot-*.png; do
        [ -f "$shot" ] || continue
        if shows_migration_notice "$shot"; then
            with_notice+=("$shot")
        fi
    done
    if [ ${#with_notice[@]} -gt 0 ]; then
        mv "${with_notice[$((${#with_notice[@]} / 2))]}" "$run/window-mid-run.png"
    else
        shot=$(find "$run" -name 'shot-*.png' | sort | head -1)
        [ -z "$shot" ] || mv "$shot" "$run/window-mid-run.png"
    fi
    rm -f "$run"/shot-*.png
}

# Watches the updater of process $1 until it ends (or stops it after timeout_seconds) and writes what
# the process did to $run/updater.result: "exit N" or "timeout". Screenshots are taken while the DIAG
# migration runs, after the exchange and at the time-out. The screenshot calls stand in "||" lists,
# so that no failure inside them ends this function under "set -e".
watch_updater() {
    local updater_pid=$1 started=$SECONDS posted_at=0 diag_seen=0 shots=0 end_shot=0 rc=0
    while kill -0 "$updater_pid" 2>/dev/null; do
        # The DIAG migration comes last (packages go in name order) and takes a few seconds: the
        # window then shows every package's state and the migration under way.
        if [ $diag_seen -eq 0 ] && grep -q ' GET /kliso/update/updatediag.zip 200' "$service_log" 2>/dev/null; then
            diag_seen=1
        fi
        if [ $diag_seen -eq 1 ] && [ $shots -lt 40 ]; then
            shots=$((shots + 1))
            screenshot "$run/shot-$(printf '%02d' $shots).png" || true
        fi
        if [ $posted_at -eq 0 ] && grep -q " POST /$client_code.maj 200" "$service_log" 2>/dev/null; then
            posted_at=$SECONDS
        fi
        if [ $end_shot -eq 0 ] && [ $posted_at -gt 0 ] && [ $((SECONDS - posted_at)) -ge 4 ] &&
            ! grep -q ' GET /kliso/update/' "$service_log" 2>/dev/null; then
            screenshot "$run/window-end.png" || true
            end_shot=1
        fi
        if [ $((SECONDS - started)) -ge "$timeout_seconds" ]; then
            screenshot "$run/window-at-timeout.png" || true
            # libfbclient ignores SIGTERM.
            kill -9 "$updater_pid" 2>/dev/null || true
            wait "$updater_pid" 2>/dev/null || true
            echo timeout > "$run/updater.result"
            keep_mid_run_shot || true
            return 0
        fi
        sleep 0.2
    done
    wait "$updater_pid" || rc=$?
    echo "exit $rc" > "$run/updater.result"
    keep_mid_run_shot || true
}

# The verdict on the run, from what it did: $1 the content of updater.result (empty when missing), $2
# and $3 SETUP.MAJ before and after, which the updater stamps when its run is complete. Prints the
# verdict; returns 0 for a run that ended by itself and did its work, 1 otherwise.
demo_verdict() {
    local result=$1 stamp_before=$2 stamp_after=$3
    case "$result" in
        "exit 0")
            if [ -n "$stamp_after" ] && [ "$stamp_after" != "$stamp_before" ]; then
                echo "the updater ended by itself"
                return 0
            fi
            echo "the updater ended by itself without completing its run (SETUP.MAJ not stamped)"
            ;;
        timeout) echo "the updater did not end within ${timeout_seconds}s and was stopped" ;;
        "") echo "the updater ended abnormally (its exit status was not recorded)" ;;
        *) echo "the updater ended abnormally ($result)" ;;
    esac
    return 1
}

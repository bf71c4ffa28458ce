#!/usr/bin/env bash
# What "Change Every" costs between changes: the helper, with openbox on a
# 1280x720 Xvfb and a private session bus (tests/e2e/lib.sh sets the scene),
# restores a cached clip as at login with two Recent Wallpapers, and a
# fullscreen window over it rests the decode, so that only the helper's own
# timers could wake it. Wake-ups (voluntary + involuntary context switches of
# all its threads) per second over MEASURE_SECONDS (default 10), median of
# ROUNDS (default 3), once with "rotateMinutes" at 1 day (a change armed) and,
# as the peer, once without it, in the same run.
#   rotation_wakeups_per_s <v> peer=no-rotation <v> target=value<=0
# Usage: bench/rotation.sh [build-dir]   (default $LUMIVO_BUILD_DIR or build)
BUILD=$(realpath "${1:-${LUMIVO_BUILD_DIR:-build}}")
source "$(dirname "$0")/../tests/e2e/lib.sh" "$@"
source "$(dirname "$0")/lib.sh"

HELPER=$BUILD/TarvoWallpaperHelper/lumivo-helper
[ -x "$HELPER" ] || { echo "rotation.sh: $HELPER is not built" >&2; exit 1; }
ROUNDS=${ROUNDS:-3}
MEASURE=${MEASURE_SECONDS:-10}
CONF=$XDG_CONFIG_HOME/Lumivo/LumivoHelper.conf
CACHE=$XDG_CACHE_HOME/Lumivo/wallpapers

e2e_start_xvfb 1280x720
e2e_start_openbox
mkdir -p "$(dirname "$CONF")" "$CACHE"
# Two cached clips, each kept as an apply leaves it in the settings.
entries=()
for colour in red blue; do
    ffmpeg -hide_banner -loglevel error -y -f lavfi -i "color=c=$colour:size=1280x720:rate=30:duration=2" \
        -c:v libx264 -preset veryfast -pix_fmt yuv420p "$E2E_TMP/$colour.mp4"
    sha=$(sha256sum "$E2E_TMP/$colour.mp4" | cut -c1-64)
    file=$CACHE/$colour-${sha:0:12}.mp4
    mv "$E2E_TMP/$colour.mp4" "$file"
    entries+=("id=$colour
title=$colour
file=$file
sha256=$sha
bytes=$(stat -c %s "$file")")
done

e2e_spawn xev -name cover -geometry 200x200+0+0 >/dev/null 2>&1
managed() { wmctrl -l | grep ' cover$' >/dev/null; }
e2e_wait_for 10 managed || { echo "rotation.sh: openbox does not manage the window" >&2; exit 1; }
wmctrl -r cover -b add,fullscreen

switches() { cat /proc/"$1"/task/*/status | awk '/ctxt_switches/ {s += $2} END {print s}'; }

# wakeups ROTATE_SETTING : one helper run, ROUNDS lines of wake-ups per second.
wakeups() {
    printf '[General]\nhasShownWelcome=true\n%s\n[lastWallpaper]\n%s\n[recentWallpapers]\norder="1,2"\n' \
        "$1" "${entries[0]}" >"$CONF"
    printf '%s\n' "${entries[0]}" | sed 's/^/1\\/' >>"$CONF"
    printf '%s\n' "${entries[1]}" | sed 's/^/2\\/' >>"$CONF"
    local log=$E2E_TMP/helper.log pid
    e2e_spawn "$HELPER" 2>"$log"
    pid=$E2E_LAST_PID
    e2e_wait_for 10 grep -q 'Restored red' "$log" || { cat "$log" >&2; exit 1; }
    e2e_wait_for 10 grep -q 'Paused: desktop covered' "$log" || { cat "$log" >&2; exit 1; }
    sleep 2
    local round before
    for ((round = 0; round < ROUNDS; round++)); do
        before=$(switches "$pid")
        sleep "$MEASURE"
        awk -v c=$(($(switches "$pid") - before)) -v s="$MEASURE" 'BEGIN {printf "%.2f\n", c / s}'
    done
    kill -TERM "$pid"
    wait "$pid" 2>/dev/null
}

ours=$(wakeups 'rotateMinutes=1440' | median)
peer=$(wakeups '' | median)
echo "rotation_wakeups_per_s $ours peer=no-rotation $peer target=value<=0"

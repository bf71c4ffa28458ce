#!/usr/bin/env bash
# The wallpaper through GNOME Shell's extension: the wallpaper player
# (tests/e2e/player-driver, which chooses its backend as the helper does) in
# a headless GNOME Shell 43 (llvmpipe) with one 1920x1080 monitor and
# XWayland, the extension installed from this checkout. The clip is 1080p30
# H.264, generated here. Figures, medians of ROUNDS (default 3) rounds, both
# paths interleaved; CPU from utime+stime over MEASURE_SECONDS (default 8)
# after a 1 s settle:
#   - CPU of the player plus gnome-shell with the extension (Wayland
#     toplevels cloned into the Shell's background), against today's
#     fallback on the same Shell with the extension off (an X11 desktop
#     window through XWayland; Xwayland's own CPU counted with it);
#   - start to first frame with the extension, median of STARTS (default 10)
#     starts of a file that is ready;
#   - CPU of the player while a fullscreen window covers the monitor and the
#     decode rests, as the helper rests it then.
# The driver owns the helper's bus name, as the helper does: the extension
# takes only that name's owner's windows into the backgrounds.
# Usage: bench/gnome.sh [build-dir]   (default $LUMIVO_BUILD_DIR or build)
BUILD=$(realpath "${1:-${LUMIVO_BUILD_DIR:-build}}")
source "$(dirname "$0")/../tests/e2e/lib.sh" "$@"
source "$(dirname "$0")/lib.sh"
set -e

player_bench_setup gnome.sh
UUID=lumivo-wallpaper@lumivo.app
SHELL_TOOL="/usr/bin/python3 $(dirname "$0")/../tests/gnome/gnome_shell.py"

e2e_start_gnome_shell --x11 --extension "$(dirname "$0")/../gnome-shell-extension" 1920x1080
$SHELL_TOOL overview off
XWAYLAND_PID=$(pgrep -P "$E2E_SHELL_PID" -x Xwayland)
export DISPLAY=$E2E_XWAYLAND_DISPLAY QT_QPA_PLATFORM=wayland

extension_is() { [ "$($SHELL_TOOL extension $UUID)" = "$1" ]; }
# The extension runs once its D-Bus object answers.
running() { $SHELL_TOOL coverage >/dev/null 2>&1; }
# run NAME PIDS_EXTRA... : plays the clip, "<cpu %>" of the player and PIDS_EXTRA.
run() {
    local name=$1
    shift
    e2e_proc_start "$name" "$DRIVER" --helper-name
    e2e_proc_send "$name" "start $CLIP" >/dev/null
    e2e_proc_wait "$name" '^event first-frame' 20 >/dev/null
    measure "$(e2e_proc_pid "$name")" "$@" | cut -d' ' -f1
    e2e_proc_close "$name" 20
}

# First frames on the freshly started Shell, before the extension goes off and on.
e2e_proc_start first "$DRIVER" --helper-name
times=()
for ((i = 0; i < STARTS; i++)); do
    ms=$(e2e_proc_send first "start $CLIP" && e2e_proc_wait first '^event first-frame' 20) || {
        echo "gnome.sh: no first frame:" >&2
        cat "$E2E_TMP/first.out" "$E2E_TMP/first.err" >&2
        exit 1
    }
    times+=("$(tail -n1 <<<"$ms" | awk '{printf "%d", $3}')")
    e2e_proc_send first stop >/dev/null
done
e2e_proc_close first 20
echo "gnome_first_frame_ms $(printf '%s\n' "${times[@]}" | median) target=value<300"

ours=() peer=()
for ((round = 0; round < ROUNDS; round++)); do
    ours+=("$(run "ours$round" "$E2E_SHELL_PID")")
    gnome-extensions disable $UUID
    e2e_wait_for 10 extension_is 2
    peer+=("$(run "peer$round" "$E2E_SHELL_PID" "$XWAYLAND_PID")")
    gnome-extensions enable $UUID
    e2e_wait_for 10 extension_is 1
    e2e_wait_for 10 running
    echo "round $round: extension ${ours[-1]} %, X11 fallback ${peer[-1]} %" >&2
done
ratio_line gnome_cpu_pct "$(printf '%s\n' "${ours[@]}" | median)" x11-fallback \
    "$(printf '%s\n' "${peer[@]}" | median)" "<=1.0"

# Covered: a fullscreen window over the monitor, the decode paused as the
# helper's pause logic does once the extension reports the monitor covered.
e2e_proc_start covered "$DRIVER" --helper-name
e2e_proc_send covered "start $CLIP" >/dev/null &&
    e2e_proc_wait covered '^event first-frame' 20 >/dev/null || {
    echo "gnome.sh: no first frame after the extension came back:" >&2
    cat "$E2E_TMP/covered.out" "$E2E_TMP/covered.err" >&2
    exit 1
}
e2e_spawn foot --fullscreen sh -c 'exec sleep 600' 2>/dev/null
covered() { $SHELL_TOOL coverage | grep -q covered; }
e2e_wait_for 10 covered || {
    echo "gnome.sh: the extension does not report the monitor covered:" >&2
    $SHELL_TOOL coverage >&2
    $SHELL_TOOL windows >&2
    exit 1
}
e2e_proc_send covered "pause yes" >/dev/null
resting=()
for ((round = 0; round < ROUNDS; round++)); do
    resting+=("$(measure "$(e2e_proc_pid covered)" | cut -d' ' -f1)")
done
e2e_proc_close covered 20
echo "gnome_covered_cpu_pct $(printf '%s\n' "${resting[@]}" | median) target=value<=0.5"

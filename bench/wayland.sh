#!/usr/bin/env bash
# Playback on a Wayland compositor: the wallpaper player (tests/e2e/player-driver,
# which picks layer-shell surfaces as the helper does) on headless sway against
# `mpv --fs` on the same outputs, one mpv per output as peers do. The clip is
# 1080p30 H.264, generated here. Scenes:
#   - one 1920x1080 output;
#   - two 1280x720 outputs.
# Figures, medians of ROUNDS (default 3) rounds, ours and the peer interleaved;
# CPU from utime+stime over MEASURE_SECONDS (default 8) after a 1 s settle:
#   - software path (chosen by itself: sway's pixman renderer takes no GPU
#     buffers) against `mpv --vo=wlshm`;
#   - OpenGL path (LUMIVO_RENDER=gl, Mesa's llvmpipe through EGL) against
#     `mpv --vo=gpu --gpu-sw=yes`;
#   - peak RSS (VmHWM) against one mpv, one output, software;
#   - start to first frame, median of STARTS (default 10).
# Usage: bench/wayland.sh [build-dir]   (default $LUMIVO_BUILD_DIR or build)
BUILD=$(realpath "${1:-${LUMIVO_BUILD_DIR:-build}}")
source "$(dirname "$0")/../tests/e2e/lib.sh" "$@"
source "$(dirname "$0")/lib.sh"
set -e

player_bench_setup wayland.sh

MPV_OPTIONS=(--no-config --aid=no --sid=no --loop-file=inf --panscan=1.0 --hwdec=auto-safe
    --stop-screensaver=no --load-scripts=no --osc=no --input-default-bindings=no --no-terminal
    --fs)

# The Qt side of the driver runs as a native Wayland client, with no X server
# to fall back to.
unset DISPLAY
export QT_QPA_PLATFORM=wayland

# ours NAME [ENV...] : "<cpu %> <peak RSS MiB>".
ours() {
    local name=$1 result
    shift
    e2e_proc_start "$name" env "$@" "$DRIVER"
    e2e_proc_send "$name" "start $CLIP" >/dev/null
    e2e_proc_wait "$name" '^event first-frame' 20 >/dev/null
    result=$(measure "$(e2e_proc_pid "$name")")
    e2e_proc_close "$name" 20
    echo "$result"
}

fullscreen_on() { # PID OUTPUT
    swaymsg -t get_tree -r | jq -e --argjson p "$1" --arg o "$2" \
        '.nodes[] | select(.name == $o) | .. | objects | select(.pid? == $p and .fullscreen_mode == 1)' \
        >/dev/null
}
# peers OUTPUT... -- VO_OPTIONS... : one fullscreen mpv per output; "<cpu %> <peak RSS MiB>".
peers() {
    local outputs=() pids=() i
    while [ "$1" != -- ]; do
        outputs+=("$1")
        shift
    done
    shift
    for o in "${outputs[@]}"; do
        e2e_spawn mpv "${MPV_OPTIONS[@]}" "$@" --fs-screen-name="$o" "$CLIP"
        pids+=("$E2E_LAST_PID")
    done
    for ((i = 0; i < ${#pids[@]}; i++)); do
        e2e_wait_for 20 fullscreen_on "${pids[i]}" "${outputs[i]}"
    done
    measure "${pids[@]}"
    for pid in "${pids[@]}"; do
        kill "$pid"
        wait "$pid" || true
    done
}

# rounds LABEL OUTPUT... : ROUNDS rounds of both paths and their peers on the
# outputs; fills SW, SHM, GL and GPU with "<cpu %> <peak RSS MiB>" lines.
rounds() {
    local label=$1 round
    shift
    SW=() SHM=() GL=() GPU=()
    for ((round = 1; round <= ROUNDS; round++)); do
        SW+=("$(ours "sw-$label-$round")")
        SHM+=("$(peers "$@" -- --vo=wlshm)")
        GL+=("$(ours "gl-$label-$round" LUMIVO_RENDER=gl)")
        GPU+=("$(peers "$@" -- --vo=gpu --gpu-sw=yes --gpu-context=wayland)")
        echo "$label, round $round (cpu %, peak rss MiB): software ${SW[-1]}," \
            "mpv wlshm ${SHM[-1]}, OpenGL ${GL[-1]}, mpv gpu ${GPU[-1]}"
    done
}

# --- one 1920x1080 output -----------------------------------------------------
e2e_start_sway 1920x1080
rounds "one output" HEADLESS-1
ratio_line wayland_cpu_pct "$(column 1 "${SW[@]}")" mpv-wlshm "$(column 1 "${SHM[@]}")" "<=1.05"
ratio_line wayland_gl_cpu_pct "$(column 1 "${GL[@]}")" mpv-gpu-sw "$(column 1 "${GPU[@]}")" "<=1.05"
awk -v a="$(column 2 "${SW[@]}")" -v b="$(column 2 "${SHM[@]}")" 'BEGIN {
    printf "wayland_peak_rss_mib %s peer=mpv-wlshm %s target=value<=%.1f\n", a, b, b + 30 }'

e2e_proc_start ttff "$DRIVER"
firsts=()
for ((i = 1; i <= STARTS; i++)); do
    e2e_proc_send ttff "start $CLIP" >/dev/null
    firsts+=("$(e2e_proc_wait ttff '^event first-frame' 20 | awk '{print $3}')")
    e2e_proc_send ttff stop >/dev/null
done
e2e_proc_close ttff 20
echo "first frames (ms): ${firsts[*]}"
printf 'wayland_first_frame_ms %.0f target=value<300\n' "$(printf '%s\n' "${firsts[@]}" | median)"

# --- two 1280x720 outputs -----------------------------------------------------------
swaymsg output HEADLESS-1 mode 1280x720 pos 0 0 >/dev/null
swaymsg create_output >/dev/null
e2e_wait_for 5 e2e_sway_has_output HEADLESS-2
swaymsg output HEADLESS-2 mode 1280x720 pos 1280 0 >/dev/null
rounds "two outputs" HEADLESS-1 HEADLESS-2
ratio_line wayland_cpu_2out_pct "$(column 1 "${SW[@]}")" 2xmpv-wlshm "$(column 1 "${SHM[@]}")" "<=0.6"
ratio_line wayland_gl_cpu_2out_pct "$(column 1 "${GL[@]}")" 2xmpv-gpu-sw "$(column 1 "${GPU[@]}")" \
    "<=0.8"
exit 0

#!/usr/bin/env bash
# Playback benchmarks of the wallpaper player (tests/e2e/player-driver) against
# mpv, the way peers play a wallpaper: one mpv process per monitor. The clip is
# 1080p30 H.264, generated here with ffmpeg (4 s, so each measurement spans its
# loop). tests/e2e/lib.sh sets the scenes:
#   - one 1920x1080 monitor (Xvfb);
#   - two 1280x720 monitors (Xorg's dummy driver, e2e_start_xorg_monitors).
# Figures, medians of ROUNDS (default 3) rounds with player and peers
# interleaved; CPU from utime+stime in /proc/<pid>/stat over MEASURE_SECONDS
# (default 8) after a 1 s settle, summed over the peer's processes:
#   - software path (chosen by itself here, as this machine has no GPU): one
#     monitor against one `mpv --vo=x11`, two against two of them;
#   - OpenGL path (LUMIVO_RENDER=gl): one and two monitors against
#     `mpv --vo=gpu --gpu-sw=yes`;
#   - frames drawn per second per window, software and OpenGL, two monitors;
#   - peak RSS (VmHWM) against one mpv, one monitor;
#   - start to first frame on screen, median of STARTS (default 10); peer:
#     mpv's own log time of its first shown frame;
#   - a switch: start B while A plays, until B's first frame;
#   - how long stop() blocks the GUI thread (mpv shutting down);
#   - RSS over 100 starts alternating two clips: VmRSS after a stop at start
#     100 minus after a stop at start 20, with a fixed malloc mmap threshold so
#     that glibc's arenas neither hide nor fake a leak.
# Usage: bench/playback.sh [build-dir]   (default $LUMIVO_BUILD_DIR or build)
BUILD=$(realpath "${1:-${LUMIVO_BUILD_DIR:-build}}")
source "$(dirname "$0")/../tests/e2e/lib.sh" "$@"
source "$(dirname "$0")/lib.sh"
set -e

player_bench_setup playback.sh
SMALL=$(cd "$(dirname "$0")/../tests/data/video" && pwd)/wide-16x9.mp4

# The player's options, spelled for the command line (config=no is --no-config).
MPV_OPTIONS=(--no-config --aid=no --sid=no --loop-file=inf --idle=yes
    --panscan=1.0 --keepaspect=yes --hwdec=auto-safe --stop-screensaver=no --load-scripts=no
    --load-stats-overlay=no --load-osd-console=no --load-auto-profiles=no --ytdl=no --osc=no
    --input-default-bindings=no --input-vo-keyboard=no --access-references=no --no-terminal
    --no-border)

# ours NAME [ENV...] : "<cpu %> <peak RSS MiB> <frames per second per window>".
ours() {
    local name=$1 before after result
    shift
    e2e_proc_start "$name" env "$@" "$DRIVER"
    e2e_proc_send "$name" "start $CLIP" >/dev/null
    e2e_proc_wait "$name" '^event first-frame' 20 >/dev/null
    before=$(e2e_proc_send "$name" frames | awk '{print $2}')
    result=$(measure "$(e2e_proc_pid "$name")")
    after=$(e2e_proc_send "$name" frames | awk '{print $2}')
    e2e_proc_close "$name" 20
    awk -v r="$result" -v f=$((after - before)) -v s=$((MEASURE + 1)) \
        'BEGIN { printf "%s %.1f\n", r, f / s }'
}

# peers GEOMETRY... -- VO_OPTIONS... : one mpv per geometry; "<cpu %> <peak RSS MiB>".
peers() {
    local geometries=() pids=() pid
    while [ "$1" != -- ]; do
        geometries+=("$1")
        shift
    done
    shift
    for g in "${geometries[@]}"; do
        e2e_spawn mpv "${MPV_OPTIONS[@]}" "$@" --geometry="$g" "$CLIP"
        pids+=("$E2E_LAST_PID")
    done
    for pid in "${pids[@]}"; do
        e2e_wait_for 20 xdotool search --pid "$pid" >/dev/null
    done
    measure "${pids[@]}"
    for pid in "${pids[@]}"; do
        kill "$pid"
        wait "$pid" || true
    done
}


# --- one 1920x1080 monitor ------------------------------------------------------
e2e_start_xvfb 1920x1080
one=1920x1080+0+0
sw1=() x11=() gl1=() gpu1=()
for ((round = 1; round <= ROUNDS; round++)); do
    sw1+=("$(ours "sw1-$round")")
    x11+=("$(peers "$one" -- --vo=x11)")
    gl1+=("$(ours "gl1-$round" LUMIVO_RENDER=gl)")
    gpu1+=("$(peers "$one" -- --vo=gpu --gpu-sw=yes)")
    echo "one monitor, round $round (cpu %, peak rss MiB[, fps]): software ${sw1[-1]}," \
        "mpv x11 ${x11[-1]}, OpenGL ${gl1[-1]}, mpv gpu ${gpu1[-1]}"
done
ratio_line playback_cpu_pct "$(column 1 "${sw1[@]}")" mpv-x11 "$(column 1 "${x11[@]}")" "<=1.0"
ratio_line playback_gl_cpu_pct "$(column 1 "${gl1[@]}")" mpv-gpu-sw "$(column 1 "${gpu1[@]}")" "<=1.05"
rss=$(column 2 "${sw1[@]}")
rss_peer=$(column 2 "${x11[@]}")
awk -v a="$rss" -v b="$rss_peer" 'BEGIN {
    printf "playback_peak_rss_mib %s peer=mpv %s target=value<=%.1f\n", a, b, b + 30 }'

# Time to the first frame, the player's and mpv's; then switches.
e2e_proc_start ttff "$DRIVER"
firsts=() peer_firsts=() stops=() switches=()
for ((i = 1; i <= STARTS; i++)); do
    e2e_proc_send ttff "start $CLIP" >/dev/null
    firsts+=("$(e2e_proc_wait ttff '^event first-frame' 20 | awk '{print $3}')")
    stops+=("$(e2e_proc_send ttff stop | awk '{print $2}')")

    log=$E2E_TMP/mpv-$i.log
    mpv "${MPV_OPTIONS[@]}" --vo=x11 --geometry="$one" --idle=no --loop-file=no --end=0.5 \
        --msg-time -v --log-file="$log" "$CLIP" >/dev/null 2>&1 || true
    peer_firsts+=("$(awk -F'[][]' '/first video frame after restart shown/ {print $2 * 1000; exit}' "$log")")
done
e2e_proc_send ttff "start $SMALL" >/dev/null
e2e_proc_wait ttff '^event first-frame' 20 >/dev/null
for ((i = 1; i <= STARTS; i++)); do
    clip=$CLIP
    [ $((i % 2)) -eq 0 ] && clip=$SMALL
    e2e_proc_send ttff "start $clip" >/dev/null
    switches+=("$(e2e_proc_wait ttff '^event first-frame' 20 | awk '{print $3}')")
done
e2e_proc_close ttff 20
echo "first frames (ms): player ${firsts[*]}; mpv ${peer_firsts[*]}"
printf 'playback_first_frame_ms %.0f peer=mpv %.0f target=value<300\n' \
    "$(printf '%s\n' "${firsts[@]}" | median)" "$(printf '%s\n' "${peer_firsts[@]}" | median)"
echo "switches (ms): ${switches[*]}"
printf 'playback_switch_ms %.0f target=value<300\n' "$(printf '%s\n' "${switches[@]}" | median)"
echo "stop (ms): ${stops[*]}"
printf 'playback_stop_ms %.0f target=value<100\n' "$(printf '%s\n' "${stops[@]}" | median)"

# RSS over 100 starts alternating two clips (see the top).
clips=("$CLIP" "$SMALL")
MALLOC_MMAP_THRESHOLD_=131072 e2e_proc_start leak "$DRIVER"
for ((i = 1; i <= 100; i++)); do
    e2e_proc_send leak "start ${clips[i % 2]}" >/dev/null
    e2e_proc_wait leak '^event first-frame' 20 >/dev/null
    if [ "$i" -eq 20 ] || [ "$i" -eq 100 ]; then
        windows=$(xwininfo -root -children | grep -c '"Lumivo Wallpaper"' || true)
        e2e_proc_send leak stop >/dev/null
        rss_after[i]=$(status_kib "$(e2e_proc_pid leak)" VmRSS)
        echo "start $i: $windows wallpaper window(s) while playing; VmRSS after stop ${rss_after[i]} KiB"
    fi
done
awk -v a="${rss_after[20]}" -v b="${rss_after[100]}" \
    'BEGIN { printf "playback_rss_growth_mib %.1f starts=20..100 target=value<=2\n", (b - a) / 1024 }'
e2e_proc_close leak 20

# --- two 1280x720 monitors --------------------------------------------------------
e2e_start_xorg_monitors 1280
left=1280x720+0+0 right=1280x720+1280+0
sw2=() x11s=() gl2=() gpus=()
for ((round = 1; round <= ROUNDS; round++)); do
    sw2+=("$(ours "sw2-$round")")
    x11s+=("$(peers "$left" "$right" -- --vo=x11)")
    gl2+=("$(ours "gl2-$round" LUMIVO_RENDER=gl)")
    gpus+=("$(peers "$left" "$right" -- --vo=gpu --gpu-sw=yes)")
    echo "two monitors, round $round (cpu %, peak rss MiB[, fps]): software ${sw2[-1]}," \
        "2 mpv x11 ${x11s[-1]}, OpenGL ${gl2[-1]}, 2 mpv gpu ${gpus[-1]}"
done
ratio_line playback_cpu_2mon_pct "$(column 1 "${sw2[@]}")" 2xmpv-x11 "$(column 1 "${x11s[@]}")" "<=0.6"
ratio_line playback_gl_cpu_2mon_pct "$(column 1 "${gl2[@]}")" 2xmpv-gpu-sw \
    "$(column 1 "${gpus[@]}")" "<=0.8"
printf 'playback_fps_per_window %s path=software monitors=2 target=value>=25\n' "$(column 3 "${sw2[@]}")"
printf 'playback_gl_fps_per_window %s path=OpenGL monitors=2 target=value>=25\n' "$(column 3 "${gl2[@]}")"

#!/usr/bin/env bash
# Each screen its own video: the player (tests/e2e/player-driver, mode each)
# with a different 1080p30 H.264 clip on each of two 1280x720 monitors
# (Xorg's dummy driver, e2e_start_xorg_monitors), so two decodes in one
# process, against two `mpv --vo=x11` processes, one per monitor with its
# clip, as peers play a wallpaper per monitor. Medians of ROUNDS (default 3)
# rounds, player and peers interleaved; CPU from utime+stime over
# MEASURE_SECONDS (default 8) after a 1 s settle, summed over the peer's
# processes (bench/lib.sh measure):
#   each_cpu_2videos_pct <ours> peer=2xmpv-x11 <theirs> target=<=1.0
#   each_second_decode_rss_mib <VmRSS with both videos minus with one>
#     peer=mpv <VmRSS of the second mpv>
# Usage: bench/each-screen.sh [build-dir]   (default $LUMIVO_BUILD_DIR or build)
BUILD=$(realpath "${1:-${LUMIVO_BUILD_DIR:-build}}")
source "$(dirname "$0")/../tests/e2e/lib.sh" "$@"
source "$(dirname "$0")/lib.sh"
set -e

player_bench_setup each-screen.sh
# The second clip: another synthetic picture of the same size and rate.
OTHER=$E2E_TMP/other-1080p30.mp4
ffmpeg -hide_banner -loglevel error -y -f lavfi -i testsrc=size=1920x1080:rate=30:duration=4 \
    -c:v libx264 -preset veryfast -crf 23 -pix_fmt yuv420p -g 60 "$OTHER"
MPV_OPTIONS=(--no-config --aid=no --sid=no --loop-file=inf --idle=yes
    --panscan=1.0 --keepaspect=yes --hwdec=auto-safe --stop-screensaver=no --load-scripts=no
    --load-stats-overlay=no --load-osd-console=no --load-auto-profiles=no --ytdl=no --osc=no
    --input-default-bindings=no --input-vo-keyboard=no --access-references=no --no-terminal
    --no-border)

e2e_start_xorg_monitors 1280
left=1280x720+0+0 right=1280x720+1280+0

# rss_settled PID : VmRSS in KiB after 2 s of playing.
rss_settled() {
    sleep 2
    status_kib "$1" VmRSS
}

# ours NAME : "<cpu %> <peak RSS MiB> <RSS MiB the second decode added>".
ours() {
    local name=$1 pid one two result
    e2e_proc_start "$name" "$DRIVER"
    pid=$(e2e_proc_pid "$name")
    e2e_proc_send "$name" "mode each" >/dev/null
    e2e_proc_send "$name" "start $CLIP" >/dev/null
    e2e_proc_wait "$name" '^event first-frame' 20 >/dev/null
    one=$(rss_settled "$pid")
    e2e_proc_send "$name" "on second $OTHER" | grep -qx 'ok second'
    e2e_proc_wait "$name" '^event first-frame' 20 >/dev/null
    two=$(rss_settled "$pid")
    result=$(measure "$pid")
    e2e_proc_close "$name" 20
    awk -v r="$result" -v a="$one" -v b="$two" 'BEGIN { printf "%s %.1f\n", r, (b - a) / 1024 }'
}

# peers : one mpv per monitor, each its clip; "<cpu %> <RSS MiB of the second>".
peers() {
    local pids=() pid result rss
    e2e_spawn mpv "${MPV_OPTIONS[@]}" --vo=x11 --geometry="$left" "$CLIP"
    pids+=("$E2E_LAST_PID")
    e2e_spawn mpv "${MPV_OPTIONS[@]}" --vo=x11 --geometry="$right" "$OTHER"
    pids+=("$E2E_LAST_PID")
    for pid in "${pids[@]}"; do
        e2e_wait_for 20 xdotool search --pid "$pid" >/dev/null
    done
    rss=$(rss_settled "${pids[1]}")
    result=$(measure "${pids[@]}")
    for pid in "${pids[@]}"; do
        kill "$pid"
        wait "$pid" || true
    done
    awk -v r="$result" -v m="$rss" 'BEGIN { split(r, f, " "); printf "%s %.1f\n", f[1], m / 1024 }'
}

mine=() theirs=()
for ((round = 1; round <= ROUNDS; round++)); do
    mine+=("$(ours "each-$round")")
    theirs+=("$(peers)")
    echo "round $round: player (cpu %, peak rss MiB, second decode MiB) ${mine[-1]};" \
        "2 mpv x11 (cpu %, second's rss MiB) ${theirs[-1]}"
done
ratio_line each_cpu_2videos_pct "$(column 1 "${mine[@]}")" 2xmpv-x11 "$(column 1 "${theirs[@]}")" "<=1.0"
printf 'each_second_decode_rss_mib %s peer=mpv %s\n' "$(column 3 "${mine[@]}")" \
    "$(column 2 "${theirs[@]}")"

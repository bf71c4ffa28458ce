#!/usr/bin/env bash
# Playback benchmarks of the wallpaper player (tests/e2e/player-driver) against
# the mpv command line player with the same options and video output, on one
# 1920x1080 Xvfb (tests/e2e/lib.sh sets the scene). The 1080p30 H.264 clip is
# generated here with ffmpeg (4 s, so the 10 s measurement spans its loop).
#   - CPU and peak RSS while looping the clip for MEASURE_SECONDS (default 10),
#     after a 1 s settle; ROUNDS (default 3) rounds, player and mpv interleaved,
#     medians. CPU from utime+stime in /proc/<pid>/stat, peak RSS is VmHWM.
#   - time from `start` to the first frame on screen (mpv's first playback
#     restart, which follows the first presented frame), median of STARTS
#     (default 10); peer: mpv's own log time of its first shown frame.
#   - how long stop() blocks the GUI thread (mpv shutting down), median.
#   - RSS over 100 starts alternating two clips, each waiting for its first
#     frame: VmRSS after a stop at start 100 minus after a stop at start 20, with
#     a fixed malloc mmap threshold (see below); a leak of 26 KiB per start
#     shows as 2 MiB.
# One line per figure:
#   playback_cpu_pct <v> peer=mpv <v> ratio=<r> target=<=1.05
#   playback_peak_rss_mib <v> peer=mpv <v> target=value<=<mpv + 30>
#   playback_first_frame_ms <v> peer=mpv <v> target=value<300
#   playback_stop_ms <v> target=value<100
#   playback_rss_growth_mib <v> starts=20..100 target=value<=2
# Usage: bench/playback.sh [build-dir]   (default $LUMIVO_BUILD_DIR or build)
BUILD=$(realpath "${1:-${LUMIVO_BUILD_DIR:-build}}")
source "$(dirname "$0")/../tests/e2e/lib.sh" "$@"
set -e

DRIVER=$BUILD/tests/e2e/player-driver
[ -x "$DRIVER" ] || {
    echo "playback.sh: $DRIVER is not built (target player-driver)" >&2
    exit 1
}
ROUNDS=${ROUNDS:-3}
MEASURE=${MEASURE_SECONDS:-10}
STARTS=${STARTS:-10}
TICKS=$(getconf CLK_TCK)
SMALL=$(cd "$(dirname "$0")/../tests/data/video" && pwd)/wide-16x9.mp4

e2e_start_xvfb 1920x1080
CLIP=$E2E_TMP/hd-1080p30.mp4
ffmpeg -hide_banner -loglevel error -y -f lavfi -i testsrc2=size=1920x1080:rate=30:duration=4 \
    -c:v libx264 -preset veryfast -crf 23 -pix_fmt yuv420p -g 60 "$CLIP"

# The player's options, spelled for the command line (config=no is --no-config).
MPV_OPTIONS=(--no-config --vo="$LUMIVO_MPV_VO" --aid=no --sid=no --loop-file=inf --idle=yes
    --panscan=1.0 --keepaspect=yes --hwdec=auto-safe --stop-screensaver=no --load-scripts=no
    --load-stats-overlay=no --load-osd-console=no --load-auto-profiles=no --ytdl=no --osc=no
    --input-default-bindings=no --input-vo-keyboard=no --access-references=no --no-terminal
    --geometry=1920x1080+0+0 --no-border)

cpu_ticks() { awk '{print $14 + $15}' "/proc/$1/stat"; }
status_kib() { awk -v key="$2:" '$1 == key {print $2}' "/proc/$1/status"; }
median() { sort -g | awk '{v[NR] = $1} END {print (NR % 2) ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2}'; }

# measure PID : "<cpu %> <peak RSS MiB>" over MEASURE seconds, after a settle.
measure() {
    sleep 1
    local before after
    before=$(cpu_ticks "$1")
    sleep "$MEASURE"
    after=$(cpu_ticks "$1")
    awk -v t=$((after - before)) -v hz="$TICKS" -v s="$MEASURE" -v hwm="$(status_kib "$1" VmHWM)" \
        'BEGIN { printf "%.1f %.1f\n", 100 * t / hz / s, hwm / 1024 }'
}

ours=()
peer=()
for ((round = 1; round <= ROUNDS; round++)); do
    e2e_proc_start "player$round" "$DRIVER"
    e2e_proc_send "player$round" "start $CLIP" >/dev/null
    e2e_proc_wait "player$round" '^event first-frame' 20 >/dev/null
    ours+=("$(measure "$(e2e_proc_pid "player$round")")")
    e2e_proc_close "player$round" 20

    e2e_spawn mpv "${MPV_OPTIONS[@]}" "$CLIP"
    mpv_pid=$E2E_LAST_PID
    e2e_wait_for 20 xdotool search --pid "$mpv_pid" >/dev/null
    peer+=("$(measure "$mpv_pid")")
    kill "$mpv_pid"
    wait "$mpv_pid" || true
    echo "round $round: player ${ours[-1]}, mpv ${peer[-1]} (cpu %, peak rss MiB)"
done

cpu=$(printf '%s\n' "${ours[@]}" | cut -d' ' -f1 | median)
cpu_peer=$(printf '%s\n' "${peer[@]}" | cut -d' ' -f1 | median)
rss=$(printf '%s\n' "${ours[@]}" | cut -d' ' -f2 | median)
rss_peer=$(printf '%s\n' "${peer[@]}" | cut -d' ' -f2 | median)
awk -v a="$cpu" -v b="$cpu_peer" 'BEGIN {
    printf "playback_cpu_pct %s peer=mpv %s ratio=%.2f target=<=1.05\n", a, b, (b > 0 ? a / b : 0) }'
awk -v a="$rss" -v b="$rss_peer" 'BEGIN {
    printf "playback_peak_rss_mib %s peer=mpv %s target=value<=%.1f\n", a, b, b + 30 }'

# Time to the first frame, the player's and mpv's.
e2e_proc_start ttff "$DRIVER"
firsts=()
peer_firsts=()
stops=()
for ((i = 1; i <= STARTS; i++)); do
    e2e_proc_send ttff "start $CLIP" >/dev/null
    firsts+=("$(e2e_proc_wait ttff '^event first-frame' 20 | awk '{print $3}')")
    stops+=("$(e2e_proc_send ttff stop | awk '{print $2}')")

    log=$E2E_TMP/mpv-$i.log
    mpv "${MPV_OPTIONS[@]}" --idle=no --loop-file=no --end=0.5 --msg-time -v --log-file="$log" \
        "$CLIP" >/dev/null 2>&1 || true
    peer_firsts+=("$(awk -F'[][]' '/first video frame after restart shown/ {print $2 * 1000; exit}' "$log")")
done
first=$(printf '%s\n' "${firsts[@]}" | median)
first_peer=$(printf '%s\n' "${peer_firsts[@]}" | median)
echo "first frames (ms): player ${firsts[*]}; mpv ${peer_firsts[*]}"
printf 'playback_first_frame_ms %.0f peer=mpv %.0f target=value<300\n' "$first" "$first_peer"
# stop() waits for mpv to shut down (threads, decoder, video output).
echo "stop (ms): ${stops[*]}"
printf 'playback_stop_ms %.0f target=value<100\n' "$(printf '%s\n' "${stops[@]}" | median)"
e2e_proc_close ttff 20

# RSS over 100 starts alternating two clips, read after a stop at start 20 and
# at start 100. glibc's default malloc keeps freed frame buffers in its
# per-thread arenas and grows them in steps of several MiB, which would hide a
# slow leak or fake one; a fixed mmap threshold returns big buffers at once, so
# what stays resident after a stop is what the player really keeps.
clips=("$CLIP" "$SMALL")
MALLOC_MMAP_THRESHOLD_=131072 e2e_proc_start leak "$DRIVER"
for ((i = 1; i <= 100; i++)); do
    e2e_proc_send leak "start ${clips[i % 2]}" >/dev/null
    e2e_proc_wait leak '^event first-frame' 20 >/dev/null
    if [ "$i" -eq 20 ] || [ "$i" -eq 100 ]; then
        windows=$(xwininfo -root -children | grep -c '"player-driver": ("player-driver"' || true)
        e2e_proc_send leak stop >/dev/null
        rss_after[i]=$(status_kib "$(e2e_proc_pid leak)" VmRSS)
        echo "start $i: $windows player window(s) while playing; VmRSS after stop ${rss_after[i]} KiB"
    fi
done
awk -v a="${rss_after[20]}" -v b="${rss_after[100]}" \
    'BEGIN { printf "playback_rss_growth_mib %.1f starts=20..100 target=value<=2\n", (b - a) / 1024 }'
e2e_proc_close leak 20

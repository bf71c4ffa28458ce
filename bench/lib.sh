# Shell functions the benchmarks share; sourced, not run.

# median : the median of the numbers on standard input, one per line.
median() { sort -g | awk '{v[NR] = $1} END {print (NR % 2) ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2}'; }

# status_kib PID KEY : a "<KEY>: <n> kB" figure of /proc/PID/status.
status_kib() { awk -v key="$2:" '$1 == key {print $2}' "/proc/$1/status"; }

# ticks_of PID... : CPU time (user + system) of the processes, in clock ticks.
ticks_of() {
    local pid sum=0
    for pid in "$@"; do sum=$((sum + $(awk '{print $14 + $15}' "/proc/$pid/stat"))); done
    echo "$sum"
}

# measure PID... : "<cpu % summed> <peak RSS MiB of the first>" over
# MEASURE seconds (default 8), after a 1 s settle.
measure() {
    local seconds=${MEASURE:-8} before after
    sleep 1
    before=$(ticks_of "$@")
    sleep "$seconds"
    after=$(ticks_of "$@")
    awk -v t=$((after - before)) -v hz="$(getconf CLK_TCK)" -v s="$seconds" \
        -v hwm="$(status_kib "$1" VmHWM)" 'BEGIN { printf "%.1f %.1f\n", 100 * t / hz / s, hwm / 1024 }'
}

# column N LINE... : the median of the Nth space-separated field of the lines.
column() { printf '%s\n' "${@:2}" | cut -d' ' -f"$1" | median; }

# ratio_line FIGURE OURS PEER_NAME PEER TARGET : one figure line for bench/run.
ratio_line() {
    awk -v f="$1" -v a="$2" -v p="$3" -v b="$4" -v t="$5" 'BEGIN {
        printf "%s %s peer=%s %s ratio=%.2f target=%s\n", f, a, p, b, (b > 0 ? a / b : 0), t }'
}

# player_bench_setup NAME : for the benchmarks of the player, the player-driver
# of $BUILD (DRIVER), the repetitions (ROUNDS, MEASURE, STARTS) and a 4 s
# 1080p30 H.264 clip (CLIP), so that each measurement spans its loop.
player_bench_setup() {
    DRIVER=$BUILD/tests/e2e/player-driver
    [ -x "$DRIVER" ] || {
        echo "$1: $DRIVER is not built (target player-driver)" >&2
        exit 1
    }
    ROUNDS=${ROUNDS:-3}
    MEASURE=${MEASURE_SECONDS:-8}
    STARTS=${STARTS:-10}
    CLIP=$E2E_TMP/hd-1080p30.mp4
    ffmpeg -hide_banner -loglevel error -y -f lavfi -i testsrc2=size=1920x1080:rate=30:duration=4 \
        -c:v libx264 -preset veryfast -crf 23 -pix_fmt yuv420p -g 60 "$CLIP"
}

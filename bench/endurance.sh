#!/usr/bin/env bash
# Long-run benchmark of the helper, on Xvfb and a private session bus with the
# test tray host (tests/e2e/lib.sh sets the scene), its screen saver off:
#   - apply/stop pairs: 50 warm-up pairs, then PAIRS more (default 1,000) of the
#     checkout's sample wallpaper through lumivo:// URLs over D-Bus
#     (tests/e2e/apply_pairs.py), sampling RssAnon, PSS, descriptors and
#     threads after each stop. Figures: the RssAnon growth over the first 250
#     pairs after the warm-up (the target: 1 MiB) and over all of them, each end
#     the median of five samples; descriptors and threads must not grow;
#   - an hour of playback compressed: the helper plays a 320x180 clip at
#     LUMIVO_PLAYBACK_SPEED=SPEED (default 20) for PLAY_SECONDS (default 180)
#     of wall time, sampled every 10 s; the growth from the sample after 30 s
#     to the last. The hours played are measured, not assumed: the bytes the
#     process read (rchar) over the clip's size are its loops. Peer: mpv on the
#     same clip at the same speed, with the player's options.
# One line per figure:
#   endurance_pairs_rss_growth_mib <v> target=value<=1       (250 pairs)
#   endurance_pairs_all_rss_growth_mib <v> target=value<=1   (all PAIRS)
#   endurance_pairs_fd_growth <n> target=value<=0
#   endurance_pairs_thread_growth <n> target=value<=0
#   endurance_playback_hours <h> peer=mpv <h> target=value>=0.9
#   endurance_playback_rss_growth_mib <v> peer=mpv <v> target=value<=1
#   endurance_playback_pss_growth_mib <v> peer=mpv <v>   (shown, not judged: PSS
#       moves with the other processes that map the same libraries)
#   endurance_playback_fd_growth <n> target=value<=0
#   endurance_playback_thread_growth <n> target=value<=0
# Usage: bench/endurance.sh [build-dir]   (default $LUMIVO_BUILD_DIR or build)
BUILD=$(realpath "${1:-${LUMIVO_BUILD_DIR:-build}}")
source "$(dirname "$0")/../tests/e2e/lib.sh" "$@"
source "$(dirname "$0")/lib.sh"

HERE=$(cd "$(dirname "$0")" && pwd)
E2E=$HERE/../tests/e2e
# The helper with this checkout's sample gallery compiled in, whatever root (or
# none) the build gives lumivo-helper.
HELPER=$BUILD/tests/e2e/lumivo-helper-gallery
[ -x "$HELPER" ] || { echo "endurance.sh: $HELPER is not built" >&2; exit 1; }
PAIRS=${PAIRS:-1000}
SPEED=${SPEED:-20}
PLAY=${PLAY_SECONDS:-180}
PY=/usr/bin/python3

e2e_start_xvfb 640x360
mkdir -p "$XDG_CONFIG_HOME/Lumivo"
printf '[General]\nhasShownWelcome=true\n' >"$XDG_CONFIG_HOME/Lumivo/LumivoHelper.conf"
e2e_spawn "$PY" "$E2E/trayhost.py" serve >/dev/null
e2e_wait_for 10 gdbus introspect --session --dest org.kde.StatusNotifierWatcher \
    --object-path /StatusNotifierWatcher >/dev/null 2>&1

# mib_growth FILE FROM TO COLUMN : the growth of COLUMN (KiB) from the sample at
# FROM to the one at TO (first column), each the median of five, in MiB.
mib_growth() {
    local at
    at() { awk -v p="$2" -v c="$3" '$1 > p - 5 && $1 <= p {print $c}' "$1" | sort -n | sed -n 3p; }
    awk -v a="$(at "$1" "$2" "$4")" -v b="$(at "$1" "$3" "$4")" \
        'BEGIN { printf "%.2f\n", (b - a) / 1024 }'
}
count_growth() { # FILE FROM TO COLUMN
    awk -v f="$2" -v t="$3" -v c="$4" '$1 == f {a = $c} $1 == t {b = $c} END {print b - a}' "$1"
}

# ---- apply/stop pairs -------------------------------------------------------------
e2e_helper_start pairs
SAMPLES=$E2E_TMP/pairs.samples
started=$SECONDS
"$PY" "$E2E/apply_pairs.py" "$PID" "$LOG" aurora-veil $((50 + PAIRS)) 0.1 >"$SAMPLES" || {
    echo "endurance.sh: the pairs did not complete" >&2
    exit 1
}
echo "$((50 + PAIRS)) pairs in $((SECONDS - started)) s"
awk 'NR % 100 == 50 {printf "    pair %d: RssAnon %d KiB, PSS %d KiB, %d descriptors, %d threads\n", $1, $2, $3, $4, $5}' \
    "$SAMPLES"
last=$((50 + PAIRS)) short=$((50 + (PAIRS < 250 ? PAIRS : 250)))
echo "endurance_pairs_rss_growth_mib $(mib_growth "$SAMPLES" 50 "$short" 2) target=value<=1"
echo "endurance_pairs_all_rss_growth_mib $(mib_growth "$SAMPLES" 50 "$last" 2) target=value<=1"
# PSS moves with every other process that maps the same libraries, so it is
# shown, not judged.
echo "PSS grew by $(mib_growth "$SAMPLES" 50 "$last" 3) MiB from pair 50 to pair $last"
echo "endurance_pairs_fd_growth $(count_growth "$SAMPLES" 50 "$last" 4) target=value<=0"
echo "endurance_pairs_thread_growth $(count_growth "$SAMPLES" 50 "$last" 5) target=value<=0"
e2e_helper_terminate

# ---- an hour of playback, compressed ------------------------------------------
# The remembered wallpaper, a cached copy, so that a start restores it.
mkdir -p "$XDG_CACHE_HOME/Lumivo/wallpapers"
ffmpeg -hide_banner -loglevel error -y -f lavfi \
    -i testsrc2=size=320x180:rate=30:duration=8 -c:v libx264 -preset veryfast -pix_fmt yuv420p \
    -g 30 "$E2E_TMP/clip.mp4"
sha=$(sha256sum "$E2E_TMP/clip.mp4" | cut -c1-64)
CLIP=$XDG_CACHE_HOME/Lumivo/wallpapers/clip-${sha:0:12}.mp4
mv "$E2E_TMP/clip.mp4" "$CLIP"
CLIP_BYTES=$(stat -c %s "$CLIP")
cat >>"$XDG_CONFIG_HOME/Lumivo/LumivoHelper.conf" <<EOS

[lastWallpaper]
id=clip
title=Clip
file=$CLIP
sha256=$sha
bytes=$CLIP_BYTES
EOS

# sample PID SECONDS : every 10 s, "<second> <RssAnon KiB> <PSS KiB> <descriptors>
# <threads> <bytes read>".
sample() {
    local pid=$1 t
    for ((t = 0; t <= $2; t += 10)); do
        printf '%s %s %s %s %s %s\n' "$t" "$(status_kib "$pid" RssAnon)" \
            "$(awk '/^Pss:/ {print $2}' "/proc/$pid/smaps_rollup")" \
            "$(ls "/proc/$pid/fd" | wc -l)" "$(status_kib "$pid" Threads)" \
            "$(awk '/^rchar:/ {print $2}' "/proc/$pid/io")"
        [ "$t" -lt "$2" ] && sleep 10
    done
}
# hours FILE : the playback the bytes read from 0 s to the end amount to.
hours() {
    awk -v size="$CLIP_BYTES" 'NR == 1 {a = $6} {b = $6} END {printf "%.2f\n", (b - a) / size * 8 / 3600}' "$1"
}
figures() { # FILE : "<hours> <RssAnon growth MiB> <PSS growth MiB> <fd growth> <thread growth>"
    local to=$((PLAY / 10 * 10))
    echo "$(hours "$1") $(awk -v t="$to" '$1 == 30 {r = $2; p = $3; f = $4; h = $5}
        $1 == t {printf "%.2f %.2f %d %d\n", ($2 - r) / 1024, ($3 - p) / 1024,
                    $4 - f, $5 - h}' "$1")"
}

export LUMIVO_PLAYBACK_SPEED=$SPEED
e2e_helper_start playback
unset LUMIVO_PLAYBACK_SPEED
e2e_wait_for 10 grep -q 'Restored Clip' "$LOG" || { cat "$LOG" >&2; exit 1; }
sample "$PID" "$PLAY" >"$E2E_TMP/ours.samples"
e2e_helper_terminate
e2e_spawn mpv --no-config --vo=x11 --aid=no --sid=no --loop-file=inf --panscan=1.0 \
    --keepaspect=yes --hwdec=auto-safe --stop-screensaver=no --load-scripts=no --osc=no \
    --input-default-bindings=no --no-terminal --no-border --geometry=640x360+0+0 \
    --speed="$SPEED" "$CLIP"
MPV=$E2E_LAST_PID
sleep 1
sample "$MPV" "$PLAY" >"$E2E_TMP/mpv.samples"
kill "$MPV"
sed 's/^/    ours: /' "$E2E_TMP/ours.samples"
sed 's/^/    mpv:  /' "$E2E_TMP/mpv.samples"
read -r h r p f t <<<"$(figures "$E2E_TMP/ours.samples")"
read -r mh mr mp _ _ <<<"$(figures "$E2E_TMP/mpv.samples")"
echo "endurance_playback_hours $h peer=mpv $mh target=value>=0.9"
echo "endurance_playback_rss_growth_mib $r peer=mpv $mr target=value<=1"
echo "endurance_playback_pss_growth_mib $p peer=mpv $mp"
echo "endurance_playback_fd_growth $f target=value<=0"
echo "endurance_playback_thread_growth $t target=value<=0"
exit 0

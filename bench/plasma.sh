#!/usr/bin/env bash
# Playback inside KDE Plasma: the helper's frames shown by the wallpaper
# package on every desktop (one decode, shared memory) against the peers'
# way, the video played inside each desktop by QtMultimedia
# (bench/plasma-peer: Video, muted, looping, cropped to fill). plasmashell in
# kwin_wayland on virtual 1280x720 outputs; the clip is 1080p30 H.264,
# generated here. Scenes: one output, two outputs.
# Figures, medians of ROUNDS (default 3) rounds, ours and the peer
# interleaved; CPU of helper + plasmashell + KWin (the peer: plasmashell +
# KWin) from utime+stime over MEASURE_SECONDS (default 8) after a 1 s settle;
# first frame, from the apply sent (the peer: its plugin set) to the clip's
# colours on screen in KWin's screenshots (plasma-bed wait-video, which takes
# them one after the other), median of STARTS (default 5), one output.
# Beside the CPU, the frames plasmashell drew a second over the same seconds
# (all desktops' windows; Qt's QSG_RENDER_TIMING log lines): a player that
# cannot keep up draws fewer and costs less for it.
# Usage: bench/plasma.sh [build-dir]   (default $LUMIVO_BUILD_DIR or build)
BUILD=$(realpath "${1:-${LUMIVO_BUILD_DIR:-build}}")
source "$(dirname "$0")/../tests/e2e/lib.sh" "$@"
source "$(dirname "$0")/lib.sh"
set -e

HELPER=$BUILD/tests/plasma/lumivo-helper-plasma-e2e
BED=$BUILD/tests/plasma/plasma-bed
PACKAGES=$BUILD/plasma-wallpaper/share
for needed in "$HELPER" "$BED" "$PACKAGES/plasma/wallpapers/app.lumivo.wallpaper"; do
    [ -e "$needed" ] || {
        echo "plasma.sh: $needed is not built" >&2
        exit 1
    }
done
ROUNDS=${ROUNDS:-3}
MEASURE=${MEASURE_SECONDS:-8}
STARTS=${STARTS:-5}

# The helper's checkout (its project root is compiled in) with the clip.
ROOT=$BUILD/tests/plasma/plasma-gallery
rm -rf "$ROOT"
trap 'rm -rf "$ROOT"; e2e_cleanup' EXIT
mkdir -p "$ROOT/web/public/api" "$ROOT/web/public/assets/wallpapers"
CLIP=$ROOT/web/public/assets/wallpapers/local.mp4
ffmpeg -hide_banner -loglevel error -y -f lavfi -i testsrc2=size=1920x1080:rate=30:duration=4 \
    -c:v libx264 -preset veryfast -crf 23 -pix_fmt yuv420p -g 60 "$CLIP"
echo "[$(e2e_record local "Local Clip" https://localhost/assets/wallpapers/local.mp4 "$CLIP")]" \
    >"$ROOT/web/public/api/wallpapers.json"
mkdir -p "$XDG_CONFIG_HOME/Lumivo" "$XDG_DATA_HOME/plasma/wallpapers"
printf '[General]\nhasShownWelcome=true\n' >"$XDG_CONFIG_HOME/Lumivo/LumivoHelper.conf"
cp -r "$(dirname "$0")/plasma-peer" "$XDG_DATA_HOME/plasma/wallpapers/app.lumivo.bench.qtmultimedia"
LOG=$E2E_TMP/helper.log

set_plugin() { # PLUGIN [SOURCE]
    e2e_plasma_script "desktops().forEach(function (d) {
        d.currentConfigGroup = ['Wallpaper', '$1', 'General'];
        if ('${2:-}') d.writeConfig('Source', '${2:-}');
        d.wallpaperPlugin = '$1'; })" >/dev/null
}
plugins_are() { [ "$(e2e_plasma_script 'desktops().forEach(function (d) { print(d.wallpaperPlugin + "\n"); })' | grep . | sort -u)" = "$1" ]; }
area() { convert "$1" -crop 800x400+240+100 +repage rgb:- | md5sum | cut -c1-32; }
# Both screenshots of the first desktop's middle differ: the video moves.
moving() {
    "$BED" screenshot "$E2E_TMP/a.png" && sleep 0.2 && "$BED" screenshot "$E2E_TMP/b.png" &&
        [ "$(area "$E2E_TMP/a.png")" != "$(area "$E2E_TMP/b.png")" ]
}
now_ms() { echo $(($(date +%s%N) / 1000000)); }
# One line of plasmashell's log per frame a window of it drew.
export QSG_RENDER_TIMING=1
drawn() { grep -c "Frame rendered" "$E2E_TMP/plasmashell.log" || true; }
# cpu_and_frames PID... : "<cpu % summed> <frames drawn a second>", both over
# the same MEASURE seconds after a 1 s settle.
cpu_and_frames() {
    local before after first last
    sleep 1
    before=$(ticks_of "$@") first=$(drawn)
    sleep "$MEASURE"
    after=$(ticks_of "$@") last=$(drawn)
    awk -v t=$((after - before)) -v f=$((last - first)) -v hz="$(getconf CLK_TCK)" -v s="$MEASURE" \
        'BEGIN { printf "%.1f %.1f\n", 100 * t / hz / s, f / s }'
}

scene() { # OUTPUTS : sets OURS and PEER (one "<cpu> <frames a second>" line per round)
    OURS=() PEER=()
    e2e_start_kwin_wayland "$1"
    e2e_start_plasmashell "$PACKAGES"
    # The last scene's plasmashell may have ended before saving its last
    # wallpaper: each scene starts from Plasma's image wallpaper.
    set_plugin org.kde.image
    e2e_wait_for 20 plugins_are org.kde.image
    # A helper per scene: a Qt application on Wayland ends with its compositor.
    : >"$LOG"
    e2e_spawn "$HELPER" 2>>"$LOG"
    HELPER_PID=$E2E_LAST_PID
    e2e_wait_for 10 grep -q 'Helper started' "$LOG"
    local round
    for ((round = 0; round < ROUNDS; round++)); do
        "$HELPER" lumivo://apply/local
        e2e_wait_for 20 moving
        OURS+=("$(cpu_and_frames "$HELPER_PID" "$E2E_PLASMASHELL_PID" "$E2E_KWIN_PID")")
        "$HELPER" lumivo://stop
        e2e_wait_for 20 plugins_are org.kde.image
        set_plugin app.lumivo.bench.qtmultimedia "file://$CLIP"
        e2e_wait_for 20 moving
        PEER+=("$(cpu_and_frames "$E2E_PLASMASHELL_PID" "$E2E_KWIN_PID")")
        set_plugin org.kde.image
        e2e_wait_for 20 plugins_are org.kde.image
    done
}

# first_frames : STARTS times each, ours then the peer's, in the running scene.
first_frames() {
    FIRST=() PEER_FIRST=()
    local i start sender
    for ((i = 0; i < STARTS; i++)); do
        sleep 1
        start=$(now_ms)
        "$HELPER" lumivo://apply/local &
        sender=$!
        "$BED" wait-video 20000 >/dev/null
        FIRST+=($(($(now_ms) - start)))
        wait "$sender"
        "$HELPER" lumivo://stop
        e2e_wait_for 20 plugins_are org.kde.image
        sleep 1
        start=$(now_ms)
        set_plugin app.lumivo.bench.qtmultimedia "file://$CLIP" &
        sender=$!
        "$BED" wait-video 20000 >/dev/null
        PEER_FIRST+=($(($(now_ms) - start)))
        wait "$sender"
        set_plugin org.kde.image
        e2e_wait_for 20 plugins_are org.kde.image
    done
}

stop_scene() {
    kill "$HELPER_PID" "$E2E_PLASMASHELL_PID" "$E2E_KWIN_PID" 2>/dev/null || true
    wait "$HELPER_PID" "$E2E_PLASMASHELL_PID" "$E2E_KWIN_PID" 2>/dev/null || true
    # kwin_wayland leaves its socket's lock behind only briefly.
    e2e_wait_for 10 eval '! test -S "$XDG_RUNTIME_DIR/$WAYLAND_DISPLAY"' || true
}

# figures CPU_FIGURE FRAMES_FIGURE PEER_NAME TARGET : the scene's two lines.
figures() {
    ratio_line "$1" "$(column 1 "${OURS[@]}")" "$3" "$(column 1 "${PEER[@]}")" "$4"
    printf '%s %s peer=%s %s\n' "$2" "$(column 2 "${OURS[@]}")" "$3" "$(column 2 "${PEER[@]}")"
}

scene 1
figures plasma_cpu_pct plasma_frames_per_s qtmultimedia "<=1.0"
first_frames
printf 'plasma_first_frame_ms %.0f peer=qtmultimedia %.0f target=value<300\n' \
    "$(printf '%s\n' "${FIRST[@]}" | median)" "$(printf '%s\n' "${PEER_FIRST[@]}" | median)"
stop_scene

scene 2
figures plasma_cpu_2out_pct plasma_frames_2out_per_s 2xqtmultimedia "<=0.7"

#!/usr/bin/env bash
# End-to-end test of "Each Screen Separately" on Xorg's two monitors (DUMMY0,
# 1280x720+0+0 and primary, beside DUMMY1, 960x720+1280+0): an apply lands
# on the monitor under the pointer while the other keeps playing its own
# video, both come back after a restart with no manifest anywhere, a
# monitor missing at a start is skipped and comes back with the monitor, and
# with OpenGL a decode let go of leaves the other drawing. The real helper
# (as helper.sh builds it), its checkout's clips only.
#
#   each-screen.sh HELPER PROJECT_ROOT PORT
HELPER=$(realpath "$1") ROOT=$(realpath -m "$2") PORT=$3
source "$(dirname "$0")/lib.sh"

e2e_helper_scene
e2e_clip_checkout
# A second clip that tells itself apart on screen: the same moving picture
# with its green and blue taken out.
RED=$ROOT/web/public/assets/wallpapers/red.mp4
ffmpeg -hide_banner -loglevel error -y -i "$CLIP" -vf colorchannelmixer=gg=0:bb=0:gr=0:br=0 \
    -c:v libx264 -pix_fmt yuv420p "$RED"
echo "[$(e2e_record local "Local Clip" https://localhost/assets/wallpapers/local.mp4 "$CLIP"),$(
    e2e_record red "Red Clip" https://localhost/assets/wallpapers/red.mp4 "$RED")]" \
    >"$PUBLIC/api/wallpapers.json"

e2e_start_xorg_monitors 960
# The server keeps the pointer on the outputs that show a picture, so the
# second monitor is a second output here rather than a part of the first's.
second_on() { xrandr --output DUMMY1 --mode 960x720 --pos 1280x0; }
xrandr --delmonitor second
xrandr --newmode 960x720 56.16 960 1008 1104 1248 720 721 724 750 -hsync +vsync
xrandr --addmode DUMMY1 960x720
second_on
first=1280x720+0+0 second=960x720+1280+0
mkdir -p "$(dirname "$CONF")"
printf '[General]\nhasShownWelcome=true\nscreens=each\n' >"$CONF"

# ---- helpers (checks run these in a subshell of this shell) ----------------
# The mean of one colour channel (red, green) on a monitor, 0 to 1.
channel() {
    import -window root "$E2E_TMP/shot.miff"
    convert "$E2E_TMP/shot.miff" -crop "$2" +repage -format "%[fx:mean.$1]" info:
}
green_on() { channel green "$1"; }
# The monitor shows a picture that changes: two shots a third of a second apart.
moving() {
    import -window root -crop "$1" +repage "$E2E_TMP/a.miff"
    sleep 0.3
    import -window root -crop "$1" +repage "$E2E_TMP/b.miff"
    local changed
    changed=$(compare -metric AE -fuzz 3% "$E2E_TMP/a.miff" "$E2E_TMP/b.miff" null: 2>&1)
    echo "pixels changed on $1: $changed"
    [ "${changed%%.*}" -gt 1000 ]
}
# The monitor shows the clip of its name: "local" has colour in every
# channel, "red" no green.
shows() {
    local green
    green=$(green_on "$2")
    echo "green on $2: $green"
    if [ "$1" = red ]; then
        awk -v g="$green" 'BEGIN {exit !(g < 0.03)}'
    else
        awk -v g="$green" 'BEGIN {exit !(g > 0.15)}'
    fi
}
settled_on() { e2e_wait_for 10 shows "$1" "$2" && e2e_wait_for 5 moving "$2"; }
both_play() { settled_on "$1" "$first" && settled_on "$2" "$second"; }
decodes() { ls -l "/proc/$PID/fd" | grep -c -- "-> $1\$"; }

# ---- an apply lands on the monitor under the pointer ------------------------
e2e_helper_start each
xdotool mousemove 300 300
e2e_helper_send lumivo://apply/local
verify "nothing played: the first apply covers both monitors" wait_line "Applied Local Clip"
verify "both show it, moving" both_play local local
xdotool mousemove 1600 300
e2e_helper_send lumivo://apply/red
verify "the second apply is logged as any apply" wait_line "Applied Red Clip"
verify "it lands on the monitor under the pointer while the first plays on" both_play local red
verify "one decode per video: each file is open once" \
    test "$(decodes "$CLIP")" -eq 1 -a "$(decodes "$RED")" -eq 1
verify "the settings keep the second monitor's by its name" grep -qxF '1\screen=DUMMY1' "$CONF"

# ---- both come back after a restart, with no manifest anywhere -------------
e2e_helper_terminate
mv "$PUBLIC/api/wallpapers.json" "$E2E_TMP/manifest.json"
e2e_helper_start restart
verify "the wallpaper of every monitor comes back" wait_line "Restored Local Clip"
verify "and the second monitor's own" wait_line "Restored Red Clip on DUMMY1"
verify "both play their own again" both_play local red
verify "no manifest was read" test "$(lines_matching 'manifest')" -eq 0

# ---- a monitor missing at login is skipped with one line ---------------------
e2e_helper_terminate
xrandr --output DUMMY1 --off
e2e_helper_start missing
verify "a missing monitor's wallpaper is skipped in one line" \
    wait_line "Skipped Red Clip on DUMMY1: the screen is not connected"
verify "the other plays" e2e_wait_for 10 settled_on local "$first"
e2e_helper_terminate
second_on
e2e_helper_start back
verify "a login with it connected again plays it there" wait_line "Restored Red Clip on DUMMY1"
verify "both play their own once more" both_play local red

# ---- OpenGL: a decode let go of leaves the other one drawing -----------------
# Each decode has its own OpenGL context on the one EGL display.
e2e_helper_terminate
mv "$E2E_TMP/manifest.json" "$PUBLIC/api/wallpapers.json"
LUMIVO_RENDER=gl e2e_helper_start gl
verify "OpenGL: both come back" both_play local red
xdotool mousemove 1600 300
e2e_helper_send lumivo://apply/local
verify "OpenGL: the second monitor's video goes back to the first one's" both_play local local
verify "OpenGL: its decode is let go of" e2e_wait_for 10 test "$(decodes "$RED")" -eq 0
verify "OpenGL: the helper reports no failure" \
    test "$(lines_matching '^\[LumivoHelper\] .*\(EGL\|annot\|ailed\)')" -eq 0

e2e_finish

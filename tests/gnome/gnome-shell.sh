#!/usr/bin/env bash
# The helper with the Lumivo Wallpaper extension in a headless GNOME Shell 43
# with two virtual monitors (1280x720, and 1024x768 to its right): the video
# inside the Shell's backgrounds on both monitors and in the overview, windows
# above it, its surfaces out of the Shell's window list, the screen modes, the
# decode resting under a fullscreen window, Stop, the extension disabled and
# enabled again from the tray, and a window that only calls itself ours.
# Checked with the Shell's own screenshots and window list (gnome_shell.py).
# PLATFORM wayland runs the Shell without XWayland and the helper as a native
# Wayland client; xcb runs the Shell with XWayland and the helper through it
# (its wallpaper surfaces stay Wayland toplevels either way).
#
#   gnome-shell.sh HELPER PROJECT_ROOT EXTENSION_DIR wayland|xcb
HELPER=$1 ROOT=$2 EXTENSION=$3 PLATFORM=$4
source "$(dirname "$0")/../e2e/lib.sh"

HERE=$(cd "$(dirname "$0")" && pwd)
# The Shell draws and takes screenshots with llvmpipe: a check that waits for
# a few of them needs longer than the default on a busy machine.
export E2E_CHECK_TIMEOUT=${E2E_CHECK_TIMEOUT:-45}
PY=/usr/bin/python3
LOG=$E2E_TMP/helper.log
: >"$LOG"
shell() { "$PY" "$HERE/gnome_shell.py" "$@"; }
tray() { "$PY" "$HERE/../e2e/trayhost.py" "$@"; }
has_line() { grep -qF "[LumivoHelper] $1" "$LOG"; }
wait_line() { e2e_wait_for 15 has_line "$1"; }
wait_text() { e2e_wait_for 15 grep -qF "$1" "$LOG"; }

# Regions of the stage (2304x768) away from the panel and notifications.
FIRST=1000x380+140+300 SECOND=800x380+1392+300
shot() { shell screenshot "$E2E_TMP/$1.png"; }
# region SHOT WxH+X+Y NAME : the pixels alone (a PNG would differ in its dates).
region() { convert "$E2E_TMP/$1.png" -crop "$2" +repage "RGB:$E2E_TMP/$1-$3.rgb"; }
# moving REGION : two screenshots a moment apart differ there.
changed_in() { shot b && region b "$1" r && ! cmp -s "$E2E_TMP/a-r.rgb" "$E2E_TMP/b-r.rgb"; }
moving() { shot a && region a "$1" r && e2e_wait_for 10 changed_in "$1"; }
still() { shot a && region a "$1" r && sleep 0.7 && ! changed_in "$1"; }
# fraction REGION COLOUR : how much of the region has that colour, 0 to 1.
fraction() {
    shot f && convert "$E2E_TMP/f.png" -crop "$1" +repage -fill black +opaque "$2" \
        -fill white -opaque "$2" -format '%[fx:mean]' info:
}
mostly() { awk -v f="$(fraction "$1" "$2")" 'BEGIN { exit !(f > 0.9) }'; }
listed() { shell windows | grep -q "$1"; }
focus_is() {
    local focus
    focus=$(shell focus)
    [ "$focus" = "$1" ] || { echo "the focus is on '$focus'" && return 1; }
}
# coverage_is FIRST SECOND : what the extension reports of each monitor.
coverage_is() {
    [ "$(shell coverage | tr '\n' ' ')" = "0 0 1280 720 $1 1280 0 1024 768 $2 " ]
}

# The developer checkout with one clip, so that nothing goes to the network.
e2e_clip_checkout
mkdir -p "$XDG_CONFIG_HOME/Lumivo"
printf '[General]\nhasShownWelcome=true\n' >"$XDG_CONFIG_HOME/Lumivo/LumivoHelper.conf"

if [ "$PLATFORM" = xcb ]; then
    e2e_start_gnome_shell --x11 --extension "$EXTENSION" 1280x720 1024x768
    export DISPLAY=$E2E_XWAYLAND_DISPLAY QT_QPA_PLATFORM=xcb
else
    e2e_start_gnome_shell --extension "$EXTENSION" 1280x720 1024x768
    unset DISPLAY
    export QT_QPA_PLATFORM=wayland
fi
shell overview off
# The baseline for Stop: the Shell's own backgrounds once the overview has
# gone and the picture holds still. Taken at once, a loaded Shell could
# still be drawing the overview, and the check after Stop failed against it.
overview_off() { [ "$(shell overview)" = off ]; }
settled() {
    shot plain && region plain 2304x768+0+0 all && sleep 0.5 && shot again &&
        region again 2304x768+0+0 all && cmp -s "$E2E_TMP/plain-all.rgb" "$E2E_TMP/again-all.rgb"
}
e2e_wait_for 10 overview_off && e2e_wait_for 30 settled ||
    echo "gnome-shell.sh: the plain background did not settle" >&2
e2e_start_tray_host
e2e_spawn "$HELPER" 2>>"$LOG"
HELPER_PID=$E2E_LAST_PID
verify "the helper starts" wait_line "Helper started."
menu_has() { tray menu | grep -qF "$1"; }
e2e_wait_for 10 menu_has "Quit Helper"

# ---- the video in the Shell's backgrounds ---------------------------------------
"$HELPER" lumivo://apply/local
verify "a wallpaper applies" wait_line "Applied Local Clip"
verify "without a word about a missing integration" eval '! has_line "GNOME integration is off"'
verify "the first monitor shows the moving video" moving "$FIRST"
verify "and the second" moving "$SECOND"
verify "no wallpaper surface is in the Shell's window list" eval '! listed lumivo'
verify "nor offered as enabling the integration" eval '! menu_has "Enable GNOME Integration"'
shell overview on
verify "the overview shows it on the first monitor's workspace" moving 400x200+440+320
verify "and on the second's" moving 400x200+1480+320
shell overview off
verify "the extension reports both monitors visible" coverage_is visible visible

# ---- windows stay above it -------------------------------------------------------------
e2e_spawn foot --override=colors.background=ffff00 --window-size-pixels=1200x640 \
    --title=cover sh -c 'exec sleep 600' 2>/dev/null
FOOT=$E2E_LAST_PID
verify "a foot window is drawn above the wallpaper" e2e_wait_for 10 mostly 800x300+200+200 '#ffff00'
verify "and has the focus, not a wallpaper surface" e2e_wait_for 5 focus_is cover
"$HELPER" lumivo://apply/local
applied_twice() { [ "$(grep -c 'Applied Local Clip' "$LOG")" = 2 ]; }
verify "a second apply makes new wallpaper surfaces" e2e_wait_for 15 applied_twice
verify "which play (the second monitor; foot covers the first)" moving "$SECOND"
verify "and leave the focus where it is" focus_is cover
kill "$FOOT"

# ---- screen modes, and a fullscreen window resting the decode -----------------------------
tray click "Main Screen Only"
verify "Main Screen Only leaves the second monitor's plain background" e2e_wait_for 10 still "$SECOND"
verify "while the first plays on" moving "$FIRST"
e2e_spawn foot --fullscreen --title=full sh -c 'exec sleep 600' 2>/dev/null
FULL=$E2E_LAST_PID
verify "the extension reports the first monitor covered" \
    e2e_wait_for 10 coverage_is covered visible
verify "a fullscreen window on it pauses the decode" wait_line "Paused: desktop covered"
kill "$FULL"
verify "closing it resumes" wait_line "Resumed"
verify "with new frames" moving "$FIRST"
tray click "Span Across Screens"
verify "Span Across Screens plays on the first monitor" moving "$FIRST"
verify "and on the second again" e2e_wait_for 10 moving "$SECOND"
tray click "All Screens"

# ---- the extension going and coming back ------------------------------------------------
gnome-extensions disable lumivo-wallpaper@lumivo.app
verify "a disabled extension is noticed and the enabling command named" \
    wait_text "run gnome-extensions enable lumivo-wallpaper@lumivo.app"
verify "no wallpaper window is left among the Shell's windows" eval '! listed lumivo'
"$HELPER" lumivo://ping
verify "the helper keeps answering" wait_line ping
verify "the tray offers Enable GNOME Integration" e2e_wait_for 10 menu_has "Enable GNOME Integration"
tray click "Enable GNOME Integration"
verify "which enables it" wait_line "GNOME integration enabled"
verify "and the wallpaper comes back on the first monitor" e2e_wait_for 15 moving "$FIRST"
verify "and on the second" moving "$SECOND"
verify "still out of the window list" eval '! listed lumivo'

# ---- Stop --------------------------------------------------------------------------------------
tray click "Stop Wallpaper"
verify "Stop stops it" wait_line "Stopped wallpaper"
verify "and leaves the plain background on the first monitor" e2e_wait_for 10 still "$FIRST"
verify "and on the second" still "$SECOND"
plain_again() {
    shot now && region now "$SECOND" r && region plain "$SECOND" r &&
        cmp -s "$E2E_TMP/now-r.rgb" "$E2E_TMP/plain-r.rgb"
}
# Waited for: on a loaded machine the second monitor's background was seen
# still different right after Stop, once in about ten runs.
verify "the same as before the first apply" e2e_wait_for 10 plain_again

# ---- a window that only calls itself ours ---------------------------------------------------
e2e_spawn foot --app-id=lumivo-wallpaper --title="lumivo-wallpaper 0 0 1280 720" \
    --override=colors.background=00ffff --window-size-pixels=1200x640 sh -c 'exec sleep 600' \
    2>/dev/null
verify "another program's window named like ours stays an ordinary window" \
    e2e_wait_for 10 eval 'listed lumivo-wallpaper && mostly 800x300+200+200 "#00ffff"'

tray click "Quit Helper"
exited() { ! kill -0 "$HELPER_PID" 2>/dev/null; }
verify "Quit ends the helper" e2e_wait_for 10 exited
e2e_finish

#!/usr/bin/env bash
# The helper in a Wayland session on headless sway with two outputs: alerts as
# windows of the compositor, the tray through the test tray host, hand-overs
# over the private session bus, and the wallpaper on a background layer surface
# of each output (checked with grim). PLATFORM wayland runs it as a native
# Wayland client without X (keys typed with wtype); xcb runs it under sway's
# XWayland (keys typed with xdotool there), where it must still choose the
# layer-shell backend. RENDER, when given, forces the render path.
#
#   helper-wayland.sh HELPER PROJECT_ROOT wayland|xcb [gl|sw]
HELPER=$1 ROOT=$2 PLATFORM=$3
source "$(dirname "$0")/../e2e/lib.sh"
[ -z "${4:-}" ] || export LUMIVO_RENDER=$4

HERE=$(cd "$(dirname "$0")/../e2e" && pwd)
PY=/usr/bin/python3
LOG=$E2E_TMP/helper.log
OPENED=$E2E_TMP/opened
: >"$LOG" >"$OPENED"
mkdir -p "$E2E_TMP/bin"
printf '#!/bin/sh\necho "$1" >>"%s"\n' "$OPENED" >"$E2E_TMP/bin/xdg-open"
chmod +x "$E2E_TMP/bin/xdg-open"
export PATH="$E2E_TMP/bin:$PATH"

has_line() { grep -qF "[LumivoHelper] $1" "$LOG"; }
wait_line() { e2e_wait_for 10 has_line "$1"; }
tray() { "$PY" "$HERE/trayhost.py" "$@"; }
shell=xdg_shell
[ "$PLATFORM" = xcb ] && shell=xwayland
alert_shown() {
    swaymsg -t get_tree |
        jq -e --arg s $shell '.. | objects | select(.name? == "Lumivo Helper" and .shell == $s)' \
            >/dev/null
}
alert_gone() { ! alert_shown; }
# Keys go to the focused window: on a loaded machine the alert can be mapped a
# moment before sway gives it the keyboard.
alert_focused() {
    swaymsg -t get_tree |
        jq -e --arg s $shell '.. | objects | select(.name? == "Lumivo Helper" and .shell == $s and .focused)' \
            >/dev/null
}
type_keys() {
    if [ "$PLATFORM" = xcb ]; then
        xdotool key --delay 50 "$@"
    else
        wtype $(printf -- '-k %s ' "$@")
    fi
}
answer_alert() { e2e_wait_for 10 alert_focused && type_keys "$@" && e2e_wait_for 10 alert_gone; }
# moving OUTPUT : two screenshots of the output, a moment apart, differ.
changed_since() { grim -o "$1" "$E2E_TMP/b.png" && ! cmp -s "$E2E_TMP/a.png" "$E2E_TMP/b.png"; }
moving() { grim -o "$1" "$E2E_TMP/a.png" && e2e_wait_for 5 changed_since "$1"; }
still() { grim -o "$1" "$E2E_TMP/a.png" && sleep 0.5 && ! changed_since "$1"; }
menu_has() { tray menu | grep -xF "$1" >/dev/null; }
wait_menu() { e2e_wait_for 10 menu_has "$1"; }

# The developer checkout with one clip, so that nothing goes to the network.
e2e_clip_checkout

e2e_start_sway 640x360 480x360
export QT_QPA_PLATFORM=$PLATFORM
if [ "$PLATFORM" = xcb ]; then
    export DISPLAY=$E2E_XWAYLAND_DISPLAY
else
    unset DISPLAY
fi
e2e_start_tray_host
# A keyboard on the seat from the start: sway has no input devices, and keys
# typed by a wtype that brings the seat's first keyboard can reach the client
# before its wl_keyboard does. This one idles until the end.
e2e_spawn wtype -s 3600000
e2e_spawn "$HELPER" 2>>"$LOG"
HELPER_PID=$E2E_LAST_PID

verify "the welcome alert is a window of the compositor" e2e_wait_for 10 alert_shown
verify "and takes keys" answer_alert Return
verify "its default button opens the gallery" e2e_wait_for 5 grep -q live-wallpapers "$OPENED"
verify "the helper starts after it" wait_line "Helper started."
menu_has_quit() { tray menu | grep -qF 'Quit Helper'; }
verify "the tray icon and its menu reach the tray host" e2e_wait_for 10 menu_has_quit
"$HELPER" lumivo://ping
verify "hand-overs reach it" wait_line ping

"$HELPER" lumivo://apply/local
verify "a wallpaper applies" wait_line "Applied Local Clip"
if [ "${LUMIVO_RENDER:-}" = gl ]; then
    verify "drawn with OpenGL through EGL on Wayland" has_line "Rendering with OpenGL ("
else
    verify "drawn in software into shared memory" has_line "Rendering in software"
fi
verify "it plays on the first output" moving HEADLESS-1
verify "and on the second" moving HEADLESS-2
verify "on a background layer surface of each output" \
    eval '[ "$(swaymsg -t get_outputs -r | jq "[.[] | select(.active)] | length")" = 2 ] &&
          ! grep -q "offers no background layer" "$LOG"'
swaymsg output HEADLESS-2 disable >/dev/null
verify "an output that goes away leaves the other playing" moving HEADLESS-1
swaymsg output HEADLESS-2 enable >/dev/null
verify "an output that comes back gets its surface again" e2e_wait_for 10 moving HEADLESS-2
# A fullscreen window hides the wallpaper on its output (sway then stops
# calling back for the surface); the decode rests when every output is hidden.
cover() { # OUTPUT : a fullscreen foot window there
    swaymsg focus output "$1" >/dev/null
    e2e_spawn foot --title="cover-$1" sh -c 'exec sleep 600' 2>/dev/null
    COVER[$1]=$E2E_LAST_PID
    e2e_wait_for 10 swaymsg "[title=\"^cover-$1\$\"] fullscreen enable" >/dev/null
}
declare -A COVER=()
cover HEADLESS-1
sleep 1.5 # a surface counts as hidden after a second without frames
verify "one covered output of two does not pause" eval '! has_line "Paused: "'
verify "the other goes on playing" moving HEADLESS-2
cover HEADLESS-2
verify "both covered pauses the decode" wait_line "Paused: desktop covered"
kill "${COVER[HEADLESS-2]}"
verify "uncovering one resumes it" wait_line "Resumed"
verify "with new frames there" moving HEADLESS-2
kill "${COVER[HEADLESS-1]}"
verify "Stop Wallpaper in the menu" eval 'wait_menu "Stop Wallpaper	1	Control+S" && tray click "Stop Wallpaper"'
verify "stops it" wait_line "Stopped wallpaper"
verify "and takes the surfaces away" e2e_wait_for 5 still HEADLESS-1

"$HELPER" lumivo://bogus
verify "an error shows an alert" e2e_wait_for 10 alert_shown
answer_alert Tab space
exited() { ! kill -0 "$HELPER_PID" 2>/dev/null; }
verify "whose Quit ends the helper" e2e_wait_for 10 exited
exited || kill "$HELPER_PID" # a helper that stayed must not hold the test until its timeout
wait "$HELPER_PID"
verify "with status 0" test "$?" -eq 0

e2e_finish

#!/usr/bin/env bash
# The helper in a Wayland session on headless sway: alerts as windows of the
# compositor, the tray through the test tray host, hand-overs over the private
# session bus. PLATFORM wayland runs it as a native Wayland client without X
# (keys typed with wtype); xcb runs it under sway's XWayland (keys typed with
# xdotool there).
#
#   helper-wayland.sh HELPER wayland|xcb
HELPER=$1 PLATFORM=$2
source "$(dirname "$0")/../e2e/lib.sh"

HERE=$(cd "$(dirname "$0")/../e2e" && pwd)
PY=/usr/bin/python3
LOG=$E2E_TMP/helper.log
OPENED=$E2E_TMP/opened
: >"$LOG" >"$OPENED"
mkdir -p "$E2E_TMP/bin"
printf '#!/bin/sh\necho "$1" >>"%s"\n' "$OPENED" >"$E2E_TMP/bin/xdg-open"
chmod +x "$E2E_TMP/bin/xdg-open"
export PATH="$E2E_TMP/bin:$PATH"

returning() {
    "$@"
    return $?
}
verify() { check "$1" returning "${@:2}"; }
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
type_keys() {
    if [ "$PLATFORM" = xcb ]; then
        xdotool key --delay 50 "$@"
    else
        wtype $(printf -- '-k %s ' "$@")
    fi
}
answer_alert() { e2e_wait_for 10 alert_shown && type_keys "$@" && e2e_wait_for 10 alert_gone; }

e2e_start_sway 640x360
export QT_QPA_PLATFORM=$PLATFORM
if [ "$PLATFORM" = xcb ]; then
    export DISPLAY=$E2E_XWAYLAND_DISPLAY
else
    unset DISPLAY
fi
e2e_spawn "$PY" "$HERE/trayhost.py" serve >/dev/null
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
"$HELPER" lumivo://bogus
verify "an error shows an alert" e2e_wait_for 10 alert_shown
answer_alert Tab space
exited() { ! kill -0 "$HELPER_PID" 2>/dev/null; }
verify "whose Quit ends the helper" e2e_wait_for 10 exited
wait "$HELPER_PID"
verify "with status 0" test "$?" -eq 0

e2e_finish

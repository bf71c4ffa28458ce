#!/usr/bin/env bash
# The Wayland compositor the wallpaper was on goes away while the helper runs
# on X11: the helper (Qt on Xvfb) plays the checkout's sample wallpaper on the
# background layer of a headless sway named by WAYLAND_DISPLAY; sway then
# quits, and the next apply must choose again and play on the X display.
#
#   lost-compositor.sh HELPER
HELPER=$(realpath "$1")
source "$(dirname "$0")/../e2e/lib.sh"

mkdir -p "$XDG_CONFIG_HOME/Lumivo"
printf '[General]\nhasShownWelcome=true\n' >"$XDG_CONFIG_HOME/Lumivo/LumivoHelper.conf"

has_line() { grep -qxF "[LumivoHelper] $1" "$LOG"; }
wait_line() { e2e_wait_for 10 has_line "$1"; }
line_count() { grep -cxF "[LumivoHelper] $1" "$LOG"; }
# The picture in the middle of the X screen changes within a second.
x_moving() {
    import -window root -crop 100x100+270+130 +repage "$E2E_TMP/a.png" && sleep 0.3 &&
        import -window root -crop 100x100+270+130 +repage "$E2E_TMP/b.png" &&
        [ "$(compare -metric AE -fuzz 3% "$E2E_TMP/a.png" "$E2E_TMP/b.png" null: 2>&1)" -gt 500 ]
}

e2e_start_xvfb 640x360
e2e_start_sway 640x360
export QT_QPA_PLATFORM=xcb # on Xvfb, not on sway's XWayland: it outlives sway
e2e_helper_start lost
e2e_helper_send lumivo://apply/aurora-veil
verify "the wallpaper plays" wait_line "Applied Aurora Veil"
verify "on sway's background layer" eval '! grep -q "X11 desktop window" "$LOG"'
verify "not on the X display" eval '! x_moving'

kill -TERM "$E2E_SWAY_PID"
wait "$E2E_SWAY_PID" 2>/dev/null
verify "losing the compositor is logged" \
    e2e_wait_for 10 grep -q '^\[LumivoHelper\] Wallpaper display lost: ' "$LOG"
e2e_helper_send lumivo://apply/aurora-veil
verify "the next apply plays again" e2e_wait_for 10 eval '[ "$(line_count "Applied Aurora Veil")" -eq 2 ]'
verify "saying why it is on X11 now" wait_line "The Wayland compositor named by WAYLAND_DISPLAY \
cannot be reached, so an X11 desktop window is used."
verify "with no error" eval '! grep -q "ERROR" "$LOG"'
verify "on the X display, moving" e2e_wait_for 10 x_moving
e2e_helper_send lumivo://stop
verify "and it stops" wait_line "Stopped wallpaper"
e2e_helper_terminate

e2e_finish

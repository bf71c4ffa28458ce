#!/usr/bin/env bash
# End-to-end test of the wallpaper on an X11 desktop whose file manager draws
# the desktop (background and icons) in a window of its own: the real helper
# playing the checkout's sample gallery on Xvfb, with the desktop's own window
# manager and desktop program (e2e_start_desktop in lib.sh), used the way a
# user would with xdotool and an xterm.
#
#   desktops.sh HELPER xfce|mate|lxde|lxqt|cinnamon
#
# The video must show and move after an apply, and still after clicks on the
# desktop, a double-click, the desktop's menu and an xterm opened and closed;
# the xterm and the menu are drawn above it. Opaque desktop windows end up
# under the video (the log names the program), nemo-desktop's transparent one
# above it, so its icons show. Stop shows the desktop as it was.
HELPER=$(realpath "$1")
DESKTOP=$2
source "$(dirname "$0")/lib.sh"

CONF=$XDG_CONFIG_HOME/Lumivo/LumivoHelper.conf
mkdir -p "$(dirname "$CONF")"
printf '[General]\nhasShownWelcome=true\n' >"$CONF"
WIDTH=640 HEIGHT=360
EMPTY_X=420 EMPTY_Y=250      # a spot of the desktop without icons
MOVING=300x300+330+30        # where the sample's bands move, right of the icons
XTERM=200x60+60+90           # inside the xterm's text area, below its title

# ---- what the checks observe ------------------------------------------------
at_least() { awk -v v="$1" -v min="$2" 'BEGIN { exit !(v >= min) }'; }
shot() { import -window root "$E2E_TMP/$1.png"; }
crop() { convert "$E2E_TMP/$1.png" -crop "$2" +repage "$E2E_TMP/$1-crop.png"; }
changed() { compare -metric AE -fuzz "$3" "$E2E_TMP/$1" "$E2E_TMP/$2" null: 2>&1; }
# Pixels near white in REGION of a screenshot: the sample video has none.
white_pixels() {
    convert "$E2E_TMP/$1.png" -crop "$2" +repage -channel RGB -threshold 85% -separate \
        -evaluate-sequence min -format '%[fx:round(mean*w*h)]' info:
}

# moving NAME : the sample's bands move (300 ms apart); the desktops' own
# backgrounds stand still.
moving_once() {
    shot "$1-a"
    sleep 0.3
    shot "$1-b"
    crop "$1-a" "$MOVING" && crop "$1-b" "$MOVING"
    local motion
    motion=$(changed "$1-a-crop.png" "$1-b-crop.png" 3%)
    echo "$motion pixels changed in $MOVING"
    at_least "$motion" 500
}
moving() { e2e_wait_for 5 moving_once "$@"; }

# The desktop icons drawn over the video: notes.txt's white page and label
# (the desktop's own background there is not drawn).
icons_over_video() {
    shot icons
    local white
    white=$(white_pixels icons "${WIDTH}x${HEIGHT}+0+0")
    echo "$white white pixels"
    at_least "$white" 150
}

# The popup (override-redirect) windows on screen larger than a strip, one id
# a line; window managers keep some of their own up all the time.
popups() {
    local id info
    for id in $(xwininfo -root -children | awk '$1 ~ /^0x/ {print $1}'); do
        info=$(xwininfo -id "$id" 2>/dev/null) || continue
        if grep -q 'Map State: IsViewable' <<<"$info" &&
            grep -q 'Override Redirect State: yes' <<<"$info" &&
            [ "$(awk '/Width:/ {print $2}' <<<"$info")" -gt 50 ] &&
            [ "$(awk '/Height:/ {print $2}' <<<"$info")" -gt 50 ]; then
            echo "$id"
        fi
    done
}
# A popup that was not up before the right-click: the desktop program's menu.
menu_up() { popups | grep -vxF -f "$E2E_TMP/popups-before" | grep .; }
menu_shown() { e2e_wait_for 5 menu_up; }
menu_gone() { e2e_wait_for 5 eval '! menu_up'; }

# The xterm's white text area is on screen and stays as it is.
xterm_on_top() {
    shot xterm-a
    sleep 0.3
    shot xterm-b
    crop xterm-a "$XTERM" && crop xterm-b "$XTERM"
    local white motion
    white=$(white_pixels xterm-a "$XTERM")
    motion=$(changed xterm-a-crop.png xterm-b-crop.png 3%)
    echo "$white white pixels, $motion changed in $XTERM"
    at_least "$white" 10000 && [ "$motion" -eq 0 ]
}
xterm_listed() { wmctrl -l -x | grep -q 'xterm\.XTerm'; }

# The screen as it was before the apply, all but a few pixels (a focus ring).
as_before() {
    shot after
    local differ
    differ=$(changed before.png after.png 5%)
    echo "$differ pixels differ from the desktop before the apply"
    [ "$differ" -lt $((WIDTH * HEIGHT / 50)) ]
}
desktop_again() { e2e_wait_for 5 as_before; }

logged() { grep -F "$1" "$LOG"; }

# ---- the scene --------------------------------------------------------------
e2e_start_xvfb "${WIDTH}x${HEIGHT}"
e2e_start_desktop "$DESKTOP"
shot before
e2e_helper_start helper
e2e_helper_send lumivo://apply/aurora-veil
verify "the sample wallpaper is applied" e2e_wait_for 10 logged 'Applied Aurora Veil'
verify "the video shows and moves on $DESKTOP" moving applied
if [ "$DESKTOP" = cinnamon ]; then
    verify "nemo-desktop's icons show over the video right after the apply" \
        e2e_wait_for 10 icons_over_video
else
    verify "the log says $E2E_DESKTOP_PROGRAM's icons are under the video" \
        logged "The wallpaper is shown above the desktop window of $E2E_DESKTOP_PROGRAM"
fi

# ---- the desktop in use -----------------------------------------------------
for _ in 1 2 3; do
    xdotool mousemove "$EMPTY_X" "$EMPTY_Y" click 1
    sleep 0.3
done
verify "after three clicks on the empty desktop it still moves" moving clicked
xdotool click --repeat 2 --delay 80 1
verify "after a double-click it still moves" moving double-clicked
popups >"$E2E_TMP/popups-before"
xdotool click 3
verify "a right-click opens $E2E_DESKTOP_PROGRAM's menu through the wallpaper" menu_shown
xdotool key Escape
verify "Escape closes the menu" menu_gone
verify "after the menu it still moves" moving menu-closed

e2e_spawn xterm -geometry 40x8+40+40 2>"$E2E_TMP/xterm.err"
XTERM_PID=$E2E_LAST_PID
verify "an xterm opens" e2e_wait_for 10 xterm_listed
verify "the xterm is drawn above the video" e2e_wait_for 10 xterm_on_top
kill "$XTERM_PID"
wait "$XTERM_PID" 2>/dev/null
verify "with the xterm closed again it still moves" moving xterm-closed
if [ "$DESKTOP" = cinnamon ]; then
    verify "nemo-desktop's icons still show over the video" icons_over_video
fi

# ---- stop -------------------------------------------------------------------
e2e_helper_send lumivo://stop
verify "the wallpaper stops" e2e_wait_for 10 logged 'Stopped wallpaper'
verify "Stop shows $E2E_DESKTOP_PROGRAM's own desktop again" desktop_again
e2e_helper_terminate
e2e_finish

#!/usr/bin/env bash
# End-to-end test of the wallpaper resting while nobody can see it: the real
# helper playing the checkout's sample gallery, with openbox on Xvfb and then
# on two Xorg monitors, a private system bus with the fake logind (lock and
# sleep), UPower and screensaver of fake_session_services.py, the X server's
# own screen saver, and the test tray host.
#
# Every line about the wallpaper's state (applied, restored, stopped, paused,
# resumed) is checked in order against the whole list expected so far, so a
# line too many fails as surely as one missing.
#
#   pause.sh HELPER
HELPER=$(realpath "$1")
source "$(dirname "$0")/lib.sh"

HERE=$(cd "$(dirname "$0")" && pwd)
PY=/usr/bin/python3
CONF=$XDG_CONFIG_HOME/Lumivo/LumivoHelper.conf
mkdir -p "$(dirname "$CONF")"
printf '[General]\nhasShownWelcome=true\n' >"$CONF"

# ---- helpers (checks run these in a subshell of this shell) ----------------
at_least() { awk -v v="$1" -v min="$2" 'BEGIN { exit !(v >= min) }'; }


# The state lines of the log, without their prefix, in order.
EXPECTED=()
state_lines() {
    sed -n 's/^\[LumivoHelper\] \(Applied .*\|Restored .*\|Stopped wallpaper\|Paused: .*\|Resumed\)$/\1/p' "$LOG"
}
lines_are_expected() { diff <(state_lines) <(printf '%s\n' "${EXPECTED[@]}") >/dev/null; }
expected_lines() {
    e2e_wait_for 10 lines_are_expected && return 0
    echo "log:" && state_lines | sed 's/^/    /'
    echo "expected:" && printf '    %s\n' "${EXPECTED[@]}"
    return 1
}
# next NAME LINE... : the next state lines are these, and no other line came.
next() {
    EXPECTED+=("${@:2}")
    verify "$1" expected_lines
}

shot() { import -window root "$E2E_TMP/$1.png"; }
crop() { convert "$E2E_TMP/$1.png" -crop "$2" +repage "$E2E_TMP/$1-crop.png"; } # SHOT REGION
differing() { compare -metric AE "${@:3}" "$E2E_TMP/$1-crop.png" "$E2E_TMP/$2-crop.png" null: 2>&1; }
# moving NAME REGION : the picture in REGION (WxH+X+Y) changes within 300 ms.
moving_once() {
    shot "$1-a"
    sleep 0.3
    shot "$1-b"
    crop "$1-a" "$2" && crop "$1-b" "$2"
    local changed
    changed=$(differing "$1-a" "$1-b" -fuzz 3%)
    echo "$changed pixels changed in $2"
    at_least "$changed" 500
}
moving() { e2e_wait_for 5 moving_once "$@"; }
# still NAME REGION : REGION shows a picture that stays the same for 500 ms.
still_once() {
    shot "$1-a"
    sleep 0.5
    shot "$1-b"
    crop "$1-a" "$2" && crop "$1-b" "$2"
    local mean changed
    mean=$(convert "$E2E_TMP/$1-a-crop.png" -format '%[fx:mean]' info:)
    changed=$(differing "$1-a" "$1-b")
    echo "brightness $mean, $changed pixels changed in $2"
    at_least "$mean" 0.1 && [ "$changed" -eq 0 ]
}

# window NAME GEOMETRY : an ordinary window (xev) that openbox manages; sets WIN.
managed() { wmctrl -l | grep " $1\$" >/dev/null; }
window() {
    e2e_spawn xev -name "$1" -geometry "$2" >/dev/null 2>&1
    e2e_wait_for 10 managed "$1" || {
        echo "pause.sh: openbox does not manage the window $1" >&2
        exit 1
    }
    WIN=$(wmctrl -l | awk -v n="$1" '$NF == n {print $1; exit}')
}
state() { wmctrl -i -r "$1" -b "$2"; } # WINDOW add|remove,PROPERTY[,PROPERTY]
# blacken : paints the wallpaper's windows black from another X client, as a
# display that lost their pictures would show them.
blacken() {
    local id
    for id in $(xdotool search --classname '^lumivo-wallpaper$'); do
        "$PY" - "$id" <<'PY'
import ctypes, sys
x11 = ctypes.CDLL("libX11.so.6")
x11.XOpenDisplay.restype = ctypes.c_void_p
x11.XCreateGC.restype = ctypes.c_void_p
x11.XCreateGC.argtypes = [ctypes.c_void_p, ctypes.c_ulong, ctypes.c_ulong, ctypes.c_void_p]
x11.XFillRectangle.argtypes = [ctypes.c_void_p, ctypes.c_ulong, ctypes.c_void_p, ctypes.c_int,
                               ctypes.c_int, ctypes.c_uint, ctypes.c_uint]
x11.XSync.argtypes = [ctypes.c_void_p, ctypes.c_int]
display = x11.XOpenDisplay(None)
window = int(sys.argv[1])
x11.XFillRectangle(display, window, x11.XCreateGC(display, window, 0, None), 0, 0, 8192, 8192)
x11.XSync(display, 0)
PY
    done
}

tray() { "$PY" "$HERE/trayhost.py" "$@"; }
menu_has() { tray menu | grep -xF "$1" >/dev/null; }
wait_menu() { e2e_wait_for 10 menu_has "$1"; }
session() { e2e_proc_send session "$1" >/dev/null; }

# ---- the scene --------------------------------------------------------------
e2e_start_xvfb 640x360
e2e_start_openbox
e2e_start_system_bus
e2e_proc_start session "$PY" "$HERE/fake_session_services.py"
e2e_proc_wait session '^ready' 10 >/dev/null || {
    echo "pause.sh: the fake session services did not start:" >&2
    cat "$E2E_TMP/session.err" >&2
    exit 1
}
e2e_start_tray_host

e2e_helper_start single
e2e_helper_send lumivo://apply/aurora-veil
next "the sample wallpaper plays" "Applied Aurora Veil"
RIGHT=300x300+330+30 # right of the window below, which covers the left half
window half 300x300+0+0
verify "a window over half the screen leaves the rest moving" moving half "$RIGHT"

# ---- windows: fullscreen, maximised, another workspace ----------------------
state "$WIN" add,fullscreen
next "a fullscreen window pauses" "Paused: desktop covered"
state "$WIN" remove,fullscreen
next "leaving fullscreen for half the screen resumes" "Resumed"
verify "the frames change again after the resume" moving resumed "$RIGHT"
state "$WIN" add,maximized_vert,maximized_horz
next "a maximised window pauses" "Paused: desktop covered"
state "$WIN" remove,maximized_vert,maximized_horz
next "no longer maximised, it resumes" "Resumed"
state "$WIN" add,fullscreen
next "fullscreen again" "Paused: desktop covered"
wmctrl -i -r "$WIN" -t 1
next "a fullscreen window on another workspace does not pause" "Resumed"
wmctrl -s 1
next "its workspace shown, it pauses" "Paused: desktop covered"
wmctrl -s 0
next "the first workspace again" "Resumed"
wmctrl -i -c "$WIN"

# ---- the session: lock, screensaver, battery --------------------------------
session lock
next "locking pauses" "Paused: screen locked"
# (openbox may still show its workspace popup from the switch above: room to wait)
verify "locked, the picture stays still" e2e_wait_for 10 still_once locked "$RIGHT"
window over 200x200+380+80
wmctrl -i -c "$WIN"
same_as_locked() {
    shot exposed && crop exposed "$RIGHT"
    local changed
    changed=$(differing locked-b exposed)
    echo "$changed pixels differ from the picture before the window"
    [ "$changed" -eq 0 ]
}
verify "a window closed over it leaves the same picture" e2e_wait_for 5 same_as_locked
session unlock
next "unlocking resumes" "Resumed"
verify "and the frames change again" moving unlocked "$RIGHT"
session "screensaver on"
next "the screensaver pauses" "Paused: screensaver active"
session "screensaver off"
next "its end resumes" "Resumed"
session "battery on"
next "on battery it pauses (pauseOnBattery absent counts as true)" "Paused: on battery"
session "battery off"
next "on mains it resumes" "Resumed"

# ---- the X server's own screen saver, and the system going to sleep ---------
# Any new X client ends the server's screen saver, so only the log is looked
# at while it runs.
xset s 600 # e2e_start_xvfb turned it off
xset s activate
next "the X server blanking the screen pauses" "Paused: screen blanked"
xset s reset
next "its end resumes" "Resumed"
xset s off
session sleep
next "the system going to sleep pauses" "Paused: system suspending"
session wake
next "waking resumes" "Resumed"
verify "and the frames change again" moving woken "$RIGHT"

# A picture lost over a suspend (as with some GPU drivers) is drawn again on
# waking, even while the lock keeps the decode resting.
session lock
next "locked before a sleep" "Paused: screen locked"
session sleep
verify "asleep, the picture stays still" e2e_wait_for 5 still_once asleep "$RIGHT"
blacken
dark() {
    shot dark && crop dark "$RIGHT" &&
        at_least 0.02 "$(convert "$E2E_TMP/dark-crop.png" -format '%[fx:mean]' info:)"
}
verify "the picture is lost" dark
session wake
verify "waking draws it again, though the lock keeps it resting" \
    e2e_wait_for 5 still_once repainted "$RIGHT"
session unlock
next "unlocking resumes (the sleep while locked says nothing)" "Resumed"

# ---- 50 sleeps and wakes: the video goes on and memory stays ----------------
rss_kib() { awk '$1 == "RssAnon:" {print $2}' "/proc/$PID/status"; }
missed=0
for ((i = 1; i <= 50; i++)); do
    session sleep
    EXPECTED+=("Paused: system suspending")
    e2e_wait_for 10 lines_are_expected || missed=$((missed + 1))
    session wake
    EXPECTED+=("Resumed")
    e2e_wait_for 10 lines_are_expected || missed=$((missed + 1))
    [ "$i" -ne 10 ] || rss_at_10=$(rss_kib)
done
rss_at_50=$(rss_kib)
verify "50 sleeps and wakes each pause and resume" eval "[ $missed -eq 0 ] && expected_lines"
verify "after them the frames change" moving cycled "$RIGHT"
rss_flat() {
    echo "RssAnon after wake 10: $rss_at_10 KiB, after wake 50: $rss_at_50 KiB"
    [ $((rss_at_50 - rss_at_10)) -le 1024 ]
}
verify "and memory grows by at most 1 MiB from the 10th to the 50th" rss_flat

# ---- Pause Wallpaper --------------------------------------------------------
pause_before_screens() {
    tray menu | grep -A1 -xF 'Pause Wallpaper	1		[ ]' | grep -xF 'Screens	1	' >/dev/null
}
verify "the menu offers Pause Wallpaper, unchecked, before Screens" \
    e2e_wait_for 10 pause_before_screens
tray click "Pause Wallpaper"
next "checking Pause Wallpaper pauses" "Paused: by the user"
verify "and checks the item" wait_menu "Pause Wallpaper	1		[x]"
verify "paused by hand, the picture stays still" e2e_wait_for 5 still_once manual "$RIGHT"
window over 300x300+330+30
wmctrl -i -c "$WIN"
verify "a window closed over the paused wallpaper leaves its picture" \
    e2e_wait_for 5 still_once uncovered "$RIGHT"
tray click "Pause Wallpaper"
next "unchecking it resumes" "Resumed"
verify "and unchecks the item" wait_menu "Pause Wallpaper	1		[ ]"
tray click "Pause Wallpaper"
next "checked again" "Paused: by the user"
e2e_helper_send lumivo://apply/tidal-glass
next "another wallpaper ends the manual pause" "Applied Tidal Glass" "Resumed"
verify "and unchecks the item" wait_menu "Pause Wallpaper	1		[ ]"
verify "the new wallpaper moves" moving applied "$RIGHT"

# ---- idle: a stop says nothing, a wallpaper applied while locked rests ------
tray click "Pause Wallpaper"
next "paused by hand before a stop" "Paused: by the user"
e2e_helper_send lumivo://stop
next "a stop logs no resume" "Stopped wallpaper"
verify "idle, the item is unchecked and disabled" wait_menu "Pause Wallpaper	0		[ ]"
session lock
e2e_helper_send lumivo://apply/aurora-veil
next "applied while locked, it starts paused (nothing said while idle)" \
    "Applied Aurora Veil" "Paused: screen locked"
session unlock
next "and resumes on unlocking" "Resumed"
e2e_helper_terminate

# ---- pauseOnBattery=false ---------------------------------------------------
sed -i 's/^hasShownWelcome=true$/&\npauseOnBattery=false/' "$CONF"
EXPECTED=()
e2e_helper_start battery-off
next "restored for the battery setting" "Restored Aurora Veil"
session "battery on"
session lock
next "with pauseOnBattery false, only the lock pauses" "Paused: screen locked"
session unlock
next "unlocked on battery, it plays" "Resumed"
session "battery off"
e2e_helper_terminate

# ---- two monitors: both must be hidden ----------------------------------------
e2e_stop_openbox
e2e_start_xorg_monitors 1280
e2e_start_openbox
EXPECTED=()
e2e_helper_start two
next "restored on two monitors" "Restored Aurora Veil"
window left 300x300+100+100
LEFT_WIN=$WIN
window right 300x300+1400+100
RIGHT_WIN=$WIN
state "$LEFT_WIN" add,fullscreen
state "$RIGHT_WIN" add,fullscreen
next "fullscreen windows on both monitors pause" "Paused: desktop covered"
state "$RIGHT_WIN" remove,fullscreen
next "a fullscreen window on one monitor alone does not" "Resumed"
verify "the other monitor's picture moves" moving second 600x300+1900+300
e2e_helper_terminate

e2e_finish

#!/usr/bin/env bash
# End-to-end checks of the wallpaper player: player-driver on a private Xvfb
# (no window manager, no GPU, no render path forced), observed from outside
# with xprop, xwininfo, xdotool and ImageMagick screenshots.
# Usage: player.sh <path to player-driver>
source "$(dirname "$0")/lib.sh"

driver=$1
clips=$(cd "$(dirname "$0")/../data/video" && pwd)
width=640 height=360
clip_seconds=2 # every test clip is 2 s long

e2e_start_xvfb "${width}x${height}"
root_id=$(($(xwininfo -root | awk '/Window id:/ {print $4}')))

# --- what the checks observe -------------------------------------------------

# Top-level windows typed as desktop, top of the stack first.
desktop_windows() {
    local id
    for id in $(xwininfo -root -children | awk '$1 ~ /^0x/ {print $1}'); do
        if xprop -id "$id" _NET_WM_WINDOW_TYPE 2>/dev/null | grep -q '_NET_WM_WINDOW_TYPE_DESKTOP'; then
            echo "$id"
        fi
    done
}

# The only desktop window, or failure.
only_desktop_window() {
    local all
    all=$(desktop_windows)
    [ "$(wc -w <<<"$all")" -eq 1 ] || {
        echo "desktop windows: [$all]" >&2
        return 1
    }
    echo "$all"
}

driver_window() { only_desktop_window; }

is_desktop_type() {
    xprop -id "$1" _NET_WM_WINDOW_TYPE | tee /dev/stderr |
        grep -qx '_NET_WM_WINDOW_TYPE(ATOM) = _NET_WM_WINDOW_TYPE_DESKTOP'
}

on_all_desktops() {
    xprop -id "$1" _NET_WM_DESKTOP | tee /dev/stderr | grep -qx '_NET_WM_DESKTOP(CARDINAL) = 4294967295'
}

has_desktop_states() {
    local states atom
    states=$(xprop -id "$1" _NET_WM_STATE)
    echo "$states"
    for atom in STICKY SKIP_TASKBAR SKIP_PAGER BELOW; do
        grep -Eq "_NET_WM_STATE_$atom(,|$)" <<<"$states" || return 1
    done
}

covers_screen() {
    local info
    info=$(xwininfo -id "$1")
    echo "$info"
    grep -q 'Absolute upper-left X:  0$' <<<"$info" &&
        grep -q 'Absolute upper-left Y:  0$' <<<"$info" &&
        grep -q "Width: $width\$" <<<"$info" &&
        grep -q "Height: $height\$" <<<"$info" &&
        grep -q 'Map State: IsViewable' <<<"$info"
}

# $1 is listed after $2 in the root's children, which xwininfo prints top first.
stacked_below() {
    local order
    order=$(xwininfo -root -children | awk '$1 ~ /^0x/ {print $1}')
    echo "$order"
    local mine other
    mine=$(grep -nx "$1" <<<"$order" | cut -d: -f1)
    other=$(grep -nx "$2" <<<"$order" | cut -d: -f1)
    [ -n "$mine" ] && [ -n "$other" ] && [ "$mine" -gt "$other" ]
}

# Moves the pointer to x y and asks the server which window it is over.
pointer_reaches_root() {
    xdotool mousemove "$1" "$2"
    local location
    location=$(xdotool getmouselocation --shell)
    echo "$location (root is $root_id)"
    grep -qx "WINDOW=$root_id" <<<"$location"
}

# The window never accepts focus (WM_HINTS) and has not taken it, even after a
# click on it.
never_focused() {
    local hints focus family
    hints=$(xprop -id "$1" WM_HINTS)
    echo "$hints"
    grep -q 'Client accepts input or input focus: False' <<<"$hints" || return 1
    xdotool mousemove $((width - 50)) $((height - 50)) click 1
    sleep 0.1
    # With no window manager focus follows the pointer (PointerRoot), which
    # xdotool reports as an error: then no window has taken the focus.
    focus=$(xdotool getwindowfocus 2>/dev/null) || return 0
    family=$( (
        echo $(($1))
        xwininfo -id "$1" -tree | awk '$1 ~ /^0x/ {print strtonum($1)}'
    ) 2>/dev/null)
    echo "focus: $focus, wallpaper windows: $family"
    ! grep -qx "$focus" <<<"$family"
}

shot() { import -window root "$E2E_TMP/$1.png"; }

# Mean brightness (0..1) of a region of a screenshot.
brightness() { convert "$E2E_TMP/$1.png" -crop "$2" +repage -format '%[fx:mean]' info:; }

at_least() { awk -v v="$1" -v min="$2" 'BEGIN { exit !(v >= min) }'; }

# The screen right of the xev window shows a picture (the root is black).
screen_shows_video() {
    shot "$1"
    local mean
    mean=$(brightness "$1" "$((width - 120))x${height}+120+0")
    echo "brightness $mean"
    at_least "$mean" 0.2
}

black_now() {
    shot "$1"
    local mean
    mean=$(brightness "$1" "$((width - 120))x${height}+120+0")
    echo "brightness $mean"
    at_least 0.02 "$mean"
}

# Black within 2 s (the first paint of a new window may lag a little).
screen_turns_black() { e2e_wait_for 2 black_now "$1"; }

# At least 0.5 % of the pixels differ between two screenshots 300 ms apart.
frames_change() {
    shot "$1-a"
    sleep 0.3
    shot "$1-b"
    local changed
    changed=$(compare -metric AE -fuzz 3% "$E2E_TMP/$1-a.png" "$E2E_TMP/$1-b.png" null: 2>&1)
    echo "$changed pixels changed"
    at_least "$changed" $((width * height / 200))
}

# Strips along all four screen edges show picture, not letterbox bars.
no_black_bars() {
    shot "$1"
    local strip mean
    for strip in "8x$((height - 120))+0+60" "8x$((height - 120))+$((width - 8))+60" \
        "$((width - 240))x8+120+0" "$((width - 240))x8+120+$((height - 8))"; do
        mean=$(brightness "$1" "$strip")
        echo "edge $strip: $mean"
        at_least "$mean" 0.1 || return 1
    done
}

window_gone() { ! xwininfo -id "$1" >/dev/null 2>&1; }

no_desktop_window() { [ -z "$(desktop_windows)" ]; }

# The only viewable top-level windows are the ordinary one and the wallpaper:
# mpv opened no window of its own.
no_other_window() {
    local viewable
    viewable=$(xwininfo -root -children | awk '$1 ~ /^0x/ {print $1}' | while read -r id; do
        xwininfo -id "$id" | grep -q 'Map State: IsViewable' && echo "$id"
    done | sort)
    echo "viewable: [$viewable]"
    [ "$viewable" = "$(printf '%s\n' "$1" "$ordinary" | sort)" ]
}

# The driver's threads but Qt's own ("Q..."), which Qt starts when it likes.
thread_count() { cat /proc/"$(e2e_proc_pid driver)"/task/*/comm | grep -cv '^Q'; }

threads_back_to() {
    local now
    now=$(thread_count)
    echo "threads now $now, before the first start $1"
    cat /proc/"$(e2e_proc_pid driver)"/task/*/comm
    [ "$now" -eq "$1" ]
}

audio_never_opened() {
    echo "audio connections: $(cat "$E2E_TMP/audio.count")"
    [ "$(cat "$E2E_TMP/audio.count")" = 0 ]
}

no_failure_reported() { ! grep -n '^event failed' "$E2E_TMP/driver.out"; }

# --- the scene ---------------------------------------------------------------

# Stand-ins for the PulseAudio and PipeWire sockets: they count every client
# that tries to open audio output.
mkdir -p "$XDG_RUNTIME_DIR/pulse"
e2e_spawn python3 -c '
import os, selectors, socket, sys
runtime = os.environ["XDG_RUNTIME_DIR"]
selector = selectors.DefaultSelector()
for path in (runtime + "/pulse/native", runtime + "/pipewire-0"):
    server = socket.socket(socket.AF_UNIX)
    server.bind(path)
    server.listen()
    selector.register(server, selectors.EVENT_READ)
count = 0
open(sys.argv[1], "w").write("0")
while True:
    for key, _ in selector.select():
        key.fileobj.accept()[0].close()
        count += 1
        open(sys.argv[1], "w").write(str(count))
' "$E2E_TMP/audio.count"
e2e_wait_for 5 test -s "$E2E_TMP/audio.count" || exit 1

# An ordinary window, in the top-left 100x100, that the wallpaper must stay under.
e2e_spawn xev -geometry 100x100+0+0 -name ordinary >/dev/null 2>&1
e2e_wait_for 5 xdotool search --name '^ordinary$' >/dev/null || exit 1
ordinary=$(printf '0x%x' "$(xdotool search --name '^ordinary$' | head -n1)")

e2e_proc_start driver "$driver"
e2e_proc_send driver frames >/dev/null || {
    cat "$E2E_TMP/driver.err"
    exit 1
}
sleep 0.2 # Qt's threads name themselves shortly after they start
idle_threads=$(thread_count)

# 1. A 16:9 clip.
check "start answers ok" e2e_proc_send driver "start $clips/wide-16x9.mp4"
check "the first frame is shown" e2e_proc_wait driver '^event first-frame' 10
first_frame=$SECONDS
window=$(driver_window)
check "the window is typed desktop" is_desktop_type "$window"
check "the window is on all desktops" on_all_desktops "$window"
check "the window is sticky, skips taskbar and pager, below" has_desktop_states "$window"
check "the window covers the whole screen" covers_screen "$window"
check "the window is stacked below an ordinary window" stacked_below "$window" "$ordinary"
check "the pointer over the wallpaper reaches the root window" \
    pointer_reaches_root $((width - 50)) $((height - 50))
check "the window never takes focus" never_focused "$window"
check "the screen shows the video" screen_shows_video wide
check "frames change" frames_change wide

# 2. Past the end of the clip, twice over: it loops.
wait_seconds=$((first_frame + 2 * clip_seconds + 1 - SECONDS))
[ "$wait_seconds" -le 0 ] || sleep "$wait_seconds"
check "playback goes on past the end of the clip (picture)" screen_shows_video looped
check "playback goes on past the end of the clip (motion)" frames_change looped
check "no playback failure was reported" no_failure_reported

# 3. start while playing: a 4:3 clip replaces the wallpaper.
check "a second start answers ok" e2e_proc_send driver "start $clips/classic-4x3.mp4"
e2e_proc_wait driver '^event first-frame' 10 >/dev/null
replacement=$(driver_window)
check "the replaced window is gone" window_gone "$window"
check "start twice leaves one desktop window" only_desktop_window
check "no window but the wallpaper and the ordinary one is shown" no_other_window "$replacement"
check "a 4:3 clip fills the 16:9 screen without black bars" no_black_bars classic

# 4. A clip with sound: audio is never opened.
e2e_proc_send driver "start $clips/with-audio-16x9.mp4" >/dev/null
check "a clip with sound plays" e2e_proc_wait driver '^event first-frame' 10
sleep 0.5
check "audio output is never opened" audio_never_opened

# 5. A file mpv cannot play: a black wallpaper and mpv's reason.
echo "this is not a video" >"$E2E_TMP/not-a-video.mp4"
check "start with an unplayable file answers ok" \
    e2e_proc_send driver "start $E2E_TMP/not-a-video.mp4"
check "the failure is reported with mpv's reason" \
    e2e_proc_wait driver '^event failed .*(format|recogni[sz]e)' 10
check "the failed wallpaper is one black desktop window" only_desktop_window
check "the screen turns black" screen_turns_black failed

# 6. stop unloads everything; a second stop is harmless.
check "stop answers ok" e2e_proc_send driver stop
check "stop removes the window" no_desktop_window
check "stop ends mpv's threads" threads_back_to "$idle_threads"
check "a second stop answers ok" e2e_proc_send driver stop
e2e_proc_close driver 10
exited_with() {
    echo "exit status $E2E_STATUS"
    [ "$E2E_STATUS" = "$1" ]
}
check "the driver exits cleanly at the end of its input" exited_with 0

# 7. libmpv is loaded by the first start, and may be missing or not libmpv at
# all: a black wallpaper and the loader's reason, never a crash.
for library in libmpv-missing.so.2 libc.so.6; do
    name=without-${library%%.*}
    e2e_proc_start "$name" env LUMIVO_MPV_LIBRARY="$library" "$driver"
    check "$library: start answers ok" e2e_proc_send "$name" "start $clips/wide-16x9.mp4"
    check "$library: the failure names the library" \
        e2e_proc_wait "$name" "^event failed $library could not be loaded: .*$library" 10
    check "$library: the failed wallpaper is one black desktop window" only_desktop_window
    check "$library: the screen turns black" screen_turns_black "$name"
    check "$library: a second start answers ok" \
        e2e_proc_send "$name" "start $clips/classic-4x3.mp4"
    check "$library: the second start fails the same way" \
        e2e_proc_wait "$name" "^event failed $library could not be loaded" 10
    check "$library: stop removes the window" e2e_proc_send "$name" stop
    check "$library: no window is left" no_desktop_window
    e2e_proc_close "$name" 10
    check "$library: the driver exits cleanly" exited_with 0
done

e2e_finish

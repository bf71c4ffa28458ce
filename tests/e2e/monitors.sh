#!/usr/bin/env bash
# End-to-end checks of the wallpaper player on two monitors: player-driver on
# Xorg with the dummy driver (tests/e2e/lib.sh), a 16:9 monitor DUMMY0
# (1280x720+0+0, primary) beside a 4:3 one "second" (960x720+1280+0), observed
# with xprop, xwininfo, xdotool and ImageMagick screenshots. No render path is
# forced: the player picks one as on a user's machine.
# Usage: monitors.sh <path to player-driver>
source "$(dirname "$0")/lib.sh"

driver=$1
clips=$(cd "$(dirname "$0")/../data/video" && pwd)
e2e_start_xorg_monitors 960
first=1280x720+0+0 second=960x720+1280+0

# Top-level windows typed desktop, as "id WxH+X+Y" lines.
desktop_windows() {
    local id
    for id in $(xwininfo -root -children | awk '$1 ~ /^0x/ {print $1}'); do
        xprop -id "$id" _NET_WM_WINDOW_TYPE 2>/dev/null | grep -q _NET_WM_WINDOW_TYPE_DESKTOP || continue
        xwininfo -id "$id" | awk -v id="$id" '
            /Absolute upper-left X/ {x = $4} /Absolute upper-left Y/ {y = $4}
            /Width:/ {w = $2} /Height:/ {h = $2}
            END {printf "%s %dx%d+%d+%d\n", id, w, h, x, y}'
    done
}

# The desktop windows cover exactly the given geometries.
windows_cover() {
    local have want
    have=$(desktop_windows | awk '{print $2}' | sort)
    want=$(printf '%s\n' "$@" | sort)
    echo "windows: [$have], wanted: [$want]"
    [ "$have" = "$want" ]
}

window_on() { desktop_windows | awk -v g="$1" '$2 == g {print $1}'; }

has_desktop_properties() {
    local id
    id=$(window_on "$1")
    [ -n "$id" ] || return 1
    xprop -id "$id" _NET_WM_WINDOW_TYPE _NET_WM_DESKTOP _NET_WM_STATE WM_HINTS | tee /dev/stderr >"$E2E_TMP/props"
    grep -qx '_NET_WM_WINDOW_TYPE(ATOM) = _NET_WM_WINDOW_TYPE_DESKTOP' "$E2E_TMP/props" &&
        grep -qx '_NET_WM_DESKTOP(CARDINAL) = 4294967295' "$E2E_TMP/props" &&
        grep -q 'Client accepts input or input focus: False' "$E2E_TMP/props" || return 1
    local atom
    for atom in STICKY SKIP_TASKBAR SKIP_PAGER BELOW; do
        grep -Eq "_NET_WM_STATE_$atom(,|$)" "$E2E_TMP/props" || return 1
    done
}

root_id=$(($(xwininfo -root | awk '/Window id:/ {print $4}')))
pointer_reaches_root() {
    xdotool mousemove "$1" "$2"
    xdotool getmouselocation --shell | tee /dev/stderr | grep -qx "WINDOW=$root_id"
}

shot() { import -window root "$E2E_TMP/$1.miff"; }
crop() { convert "$E2E_TMP/$1.miff" -crop "$2" +repage "$E2E_TMP/$1-$3.miff"; }
brightness() { convert "$E2E_TMP/$1.miff" -crop "$2" +repage -format '%[fx:mean]' info:; }
at_least() { awk -v v="$1" -v min="$2" 'BEGIN { exit !(v >= min) }'; }
# Normalised RMSE of two images (0 = equal).
difference() { compare -metric RMSE "$1" "$2" null: 2>&1 | sed 's/.*(\(.*\))/\1/'; }

# Both regions change between two screenshots (the video moves on each).
both_move() {
    shot "$1-a"
    sleep 0.3
    shot "$1-b"
    local g changed
    for g in "$first" "$second"; do
        crop "$1-a" "$g" x
        crop "$1-b" "$g" y
        changed=$(compare -metric AE -fuzz 3% "$E2E_TMP/$1-a-x.miff" "$E2E_TMP/$1-b-y.miff" null: 2>&1)
        echo "$g: $changed pixels changed"
        at_least "$changed" 3000 || return 1
    done
}

# The 4:3 monitor shows the 16:9 video aspect-filled: the same scale as the
# 16:9 monitor (both 720 high) with 160 columns cut on each side, so it equals
# the middle 960 columns of the first monitor, frame for frame. Stretching,
# letter-boxing or showing different frames all break the equality.
# middle_against_second NAME : a screenshot NAME; the RMSE between the first
# monitor's middle 960 columns and the second monitor.
middle_against_second() {
    shot "$1"
    crop "$1" 960x720+160+0 middle
    crop "$1" "$second" right
    difference "$E2E_TMP/$1-middle.miff" "$E2E_TMP/$1-right.miff"
}
same_picture_cropped() {
    local rmse
    rmse=$(middle_against_second crop)
    echo "RMSE between the first monitor's middle and the second monitor: $rmse"
    at_least 0.06 "$rmse"
}

# The 16:9 monitor shows the whole 16:9 clip: its left edge is the clip's red
# bar and its right edge the cyan one (a zoomed or shifted picture shows
# other bars there).
whole_video_on_first() {
    shot whole
    local left right
    left=$(convert "$E2E_TMP/whole.miff" -crop 8x200+0+150 +repage -format '%[fx:mean.r] %[fx:mean.g] %[fx:mean.b]' info:)
    right=$(convert "$E2E_TMP/whole.miff" -crop 8x200+1272+150 +repage -format '%[fx:mean.r] %[fx:mean.g] %[fx:mean.b]' info:)
    echo "left edge rgb $left, right edge rgb $right"
    awk -v l="$left" -v r="$right" 'BEGIN {
        split(l, a, " "); split(r, b, " ")
        exit !(a[1] > 0.6 && a[2] < 0.3 && a[3] < 0.3 && b[1] < 0.3 && b[2] > 0.6 && b[3] > 0.6) }'
}

no_bars_on_second() {
    shot bars
    local strip mean
    for strip in "960x6+1280+0" "960x6+1280+714" "6x720+1280+0" "6x720+2234+0"; do
        mean=$(brightness bars "$strip")
        echo "edge $strip: $mean"
        at_least "$mean" 0.1 || return 1
    done
}

# Span: one picture across both; the columns either side of the seam match
# (an aspect-filled canvas of 2240x720, 7x the 320-pixel-wide clip).
continuous_at_seam() {
    shot seam
    crop seam 4x720+1276+0 left
    crop seam 4x720+1280+0 right
    local rmse
    rmse=$(difference "$E2E_TMP/seam-left.miff" "$E2E_TMP/seam-right.miff")
    echo "RMSE across the seam: $rmse"
    at_least 0.08 "$rmse"
}

not_same_as_all_screens() {
    local rmse
    rmse=$(middle_against_second spanned)
    echo "RMSE between the first monitor's middle and the second monitor: $rmse"
    at_least "$rmse" 0.15
}

second_is_bare() {
    shot bare
    local mean
    mean=$(brightness bare "$second")
    echo "second monitor brightness $mean"
    at_least 0.02 "$mean"
}

frames_drawn() { e2e_proc_send driver frames | awk '{print $2}'; }
frames_advance() {
    local before after
    before=$(frames_drawn)
    sleep 0.5
    after=$(frames_drawn)
    echo "frames $before -> $after"
    [ "$after" -gt $((before + 3)) ]
}
no_restart() {
    local starts
    starts=$(grep -c '^event first-frame' "$E2E_TMP/driver.out")
    echo "first frames: $starts"
    [ "$starts" -eq 1 ]
}

e2e_proc_start driver "$driver"

# 1. All Screens (the default).
check "start answers ok" e2e_proc_send driver "start $clips/wide-16x9.mp4"
check "the first frame is shown" e2e_proc_wait driver '^event first-frame' 10
check "it shows on both monitors" windows_cover "$first" "$second"
for g in "$first" "$second"; do
    check "the window on $g has the desktop properties" has_desktop_properties "$g"
done
check "the pointer over the first monitor reaches the root" pointer_reaches_root 600 300
check "the pointer over the second monitor reaches the root" pointer_reaches_root 1700 300
check "the video moves on both monitors" both_move all
check "the 4:3 monitor shows the same frame, cropped to fill" e2e_wait_for 10 same_picture_cropped
check "the 4:3 monitor shows no bars" no_bars_on_second
check "the 16:9 monitor shows the whole clip" e2e_wait_for 10 whole_video_on_first

# 2. Span Across Screens, switched while playing.
check "mode span answers ok" e2e_proc_send driver "mode span"
check "span: the windows stay on both monitors" windows_cover "$first" "$second"
# The two windows get each frame one after the other, so a screenshot may
# fall between them: image checks look again until they hold.
check "span: the picture is continuous across the seam" e2e_wait_for 10 continuous_at_seam
check "span: each monitor shows its own slice" not_same_as_all_screens
check "span: the video moves on both monitors" both_move span

# 3. Main Screen Only.
check "mode main answers ok" e2e_proc_send driver "mode main"
check "main: one window, on the primary monitor" windows_cover "$first"
check "main: the second monitor is bare" second_is_bare

# 4. A covered monitor is not drawn on; the other plays on. Paused, the
# picture stays; resumed, it moves on.
e2e_proc_send driver "mode all" >/dev/null
check "all: back on both monitors" windows_cover "$first" "$second"
still_but_first_moves() {
    shot cover-a
    sleep 0.3
    shot cover-b
    local g changed
    for g in "$first" "$second"; do
        crop cover-a "$g" x
        crop cover-b "$g" y
        changed=$(compare -metric AE -fuzz 3% "$E2E_TMP/cover-a-x.miff" "$E2E_TMP/cover-b-y.miff" null: 2>&1)
        echo "$g: $changed pixels changed"
        if [ "$g" = "$first" ]; then at_least "$changed" 3000 || return 1; fi
        if [ "$g" = "$second" ]; then [ "$changed" -eq 0 ] || return 1; fi
    done
}
e2e_proc_send driver "cover second yes" >/dev/null
check "a covered monitor's picture stays while the other moves" e2e_wait_for 5 still_but_first_moves
e2e_proc_send driver "cover second no" >/dev/null
check "uncovered, it moves again" both_move uncovered
paused_still() {
    local before after
    before=$(frames_drawn)
    shot paused-a
    sleep 0.5
    shot paused-b
    after=$(frames_drawn)
    echo "frames $before -> $after"
    [ "$after" -le $((before + 1)) ] &&
        [ "$(compare -metric AE -fuzz 3% "$E2E_TMP/paused-a.miff" "$E2E_TMP/paused-b.miff" null: 2>&1)" -eq 0 ]
}
not_black() {
    shot paused
    local a b
    a=$(brightness paused "$first")
    b=$(brightness paused "$second")
    echo "brightness $a, $b"
    at_least "$a" 0.2 && at_least "$b" 0.2
}
e2e_proc_send driver "pause yes" >/dev/null
check "paused: no new frames and a still picture" e2e_wait_for 5 paused_still
check "paused: the picture stays on both monitors" e2e_wait_for 5 not_black
e2e_proc_send driver "pause no" >/dev/null
check "resumed: the video moves again" both_move resumed

# 5. Monitors come and go while the video plays on.
xrandr --delmonitor second
check "a removed monitor loses its window" e2e_wait_for 5 windows_cover "$first"
check "the video plays on after the removal" frames_advance
xrandr --setmonitor second 640/169x720/191+1280+0 none
check "an added monitor gets a window" \
    e2e_wait_for 5 windows_cover "$first" 640x720+1280+0
xrandr --output DUMMY0 --mode 1024x576
check "a resized monitor's window follows" \
    e2e_wait_for 5 windows_cover 1024x576+0+0 640x720+1280+0
xrandr --output DUMMY0 --mode 1280x720
xrandr --delmonitor second
xrandr --setmonitor second 960/254x720/191+1280+0 none
check "a monitor replaced by a wider one gets a window of its size" \
    e2e_wait_for 5 windows_cover "$first" "$second"
check "the video moves on both monitors after the changes" both_move plugged
e2e_proc_send driver "mode main" >/dev/null
xrandr --delmonitor second
xrandr --setmonitor '*second' 960/254x720/191+1280+0 none # now the primary
check "main: the wallpaper follows the primary monitor" e2e_wait_for 5 windows_cover "$second"
check "the video never restarted" no_restart

check "stop answers ok" e2e_proc_send driver stop
check "stop removes both windows" windows_cover
e2e_proc_close driver 10
e2e_finish

#!/usr/bin/env bash
# The helper on a KDE Plasma desktop: plasmashell in kwin_wayland (virtual
# outputs) or in kwin_x11 on Xvfb, with the wallpaper package and its item
# from the build tree. The video must play inside Plasma's own desktop, under
# its icons, survive clicks on the desktop, hold its picture while paused, and
# give the desktop its own wallpaper back on Stop; on two outputs both show
# the same frames of one decode.
#
#   plasma.sh HELPER PROJECT_ROOT PACKAGE_DATA_DIR PLASMA_BED wayland|x11 [OUTPUTS]
HELPER=$1 ROOT=$2 PACKAGE_DATA=$3 BED=$4 SESSION=$5 OUTPUTS=${6:-1}
source "$(dirname "$0")/../e2e/lib.sh"

HERE=$(cd "$(dirname "$0")/../e2e" && pwd)
PY=/usr/bin/python3
LOG=$E2E_TMP/helper.log
: >"$LOG"
mkdir -p "$E2E_TMP/bin"
printf '#!/bin/sh\nexit 0\n' >"$E2E_TMP/bin/xdg-open"
chmod +x "$E2E_TMP/bin/xdg-open"
export PATH="$E2E_TMP/bin:$PATH"

# The developer checkout with one clip, so that nothing goes to the network.
e2e_clip_checkout
# The welcome was shown: no alert waits for an answer.
mkdir -p "$XDG_CONFIG_HOME/Lumivo" "$HOME/Desktop"
printf '[General]\nhasShownWelcome=true\n' >"$XDG_CONFIG_HOME/Lumivo/LumivoHelper.conf"
echo "a note" >"$HOME/Desktop/notes.txt"

if [ "$SESSION" = wayland ]; then
    e2e_start_kwin_wayland "$OUTPUTS"
else
    e2e_start_kwin_x11 "$((1280 * OUTPUTS))x720"
    [ "$OUTPUTS" -eq 1 ] || e2e_split_monitors 1280x720+0+0 1280x720+1280+0
fi
e2e_start_plasmashell "$PACKAGE_DATA"

has_line() { grep -qF "[LumivoHelper] $1" "$LOG"; }
wait_line() { e2e_wait_for "${2:-15}" has_line "$1"; }
plugins() { e2e_plasma_script 'desktops().forEach(function (d) { if (d.screen >= 0) print(d.wallpaperPlugin + "\n"); })' | grep .; }
all_ours() { [ "$(plugins | sort -u)" = app.lumivo.wallpaper ]; }
none_ours() { ! plugins | grep -q app.lumivo.wallpaper; }
image_config() {
    e2e_plasma_script 'desktops().forEach(function (d) { d.currentConfigGroup = ["Wallpaper", "org.kde.image", "General"]; print(d.wallpaperPlugin + " " + d.readConfig("Image") + "\n"); })'
}

# shot FILE : the whole workspace.
shot() {
    if [ "$SESSION" = wayland ]; then
        "$BED" screenshot "$1"
    else
        import -window root "$1" 2>/dev/null
    fi
}
# region FILE X Y W H : the pixels of a rectangle, as one checksum.
region() { convert "$1" -crop "${4}x${5}+${2}+${3}" +repage rgb:- | md5sum | cut -c1-32; }
# The video's area on screen N (0-based), away from icons (top left) and
# the panel (bottom of the first screen).
video_area() { echo "$((1280 * $1 + 400)) 100 800 500"; }
area_of() { region "$1" $(video_area "$2"); }
moving_on() { # SCREEN
    shot "$E2E_TMP/m1.png" && sleep 0.3 && shot "$E2E_TMP/m2.png" &&
        [ "$(area_of "$E2E_TMP/m1.png" "$1")" != "$(area_of "$E2E_TMP/m2.png" "$1")" ]
}
moving() { e2e_wait_for 10 moving_on "$1"; }
still_on() { # SCREEN
    shot "$E2E_TMP/s1.png" && sleep 1 && shot "$E2E_TMP/s2.png" &&
        [ "$(area_of "$E2E_TMP/s1.png" "$1")" = "$(area_of "$E2E_TMP/s2.png" "$1")" ]
}
# Not black: the clip's colours, or Plasma's own picture.
lit_on() { # SCREEN [FILE]
    local mean
    mean=$(convert "${2:-$E2E_TMP/m2.png}" -crop "$(video_area "$1" | awk '{print $3"x"$4"+"$1"+"$2}')" \
        +repage -colorspace Gray -format '%[fx:int(mean*255)]' info:)
    [ "$mean" -gt 20 ]
}
click() { # X Y COUNT
    if [ "$SESSION" = wayland ]; then
        "$BED" click "$1" "$2" "$3"
    else
        local i
        for ((i = 0; i < $3; i++)); do
            xdotool mousemove "$1" "$2" click 1
            sleep 0.6
        done
    fi
}
# Nothing of the helper above plasmashell's desktop windows.
nothing_above_desktop() {
    local stacking
    stacking=$(e2e_kwin_stacking) || return 1
    echo "$stacking" | awk -v helper="$HELPER_PID" '
        $2 == "true" && $3 ~ /plasmashell$/ { desktop = NR }
        $1 == helper { last = NR }
        END { exit !(desktop > 0 && last <= desktop) }'
}

wallpaper_shown() { shot "$E2E_TMP/before.png" && lit_on 0 "$E2E_TMP/before.png"; }
e2e_wait_for 30 wallpaper_shown
sleep 1 # its fade-in
shot "$E2E_TMP/before.png"
BEFORE=$(area_of "$E2E_TMP/before.png" 0)
IMAGE_BEFORE=$(image_config)

e2e_spawn "$HELPER" 2>>"$LOG"
HELPER_PID=$E2E_LAST_PID
verify "the helper starts" wait_line "Helper started."
"$HELPER" lumivo://apply/local
verify "a wallpaper applies" wait_line "Applied Local Clip"
verify "inside Plasma's desktops, through the package" e2e_wait_for 10 all_ours
verify "rendered once in software into shared memory" has_line "Rendering in software"
verify "it plays on the first desktop" moving 0
verify "in the clip's colours" lit_on 0
if [ "$OUTPUTS" -gt 1 ]; then
    verify "and on the second" moving 1
fi
verify "nothing of the helper is stacked above Plasma's desktop" nothing_above_desktop

click 900 300 3
verify "three clicks on the empty desktop leave it playing" moving 0
verify "and still inside Plasma's desktop" all_ours
verify "and nothing of the helper above it" nothing_above_desktop

e2e_start_tray_host
tray() { "$PY" "$HERE/trayhost.py" "$@"; }
menu_has() { tray menu | grep -F "$1" >/dev/null; }
verify "the tray offers Pause Wallpaper" e2e_wait_for 10 menu_has "Pause Wallpaper"
tray click "Pause Wallpaper"
verify "Pause Wallpaper pauses" wait_line "Paused: by the user"
# Frames already on their way may still land.
verify "and holds the picture" e2e_wait_for 5 still_on 0
if [ "$OUTPUTS" -gt 1 ]; then
    same_frame() {
        shot "$E2E_TMP/two.png" &&
            [ "$(area_of "$E2E_TMP/two.png" 0)" = "$(area_of "$E2E_TMP/two.png" 1)" ]
    }
    verify "both outputs show the same frame" e2e_wait_for 5 same_frame
fi
# The icon of ~/Desktop/notes.txt lies over the video: take it away and the
# paused picture shows where it was.
icon_area() { region "$1" 0 0 200 150; }
shot "$E2E_TMP/icon.png"
WITH_ICON=$(icon_area "$E2E_TMP/icon.png")
# Through KIO and its desktop:/ view, which tells the desktop's folder view at
# once (a file watcher
# may be short of inotify instances on a busy machine).
kioclient5 --noninteractive remove desktop:/notes.txt
icon_gone() { shot "$E2E_TMP/noicon.png" && [ "$(icon_area "$E2E_TMP/noicon.png")" != "$WITH_ICON" ]; }
verify "a desktop icon is drawn over the video" e2e_wait_for 10 icon_gone
verify "and the video stays as it was under it" \
    eval '[ "$(area_of "$E2E_TMP/noicon.png" 0)" = "$(area_of "$E2E_TMP/icon.png" 0)" ]'
tray click "Pause Wallpaper"
verify "unchecking it resumes" wait_line "Resumed"
verify "and it plays again" moving 0

if [ "$OUTPUTS" -gt 1 ]; then
    desktop_plugin() { # SCREEN
        e2e_plasma_script "desktops().forEach(function (d) { if (d.screen == $1) print(d.wallpaperPlugin); })"
    }
    plugin_is() { [ "$(desktop_plugin "$1")" = "$2" ]; }
    tray click "Main Screen Only"
    verify "Main Screen Only gives the second desktop its own wallpaper back" \
        e2e_wait_for 10 plugin_is 1 org.kde.image
    verify "and keeps the video on the first" eval 'plugin_is 0 app.lumivo.wallpaper && moving 0'
    tray click "All Screens"
    verify "All Screens puts it back on the second" e2e_wait_for 10 plugin_is 1 app.lumivo.wallpaper
    verify "where it plays" moving 1
fi

if [ "$SESSION" = wayland ] && [ "$OUTPUTS" -eq 1 ]; then
    # A full-screen window over the only desktop: Plasma's task manager tells
    # the package, which tells the helper.
    e2e_spawn "$BED" window full 2>/dev/null
    COVER=$E2E_LAST_PID
    verify "a full-screen window over the desktop pauses" wait_line "Paused: desktop covered"
    resumed_again() { [ "$(grep -c 'Resumed$' "$LOG")" -ge 2 ]; }
    kill "$COVER"
    verify "and its going resumes" e2e_wait_for 15 resumed_again
    verify "with new frames" moving 0
fi

"$HELPER" lumivo://stop
verify "Stop stops" wait_line "Stopped wallpaper"
verify "and gives every desktop its own wallpaper back" e2e_wait_for 10 none_ours
verify "with its configuration" eval '[ "$(image_config)" = "$IMAGE_BEFORE" ]'
back_as_before() { shot "$E2E_TMP/after.png" && [ "$(area_of "$E2E_TMP/after.png" 0)" = "$BEFORE" ]; }
verify "and the desktop looks as before" e2e_wait_for 10 back_as_before
verify "nothing is left in the helper's settings" \
    eval '! grep -q plasmaDesktops "$XDG_CONFIG_HOME/Lumivo/LumivoHelper.conf"'

# A helper that dies leaves the package on the desktop; the next one gives
# the desktop its wallpaper back, even when it then plays nothing.
"$HELPER" lumivo://apply/local
verify "applied again" e2e_wait_for 10 all_ours
kill -KILL "$HELPER_PID"
wait "$HELPER_PID" 2>/dev/null
e2e_spawn "$HELPER" lumivo://stop 2>>"$LOG"
verify "a new start after a crash gives the desktops back" e2e_wait_for 20 none_ours
verify "with their configuration" eval '[ "$(image_config)" = "$IMAGE_BEFORE" ]'
e2e_finish

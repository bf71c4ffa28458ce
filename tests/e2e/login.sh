#!/usr/bin/env bash
# End-to-end test of starting with the session: "Start at Login" from the tray
# menu, --autostart, and the last wallpaper coming back on a start without a
# URL, with the manifest endpoint unreachable. The real helper (as helper.sh
# builds it) on Xvfb and a private session bus, with the test tray host and
# the loopback HTTPS gallery.
#
#   login.sh HELPER PROJECT_ROOT PORT
HELPER=$(realpath "$1") ROOT=$(realpath -m "$2") PORT=$3
source "$(dirname "$0")/lib.sh"

e2e_helper_scene
ENTRY=$XDG_CONFIG_HOME/autostart/app.lumivo.Helper.desktop

e2e_gallery_fixture
echo "[$(e2e_record remote "Remote Clip" "$PROD/videos/remote.mp4" "$REMOTE")]" \
    >"$E2E_TMP/site/api/wallpapers.json"

# ---- helpers (checks run these in a subshell of this shell) ----------------
alert_gone() { [ -z "$(xdotool search --onlyvisible --name '^Lumivo Helper$' 2>/dev/null)" ]; }
menu_has() { tray menu | grep -xF "$1" >/dev/null; }
wait_menu() { e2e_wait_for 10 menu_has "$1"; }
# Once a ping handed over is logged, every command queued before it (the
# restore among them) has run.
settled() { e2e_helper_send lumivo://ping && wait_line ping; }
wait_plays() { e2e_wait_for 10 plays "$1"; }
plays_nothing() { ! ls -l "/proc/$PID/fd" | grep -q '\.mp4$'; }
remembers_nothing() { ! grep -sq '^\[lastWallpaper\]' "$CONF"; }

e2e_start_xvfb 640x360

# ---- --autostart: no welcome, no tray yet, and no word about it -------------
e2e_helper_start autostart --autostart
verify "an autostart starts without a welcome" wait_line "Helper started. Manifest: $PROD/api/wallpapers.json"
verify "and leaves the welcome flag unset" test -z "$(grep -s hasShownWelcome "$CONF")"
verify "commands work while no tray is there" settled
no_tray_line() { ! grep -q 'No system tray' "$LOG"; }
verify "the missing tray is not reported at once" no_tray_line
e2e_spawn "$PY" "$HERE/trayhost.py" serve >/dev/null
verify "the icon registers once a tray starts" e2e_wait_for 10 tray_has_item

# ---- Start at Login ---------------------------------------------------------
menu_at_login() {
    diff <(tray menu) <(printf '%s\n' 'No Wallpaper Playing	0	' - 'Stop Wallpaper	0	Control+S' \
        'Open Gallery	1	Control+G' 'Check for Updates	1	Control+U' - 'Pause Wallpaper	0		[ ]' \
        'Screens	1	' \
        '> All Screens	1		(*)' '> Span Across Screens	1		( )' '> Main Screen Only	1		( )' \
        '> Each Screen Separately	1		( )' \
        'Start at Login	1		[ ]' - 'Quit Helper	1	Control+Q')
}
verify "the menu offers Start at Login, unchecked" menu_at_login
tray click "Start at Login"
verify "checking it writes the autostart entry" e2e_wait_for 10 test -f "$ENTRY"
verify "which desktop-file-validate accepts" desktop-file-validate "$ENTRY"
verify "and which runs the launcher with --autostart" grep -qxF "Exec=$HELPER --autostart" "$ENTRY"
verify "the item is checked" wait_menu 'Start at Login	1		[x]'
tray click "Start at Login"
verify "unchecking it removes the entry" e2e_wait_for 10 test ! -e "$ENTRY"
verify "the item is unchecked" wait_menu 'Start at Login	1		[ ]'
e2e_helper_terminate
mkdir -p "$(dirname "$CONF")"
printf '[General]\nhasShownWelcome=true\n' >>"$CONF"

# ---- a checkout wallpaper comes back without any manifest -------------------
e2e_helper_start checkout
verify "plain start" wait_line "Helper started. Manifest: $PROD/api/wallpapers.json"
e2e_helper_send lumivo://apply/local
verify "applied from the checkout" wait_line "Applied Local Clip"
e2e_helper_terminate
mv "$PUBLIC/api/wallpapers.json" "$E2E_TMP/local-manifest.json" # and no server runs
e2e_helper_start restore-checkout
verify "the checkout wallpaper is restored" wait_line "Restored Local Clip"
verify "it plays on screen" wait_plays "$PUBLIC/assets/wallpapers/local.mp4"
verify "the menu shows it" wait_menu "Playing: Local Clip	0	"
verify "no manifest was read" test "$(lines_matching 'manifest')" -eq 0
verify "no alert" alert_gone
e2e_helper_terminate

# ---- a cached wallpaper comes back with the server gone ---------------------
start_server
e2e_helper_start cache
e2e_helper_send lumivo://apply/remote
verify "applied over HTTPS" wait_line "Applied Remote Clip" 20
e2e_helper_terminate
stop_server
before=$(wc -l <"$SERVED")
e2e_helper_start restore-cache
verify "the cached wallpaper is restored" wait_line "Restored Remote Clip"
CACHED=$(ls "$CACHE"/remote-*.mp4)
verify "it plays from the cache" wait_plays "$CACHED"
verify "the menu shows it" wait_menu "Playing: Remote Clip	0	"
verify "nothing was fetched" test "$(wc -l <"$SERVED")" -eq "$before"
verify "no alert" alert_gone
e2e_helper_terminate

# ---- a start with a URL carries out the URL instead -------------------------
e2e_helper_start with-url lumivo://ping
verify "the URL is carried out" wait_line ping
verify "and nothing is restored" settled
verify "nothing plays" plays_nothing
e2e_helper_terminate

# ---- a stopped wallpaper stays stopped --------------------------------------
e2e_helper_start stopping
verify "restored once more" wait_line "Restored Remote Clip"
e2e_helper_send lumivo://stop
verify "stopped" wait_line "Stopped wallpaper"
e2e_helper_terminate
verify "a stop forgets it" remembers_nothing
e2e_helper_start after-stop
verify "the next e2e_helper_start settles" settled
verify "without restoring anything" test "$(lines_matching 'Restore')" -eq 0
verify "nothing plays after a stop" plays_nothing
verify "the menu is idle" wait_menu "No Wallpaper Playing	0	"
e2e_helper_terminate

# ---- a cached file altered or deleted: one line, forgotten, idle ------------
for damage in altered deleted; do
    start_server
    e2e_helper_start "apply-$damage"
    e2e_helper_send lumivo://apply/remote
    verify "applied again ($damage)" wait_line "Applied Remote Clip" 20
    e2e_helper_terminate
    stop_server
    if [ "$damage" = altered ]; then
        printf x >>"$CACHED"
        reason="is not a valid cached copy."
    else
        rm "$CACHED"
        reason="is gone."
    fi
    e2e_helper_start "restore-$damage"
    verify "the $damage file is logged in one line" wait_line "Cannot restore Remote Clip: $CACHED $reason"
    verify "settled ($damage)" settled
    one_cannot_line() { [ "$(lines_matching 'Remote Clip')" -eq 1 ]; }
    verify "and in no other line ($damage)" one_cannot_line
    verify "no alert ($damage)" alert_gone
    verify "nothing plays ($damage)" plays_nothing
    verify "the menu is idle ($damage)" wait_menu "No Wallpaper Playing	0	"
    verify "the wallpaper is forgotten ($damage)" remembers_nothing
    e2e_helper_terminate
done

e2e_finish

#!/usr/bin/env bash
# End-to-end test of lumivo-helper: the real binary (built with its web origin
# on a loopback HTTPS port and its project root under the build directory) on
# Xvfb and a private session bus, with a test tray host, a loopback HTTPS
# gallery, xdotool answering alerts and a fake xdg-open recording pages.
#
#   helper.sh HELPER PROJECT_ROOT PORT
HELPER=$1 ROOT=$2 PORT=$3
source "$(dirname "$0")/lib.sh"

HERE=$(cd "$(dirname "$0")" && pwd)
DATA=$HERE/../data
PY=/usr/bin/python3
LOG=$E2E_TMP/helper.log
SERVED=$E2E_TMP/served.log
OPENED=$E2E_TMP/opened
PUBLIC=$ROOT/web/public
DEV=http://127.0.0.1:4173
PROD=https://localhost:$PORT
export SSL_CERT_FILE=$DATA/tls/ca.pem
: >"$LOG" >"$SERVED" >"$OPENED"

mkdir -p "$E2E_TMP/bin"
cat >"$E2E_TMP/bin/xdg-open" <<EOS
#!/bin/sh
echo "\$1" >>"$OPENED"
EOS
chmod +x "$E2E_TMP/bin/xdg-open"
export PATH="$E2E_TMP/bin:$PATH"

# ---- fixtures: the developer checkout and the HTTPS gallery -----------------
e2e_gallery_fixture
# "fifo" names a checkout file that is a FIFO; "stall" a download that stalls.
echo "[$(e2e_record remote "Remote Clip" "$PROD/videos/remote.mp4" "$REMOTE"),
$(e2e_record fifo "Fifo Clip" "$PROD/assets/wallpapers/fifo.mp4" "$REMOTE"),
$(e2e_record stall "Stalled Clip" "$PROD/stall/videos/remote.mp4" "$REMOTE")]" \
    >"$E2E_TMP/site/api/wallpapers.json"
e2e_spawn "$PY" "$HERE/https_server.py" "$E2E_TMP/site" "$PORT" "$DATA/tls/server.pem" \
    "$DATA/tls/server.key" "$SERVED" >/dev/null

# ---- helpers (checks run these in a subshell of this shell) ----------------
has_line() { grep -qxF "[LumivoHelper] $1" "$LOG"; }
line_count() { grep -cxF "[LumivoHelper] $1" "$LOG"; }
lines_are() { [ "$(line_count "$1")" -eq "$2" ]; } # LINE COUNT
wait_line() { e2e_wait_for "${2:-10}" has_line "$1"; }
wait_lines() { e2e_wait_for "${3:-10}" lines_are "$1" "$2"; } # LINE COUNT [SECONDS]
served_count() { grep -cxF "GET $1" "$SERVED"; }
was_opened() { grep -qxF "$1" "$OPENED"; }
wait_opened() { e2e_wait_for 5 was_opened "$1"; }
opened_count() { grep -c . "$OPENED"; }
alert_window() { xdotool search --onlyvisible --name '^Lumivo Helper$' 2>/dev/null | head -n1; }
alert_shown() { [ -n "$(alert_window)" ]; }
alert_gone() { [ -z "$(alert_window)" ]; }
# answer_alert KEY... : waits for the alert, focuses it and types the keys.
answer_alert() {
    e2e_wait_for 10 alert_shown || return 1
    xdotool windowfocus --sync "$(alert_window)" key --delay 50 "$@"
    e2e_wait_for 10 alert_gone
}
tray() { "$PY" "$HERE/trayhost.py" "$@"; }
tray_has_item() { [ -n "$(tray items 2>/dev/null)" ]; }
menu_has() { tray menu | grep -xF "$1" >/dev/null; } # not -q: no broken pipe
wait_menu() { e2e_wait_for 10 menu_has "$1"; }
alive() { kill -0 "$1" 2>/dev/null; }
exited() { ! alive "$1"; }
error_count() { grep -c '^\[LumivoHelper\] ERROR: ' "$LOG"; }
temporary_count() { ls -A "$XDG_CACHE_HOME/Lumivo/wallpapers/" | grep -c '\.download'; }
downloading() { [ "$(temporary_count)" -gt 0 ]; }
no_temporaries() { [ "$(temporary_count)" -eq 0 ]; }

# ---- --help and --version touch neither display nor bus ----------------------
no_session() { env -u DISPLAY DBUS_SESSION_BUS_ADDRESS=unix:path=/nonexistent "$HELPER" "$@"; }
version_printed() { no_session --version | grep -q '^lumivo-helper [0-9]'; }
verify "--help prints usage without display or bus" no_session --help
verify "--version prints the version without display or bus" version_printed

# ---- no display to run on: one line and exit status 1, not Qt's abort ---------
# without_display REASON VAR=VALUE... : `lumivo-helper lumivo://ping` with only
# the given display variables, while no helper runs, says REASON and exits 1.
without_display() {
    local out status
    out=$(env -u DISPLAY -u WAYLAND_DISPLAY "${@:2}" "$HELPER" lumivo://ping 2>&1)
    status=$?
    printf 'exit status %s, output:\n%s\n' "$status" "$out"
    [ "$status" -eq 1 ] &&
        [ "$out" = "[LumivoHelper] Cannot start: no graphical session was found: $1" ]
}
verify "with neither DISPLAY nor WAYLAND_DISPLAY it exits 1 and says why" \
    without_display "neither DISPLAY nor WAYLAND_DISPLAY is set"
verify "an X display that cannot be opened: the same" \
    without_display "DISPLAY=:4242 cannot be opened" DISPLAY=:4242
verify "a Wayland display that cannot be opened: the same" \
    without_display "WAYLAND_DISPLAY=nowhere cannot be opened" WAYLAND_DISPLAY=nowhere \
    QT_QPA_PLATFORM=wayland

e2e_start_xvfb 640x360

# ---- no cache directory: the helper does not run -------------------------------
without_cache() {
    local out
    out=$(env XDG_CACHE_HOME= HOME=relative "$HELPER" lumivo://ping 2>&1) && return 1
    grep -qxF "[LumivoHelper] Cannot start: Wallpaper cache failed: Application Support directory is unavailable." <<<"$out"
}
verify "without a cache directory it logs why and exits non-zero" without_cache

# ---- first run: welcome, then the start line; no tray yet --------------------
e2e_spawn "$HELPER" 2>>"$LOG"
HELPER_PID=$E2E_LAST_PID
no_start_line() { ! grep -q 'Helper started' "$LOG"; }
verify "without a tray the helper says so" wait_line "No system tray available; commands \
still work through lumivo:// URLs, and the icon appears when a tray starts"
verify "the welcome alert shows on the first run" e2e_wait_for 10 alert_shown
verify "the start line waits for the welcome" no_start_line
answer_alert Return
verify "welcome: Open Gallery opens the gallery" wait_opened "$DEV/live-wallpapers/"
verify "start line after the welcome" wait_line "Helper started. Manifest: $PROD/api/wallpapers.json"
verify "the welcome flag is stored" grep -rqx 'hasShownWelcome=true' "$XDG_CONFIG_HOME/Lumivo"

# ---- a tray host that appears after launch -----------------------------------
e2e_start_tray_host
menu_after_launch() {
    diff <(tray menu) <(printf '%s\n' 'No Wallpaper Playing	0	' - 'Stop Wallpaper	0	Control+S' \
        'Open Gallery	1	Control+G' 'Check for Updates	1	Control+U' - 'Pause Wallpaper	0		[ ]' \
        'Screens	1	' \
        '> All Screens	1		(*)' '> Span Across Screens	1		( )' '> Main Screen Only	1		( )' \
        '> Each Screen Separately	1		( )' \
        'Start at Login	1		[ ]' - 'Quit Helper	1	Control+Q')
}
named_helper() { [ "$(tray prop ToolTip)" = 'Lumivo Helper' ] && [ "$(tray prop Title)" = 'Lumivo Helper' ]; }
verify "the tray icon registers once a tray host appears" e2e_wait_for 10 tray_has_item
verify "menu after launch" menu_after_launch
verify "tooltip and title name the helper" named_helper
tray click "Span Across Screens"
verify "a screen mode chosen from the menu is stored" \
    e2e_wait_for 10 grep -rqx 'screens=span' "$XDG_CONFIG_HOME/Lumivo"
verify "and checked in the menu" wait_menu "> Span Across Screens	1		(*)"
tray click "All Screens"
verify "All Screens again" e2e_wait_for 10 grep -rqx 'screens=all' "$XDG_CONFIG_HOME/Lumivo"

# ---- commands handed over by second instances --------------------------------
verify "a second instance hands ping over and exits 0" "$HELPER" lumivo://ping
verify "ping is logged" wait_line ping

"$HELPER" lumivo://apply/local
applied_locally() {
    wait_line 'Applied Local Clip' &&
        has_line "Using local manifest: $PUBLIC/api/wallpapers.json" &&
        has_line "Using local asset fallback: $PUBLIC/assets/wallpapers/local.mp4"
}
verify "apply from the checkout uses the local manifest and asset" applied_locally
verify "menu shows what plays" wait_menu "Playing: Local Clip	0	"
verify "stop is enabled while it plays" menu_has "Stop Wallpaper	1	Control+S"
verify "nothing was fetched for it" test "$(served_count /api/wallpapers.json)" -eq 0

tray click "Open Gallery"
tray click "Check for Updates"
verify "development pages while the checkout exists" wait_opened "$DEV/mac-helper/"
verify "the gallery opened from the menu" test "$(grep -c live-wallpapers "$OPENED")" -eq 2

tray click "Stop Wallpaper"
verify "stop by menu" wait_line 'Stopped wallpaper'
verify "menu idle after stop" wait_menu "No Wallpaper Playing	0	"

# ---- apply over HTTPS: download, then a cache hit -----------------------------
rm "$PUBLIC/api/wallpapers.json"
"$HELPER" lumivo://apply/remote
cached_once() {
    echo "served:"; cat "$SERVED"; echo "cache:"; ls -a "$XDG_CACHE_HOME/Lumivo/wallpapers/"
    [ "$(served_count /videos/remote.mp4)" -eq 1 ] &&
        ls "$XDG_CACHE_HOME/Lumivo/wallpapers/" | grep -qx 'remote-[0-9a-f]\{12\}\.mp4'
}
verify "apply over HTTPS downloads and plays" wait_line "Applied Remote Clip" 20
verify "the video was fetched once into the cache" cached_once
"$HELPER" lumivo://apply/remote
verify "a second apply plays again" wait_lines "Applied Remote Clip" 2
verify "from the cache, after a fresh manifest" \
    test "$(served_count /videos/remote.mp4)/$(served_count /api/wallpapers.json)" = 1/2
verify "tooltip is the name again after the download" test "$(tray prop ToolTip)" = 'Lumivo Helper'

"$HELPER" lumivo://stop
verify "stop by URL" wait_lines 'Stopped wallpaper' 2

# ---- FIFOs in the checkout are no files to read ------------------------------
mkfifo "$PUBLIC/api/wallpapers.json" "$PUBLIC/assets/wallpapers/fifo.mp4"
"$HELPER" lumivo://apply/remote
verify "a FIFO as the local manifest: the remote one is used" wait_lines "Applied Remote Clip" 3
"$HELPER" lumivo://apply/fifo
verify "a FIFO as the local video: the failed download's alert" e2e_wait_for 10 alert_shown
verify "the FIFO was not taken for the video" test "$(grep -c 'fifo.mp4$' "$LOG")" -eq 0
before=$(opened_count)
verify "Escape answers the error alert" answer_alert Escape
verify "as Cancel: nothing opened" test "$(opened_count)" -eq "$before"
"$HELPER" lumivo://ping
verify "the helper still answers ping" wait_lines ping 2
rm "$PUBLIC/api/wallpapers.json" "$PUBLIC/assets/wallpapers/fifo.mp4"
"$HELPER" lumivo://stop
wait_lines 'Stopped wallpaper' 3

# ---- an unknown id: alert, answered with its default button ------------------
"$HELPER" lumivo://apply/nope
verify "unknown id is logged" wait_line "ERROR: No wallpaper in manifest for id nope."
verify "the menu settled before the alert" wait_menu "No Wallpaper Playing	0	"
before=$(opened_count)
answer_alert Return
more_opened() { [ "$(opened_count)" -gt "$before" ]; }
verify "the alert's default button opens the gallery" e2e_wait_for 5 more_opened

# ---- production pages once the checkout is gone ------------------------------
rm -rf "$ROOT"
tray click "Open Gallery"
tray click "Check for Updates"
verify "production gallery page without the checkout" wait_opened "$PROD/live-wallpapers/"
verify "production helper page without the checkout" wait_opened "$PROD/mac-helper/"

# ---- Stop during a stalled download --------------------------------------------
"$HELPER" lumivo://apply/remote # something plays: Stop Wallpaper is enabled
verify "a wallpaper plays before the stalled apply" wait_lines "Applied Remote Clip" 4
errors=$(error_count)
stop_cancels() { # NAME CMD... : stop with CMD; $stops is the count of "Stopped wallpaper"
    "$HELPER" lumivo://apply/stall
    verify "the stalled download has begun" e2e_wait_for 10 downloading
    "${@:2}"
    verify "$1 during a stalled download stops at once" wait_lines 'Stopped wallpaper' $((stops + 1)) 2
    verify "the cancelled apply is logged" wait_lines "Apply cancelled: stall" $((stops - 2))
    verify "its temporary files are gone" e2e_wait_for 5 no_temporaries
    verify "menu idle after the stop" wait_menu "No Wallpaper Playing	0	"
    stops=$((stops + 1))
}
stops=3
stop_cancels "Stop Wallpaper" tray click "Stop Wallpaper"
stop_cancels "lumivo://stop" "$HELPER" lumivo://stop
verify "no error and no alert for the cancelled applies" test "$(error_count)" -eq "$errors"
verify "no alert is open" alert_gone

# ---- a burst of 200 hand-overs from parallel processes -----------------------
before=$(line_count ping)
pids=()
for _ in $(seq 200); do
    "$HELPER" lumivo://ping 2>>"$E2E_TMP/burst.err" &
    pids+=($!)
done
failures=0
for pid in "${pids[@]}"; do
    wait "$pid" || failures=$((failures + 1))
done
verify "all 200 hand-overs exit 0" test "$failures" -eq 0
verify "every ping is logged exactly once" wait_lines ping $((before + 200)) 20
"$HELPER" lumivo://ping
verify "the helper still answers afterwards" wait_lines ping $((before + 201))
verify "and still runs" alive "$HELPER_PID"

# ---- floods: a 1 MiB URL, one Open call with 10,000 URLs ----------------------
"$PY" "$HERE/open_uris.py" lumivo://apply/ 1048576 1
verify "a 1 MiB URL is refused as invalid" wait_line "ERROR: Invalid lumivo URL."
"$HELPER" lumivo://ping
verify "then ping is answered" wait_lines ping $((before + 202)) 5
answer_alert Escape
"$PY" "$HERE/open_uris.py" lumivo://bogus 0 10000
verify "one Open call takes 64 URLs" wait_line "Dropped 9936 URLs of one request beyond the first 64"
verify "each of them is logged" wait_lines "ERROR: Unknown action: bogus." 64
"$HELPER" lumivo://ping
verify "ping is answered while the alert is open" wait_lines ping $((before + 203)) 5
verify "the alert is still open" alert_shown
first_alert=$(alert_window)
xdotool windowfocus --sync "$first_alert" key Escape
another_alert() { [ -n "$(alert_window)" ] && [ "$(alert_window)" != "$first_alert" ]; }
verify "its Escape brings one alert for the errors held back" e2e_wait_for 10 another_alert
verify "whose Escape ends them" answer_alert Escape
"$HELPER" lumivo://ping
verify "ping is answered after the floods" wait_lines ping $((before + 204)) 5
verify "and no alert is left" alert_gone

# ---- 50 applies across three wallpapers, stops in between, no override -------
# mpv may never open a window of its own (it once fell back to an SDL window
# and deadlocked on the fourth switch), and the helper must not grow.
ids=(wide classic sound)
titles=("Wide Clip" "Classic Clip" "Sound Clip")
clips=(wide-16x9 classic-4x3 with-audio-16x9)
entries=()
mkdir -p "$PUBLIC/api" "$PUBLIC/assets/wallpapers" # the checkout is back
for k in 0 1 2; do
    cp "$DATA/video/${clips[k]}.mp4" "$PUBLIC/assets/wallpapers/${ids[k]}.mp4"
    entries+=("$(e2e_record "${ids[k]}" "${titles[k]}" "$PROD/assets/wallpapers/${ids[k]}.mp4" \
        "$PUBLIC/assets/wallpapers/${ids[k]}.mp4")")
done
(IFS=,; echo "[${entries[*]}]") >"$PUBLIC/api/wallpapers.json"
# The viewable top-level windows, each as "<id> <desktop|other>".
viewable_windows() {
    local id
    for id in $(xwininfo -root -children | awk '$1 ~ /^0x/ {print $1}'); do
        xwininfo -id "$id" 2>/dev/null | grep -q 'Map State: IsViewable' || continue
        if xprop -id "$id" _NET_WM_WINDOW_TYPE 2>/dev/null | grep -q _NET_WM_WINDOW_TYPE_DESKTOP; then
            echo "$id desktop"
        else
            echo "$id other"
        fi
    done
}
only_our_window() {
    viewable_windows >"$E2E_TMP/windows"
    [ "$(awk '{print $2}' "$E2E_TMP/windows")" = desktop ]
}
# Anonymous memory only: library pages first touched late (another clip's
# codec path) are not growth of the helper's own.
rss_kib() { awk '$1 == "RssAnon:" {print $2}' "/proc/$HELPER_PID/status"; }
unanswered=0 unapplied=0 strangers=0 stops=$(line_count 'Stopped wallpaper')
declare -A applied=()
for ((i = 1; i <= 50; i++)); do
    k=$(((i - 1) % 3))
    applied[$k]=$((${applied[$k]:-$(line_count "Applied ${titles[k]}")} + 1))
    "$HELPER" "lumivo://apply/${ids[k]}" || unanswered=$((unanswered + 1))
    wait_lines "Applied ${titles[k]}" "${applied[$k]}" || unapplied=$((unapplied + 1))
    e2e_wait_for 5 only_our_window || {
        strangers=$((strangers + 1))
        sed 's/^/    /' "$E2E_TMP/windows"
    }
    "$HELPER" lumivo://stop || unanswered=$((unanswered + 1))
    stops=$((stops + 1))
    wait_lines 'Stopped wallpaper' "$stops" || unapplied=$((unapplied + 1))
    [ "$i" -ne 10 ] || rss_at_10=$(rss_kib)
done
rss_at_50=$(rss_kib)
verify "50 applies and stops: every hand-over answered" test "$unanswered" -eq 0
verify "50 applies and stops: every one carried out" test "$unapplied" -eq 0
verify "50 applies: no window but the wallpaper's ever showed" test "$strangers" -eq 0
# A leak of a frame or a decoder per start would be tens of MiB here. Three
# clips of different sizes still leave 1 to 2 MiB of heap behind after the
# first ten starts, though the player trims malloc's arenas on each stop (a
# loop over one clip stays flat); the bound leaves room for a loaded machine.
rss_flat() {
    echo "RssAnon after stop 10: $rss_at_10 KiB, after stop 50: $rss_at_50 KiB"
    [ $((rss_at_50 - rss_at_10)) -le 4096 ]
}
verify "50 applies: memory grows by at most 4 MiB from the 10th to the 50th" rss_flat
rm -rf "$PUBLIC/api" # later checks use the remote manifest again

# ---- Quit from the menu -----------------------------------------------------
tray click "Quit Helper"
verify "Quit Helper ends the helper" e2e_wait_for 10 exited "$HELPER_PID"
wait "$HELPER_PID"
verify "and it exits 0" test "$?" -eq 0

# ---- three simultaneous starts end with exactly one helper --------------------
three=()
for i in 1 2 3; do
    e2e_spawn "$HELPER" lumivo://ping 2>>"$E2E_TMP/three.$i.log"
    three+=("$E2E_LAST_PID")
done
count_alive() {
    local n=0 p
    for p in "${three[@]}"; do alive "$p" && n=$((n + 1)); done
    echo "$n"
}
one_alive() { [ "$(count_alive)" -eq 1 ]; }
three_pings() { [ "$(cat "$E2E_TMP"/three.*.log | grep -cxF '[LumivoHelper] ping')" -eq 3 ]; }
verify "three simultaneous starts leave one helper" e2e_wait_for 15 one_alive
sleep 1
verify "still exactly one a moment later" one_alive
verify "it logged all three pings" e2e_wait_for 10 three_pings
WINNER=0
for p in "${three[@]}"; do alive "$p" && WINNER=$p; done

# ---- Quit from the error alert -----------------------------------------------
"$HELPER" lumivo://bogus
verify "a bad action shows the alert" e2e_wait_for 10 alert_shown
answer_alert Tab space
verify "the alert's Quit ends the helper" e2e_wait_for 10 exited "$WINNER"

# ---- signals during a download: quit as Quit Helper does -----------------------
# (A script's background jobs start with SIGINT ignored, which the helper keeps.)
for signal in TERM INT HUP; do
    e2e_spawn env --default-signal=INT "$HELPER" lumivo://apply/stall 2>>"$E2E_TMP/signal.log"
    verify "SIG$signal: the stalled download has begun" e2e_wait_for 10 downloading
    kill -"$signal" "$E2E_LAST_PID"
    verify "SIG$signal during a download ends the helper at once" e2e_wait_for 2 exited "$E2E_LAST_PID"
    wait "$E2E_LAST_PID"
    verify "SIG$signal: exit status 0" test "$?" -eq 0
    verify "SIG$signal: no temporary files are left" no_temporaries
done

# ---- the session bus goes away: the helper ends ---------------------------------
e2e_spawn dbus-daemon --session --nofork --print-address >"$E2E_TMP/bus.address"
BUS_PID=$E2E_LAST_PID
e2e_wait_for 10 test -s "$E2E_TMP/bus.address"
DBUS_SESSION_BUS_ADDRESS=$(head -n1 "$E2E_TMP/bus.address") e2e_spawn "$HELPER" 2>"$E2E_TMP/bus.log"
started_on_bus() { grep -q 'Helper started' "$E2E_TMP/bus.log"; }
verify "a helper runs on a second session bus" e2e_wait_for 10 started_on_bus
kill "$BUS_PID"
verify "killing its session bus ends the helper" e2e_wait_for 5 exited "$E2E_LAST_PID"

e2e_finish

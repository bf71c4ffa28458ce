#!/usr/bin/env bash
# End-to-end test of the helper with a settings file it cannot use: a FIFO in
# place of ~/.config/Lumivo/LumivoHelper.conf, which a plain read waits on for
# ever. The real helper on Xvfb must start anyway, say once what is wrong with
# the file, show the welcome once, play the checkout's sample wallpaper and
# leave the FIFO as it was. UserSettingsTest covers the other kinds of file.
#
#   settings.sh HELPER
HELPER=$(realpath "$1")
source "$(dirname "$0")/lib.sh"

CONF=$XDG_CONFIG_HOME/Lumivo/LumivoHelper.conf
mkdir -p "$(dirname "$CONF")"

has_line() { grep -qxF "[LumivoHelper] $1" "$LOG"; }
wait_line() { e2e_wait_for 10 has_line "$1"; }
alert_window() { xdotool search --onlyvisible --name '^Lumivo Helper$' 2>/dev/null | head -n1; }
alert_shown() { [ -n "$(alert_window)" ]; }
# answer_welcome : waits for the welcome alert and answers it with OK.
answer_welcome() {
    e2e_wait_for 10 alert_shown || return 1
    xdotool windowfocus --sync "$(alert_window)" key Return
    e2e_wait_for 10 eval '! alert_shown'
}
unusable_line() {
    echo "Cannot use the settings file $CONF: it is $1, not a regular file. Settings are kept in \
memory until the helper quits."
}

e2e_start_xvfb 640x360
export PATH="$E2E_TMP/bin:$PATH" # a browser that opens nothing
mkdir -p "$E2E_TMP/bin"
printf '#!/bin/sh\n' >"$E2E_TMP/bin/xdg-open"
chmod +x "$E2E_TMP/bin/xdg-open"

mkfifo "$CONF"
e2e_spawn "$HELPER" 2>"$E2E_TMP/fifo.log"
PID=$E2E_LAST_PID LOG=$E2E_TMP/fifo.log
verify "with a FIFO as its settings file the helper says so" wait_line "$(unusable_line "a FIFO")"
verify "and shows its welcome" answer_welcome
verify "then starts" wait_line "Helper started. Manifest: https://lumivo.app/api/wallpapers.json"
e2e_helper_send lumivo://apply/aurora-veil
verify "a wallpaper plays" wait_line "Applied Aurora Veil"
e2e_helper_send lumivo://stop
verify "and stops" wait_line "Stopped wallpaper"
verify "no second welcome came" eval '! alert_shown'
verify "the settings file was not read or written" \
    eval '[ "$(grep -c "Cannot use the settings file" "$LOG")" -eq 1 ] && [ -p "$CONF" ]'
e2e_helper_terminate

e2e_finish

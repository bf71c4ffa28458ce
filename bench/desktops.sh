#!/usr/bin/env bash
# How long a file manager's opaque desktop window stays over the wallpaper
# once the window manager raises it: MATE (marco and caja --force-desktop, as
# e2e_start_desktop in tests/e2e/lib.sh starts them) on a 640x360 Xvfb, the
# helper playing the checkout's sample wallpaper. An xterm is opened and
# closed ROUNDS times (default 10); closing it gives caja's desktop window the
# focus, and marco raises it over the wallpaper, which the helper then
# restacks (marco refuses a restack while caja has the focus, so it asks for
# activation). Figure: the median time from the window manager's stacking
# list showing caja over the wallpaper to it showing the wallpaper over caja
# again, both as `xprop -spy` on the root window reports them. No peer: no
# other program restacks a desktop window this way.
# Usage: bench/desktops.sh [build-dir]   (default $LUMIVO_BUILD_DIR or build)
BUILD=$(realpath "${1:-${LUMIVO_BUILD_DIR:-build}}")
source "$(dirname "$0")/../tests/e2e/lib.sh" "$@"
source "$(dirname "$0")/lib.sh"

HELPER=$BUILD/TarvoWallpaperHelper/lumivo-helper
[ -x "$HELPER" ] || { echo "desktops.sh: $HELPER is not built" >&2; exit 1; }
ROUNDS=${ROUNDS:-10}
CONF=$XDG_CONFIG_HOME/Lumivo/LumivoHelper.conf
mkdir -p "$(dirname "$CONF")"
printf '[General]\nhasShownWelcome=true\n' >"$CONF"

e2e_start_xvfb 640x360
e2e_start_desktop mate
e2e_helper_start helper
e2e_helper_send lumivo://apply/aurora-veil
e2e_wait_for 10 grep -q 'Applied Aurora Veil' "$LOG" || { cat "$LOG" >&2; exit 1; }
ours() {
    local id
    for id in $(xprop -root _NET_CLIENT_LIST | grep -o '0x[0-9a-f]*'); do
        xprop -id "$id" WM_CLASS | grep -q '"lumivo-wallpaper"' && echo "$id" && return 0
    done
    return 1
}
e2e_wait_for 10 ours >/dev/null || { echo "desktops.sh: no wallpaper window" >&2; exit 1; }
OURS=$(ours)
CAJA=$E2E_DESKTOP_WINDOW

SPY=$E2E_TMP/stacking.log
e2e_spawn bash -c 'xprop -spy -root _NET_CLIENT_LIST_STACKING |
    while IFS= read -r line; do echo "$EPOCHREALTIME $line"; done' >"$SPY"
xterm_listed() { wmctrl -l -x | grep -q 'xterm\.XTerm'; }
for ((i = 0; i < ROUNDS; i++)); do
    e2e_spawn xterm -geometry 40x8+40+40 2>/dev/null
    e2e_wait_for 10 xterm_listed || { echo "desktops.sh: no xterm" >&2; exit 1; }
    kill "$E2E_LAST_PID"
    wait "$E2E_LAST_PID" 2>/dev/null
    sleep 1.5
done

# Each time the list shows caja over the wallpaper, the milliseconds until it
# shows the wallpaper over caja.
covered=$(awk -v ours="$OURS" -v caja="$CAJA" '
    {
        o = -1; c = -1
        for (i = 2; i <= NF; i++) {
            id = $i; sub(/,$/, "", id)
            if (id == ours) o = i
            if (id == caja) c = i
        }
        if (o < 0 || c < 0) next
        if (c > o && since == "") since = $1
        if (o > c && since != "") { printf "%.1f\n", ($1 - since) * 1000; since = "" }
    }' "$SPY")
n=$(wc -l <<<"$covered")
echo "caja over the wallpaper $n times, ms: $(tr '\n' ' ' <<<"$covered")"
[ "$n" -ge $((ROUNDS / 2)) ] || { echo "desktops.sh: caja rose only $n times" >&2; exit 1; }
echo "desktop_restack_ms $(median <<<"$covered") target=value<100"

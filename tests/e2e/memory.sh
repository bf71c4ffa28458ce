#!/usr/bin/env bash
# End-to-end test of the helper's memory over many wallpapers: the real helper
# on Xvfb with the test tray host (so that its menu is exported over D-Bus, as
# on a desktop with a tray), applying the checkout's sample wallpaper and
# stopping it again through lumivo:// URLs over D-Bus (apply_pairs.py), the
# way a rotation does every few minutes for days.
#
# After WARMUP pairs (default 50) the anonymous memory must stay within 512 KiB
# over PAIRS more (default 120; 1 MiB per 250 pairs is the aim), with as many
# descriptors and threads as after the warm-up. Each end is the median of the last five samples, since one
# sample may catch a free still in flight. bench/endurance.sh runs the same
# for 1,000 pairs.
#
#   memory.sh HELPER
HELPER=$(realpath "$1")
source "$(dirname "$0")/lib.sh"

HERE=$(cd "$(dirname "$0")" && pwd)
PY=/usr/bin/python3
WARMUP=${WARMUP:-50} PAIRS=${PAIRS:-120}
mkdir -p "$XDG_CONFIG_HOME/Lumivo"
printf '[General]\nhasShownWelcome=true\n' >"$XDG_CONFIG_HOME/Lumivo/LumivoHelper.conf"

e2e_start_xvfb 640x360
e2e_start_tray_host
e2e_helper_start memory
tray_item() { [ -n "$("$PY" "$HERE/trayhost.py" items)" ]; }
verify "the helper shows its icon in the tray" e2e_wait_for 10 tray_item

SAMPLES=$E2E_TMP/samples
"$PY" "$HERE/apply_pairs.py" "$PID" "$LOG" aurora-veil $((WARMUP + PAIRS)) >"$SAMPLES" \
    2>"$E2E_TMP/pairs.err"
status=$?
verify "every apply and stop of $((WARMUP + PAIRS)) pairs is carried out" \
    eval "[ $status -eq 0 ] || { cat '$E2E_TMP/pairs.err'; false; }"

# median_at PAIR COLUMN : the median of COLUMN over the five samples up to PAIR.
median_at() {
    awk -v p="$1" -v c="$2" '$1 > p - 5 && $1 <= p {print $c}' "$SAMPLES" | sort -n | sed -n 3p
}
flat() { # COLUMN NAME UNIT LIMIT
    local before after
    before=$(median_at "$WARMUP" "$1") after=$(median_at $((WARMUP + PAIRS)) "$1")
    echo "$2 after pair $WARMUP: $before $3, after pair $((WARMUP + PAIRS)): $after $3"
    [ -n "$before" ] && [ -n "$after" ] && [ $((after - before)) -le "$4" ]
}
verify "anonymous memory grows by at most 512 KiB over $PAIRS pairs" flat 2 RssAnon KiB 512
verify "no descriptor is left behind" flat 4 descriptors "" 0
verify "no thread is left behind" flat 5 threads "" 0
verify "the helper still runs" kill -0 "$PID"
e2e_helper_terminate

e2e_finish

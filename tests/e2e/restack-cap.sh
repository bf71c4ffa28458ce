#!/usr/bin/env bash
# End-to-end test of the restack cap: the real helper under openbox on Xvfb
# with a desktop program (raising-desktop) that raises its desktop window
# over the wallpaper's again each time the helper restacks the wallpaper over
# it. The two must not restack each other forever: the helper restacks at
# most 4 times within any second and 12 within a minute, rests between, and
# says so once in its log.
#
#   restack-cap.sh HELPER RAISING_DESKTOP
HELPER=$(realpath "$1")
RAISER=$(realpath "$2")
source "$(dirname "$0")/lib.sh"

CONF=$XDG_CONFIG_HOME/Lumivo/LumivoHelper.conf
mkdir -p "$(dirname "$CONF")"
printf '[General]\nhasShownWelcome=true\n' >"$CONF"
CAP=4            # restacks within a second
CAP_MINUTE=12    # restacks within a minute
CAP_NOTE="keeps undoing the wallpaper's restacks"

logged() { grep -F "$1" "$LOG"; }
# The times (ms) at which the desktop program found the wallpaper restacked
# over it and raised itself again: one per restack of the helper that took
# effect (the wallpaper's window appearing on top is not one).
raises() { sed -n 's/^raised //p' "$E2E_TMP/raiser.out"; }

restacked() { [ "$(raises | wc -l)" -ge 1 ]; }
few_restacks_in_all() {
    local n
    n=$(raises | wc -l)
    echo "$n raises: $(raises | tr '\n' ' ')"
    [ "$n" -le "$CAP_MINUTE" ]
}
# No second holds more raises than the cap.
no_second_over_the_cap() {
    raises | awk -v cap="$CAP" '
        { t[NR] = $1 }
        END {
            worst = 0
            for (i = 1; i <= NR; i++) {
                n = 0
                for (j = i; j <= NR && t[j] < t[i] + 1000; j++) n++
                if (n > worst) worst = n
            }
            print "at most " worst " raises within a second"
            exit !(worst <= cap)
        }'
}
note_once() { [ "$(grep -cF "$CAP_NOTE" "$LOG")" -eq 1 ]; }

e2e_start_xvfb 640x360
e2e_start_openbox 1
e2e_proc_start raiser "$RAISER"
e2e_proc_wait raiser '^ready' 10 >/dev/null || {
    echo "restack-cap.sh: raising-desktop did not start:" >&2
    cat "$E2E_TMP/raiser.err" >&2
    exit 1
}
e2e_helper_start helper
e2e_helper_send lumivo://apply/aurora-veil
verify "the sample wallpaper is applied" e2e_wait_for 10 logged 'Applied Aurora Veil'
verify "the helper restacks over the rising desktop window" e2e_wait_for 10 restacked
# However fast the two answer each other, the cap is reached within the
# minute, and a rest of 5 s follows.
E2E_CHECK_TIMEOUT=60 verify "the log says that the restacks rest" e2e_wait_for 55 logged "$CAP_NOTE"
sleep 6
verify "restacks stay under the cap: no more than $CAP within a second" no_second_over_the_cap
verify "restacks stay under the cap: no more than $CAP_MINUTE in all" few_restacks_in_all
verify "the log says it once" note_once
e2e_helper_send lumivo://ping
verify "the helper still answers" e2e_wait_for 5 logged 'ping'
e2e_helper_terminate
e2e_finish

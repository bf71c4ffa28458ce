#!/usr/bin/env bash
# The wallpaper's Wayland backend on a real compositor: headless sway with two
# outputs of different shapes, a test pattern through LayerShellOutputs
# (layer-shell-driver, a canvas per output or one spanning both), checked with
# grim, swaymsg and foot; a nested sway for outputs that go away.
#
#   layer-shell.sh LAYER_SHELL_DRIVER WAYLAND_PROBE
DRIVER=$1 PROBE=$2
source "$(dirname "$0")/../e2e/lib.sh"

shot() { grim -o "$1" "$E2E_TMP/$2.png"; }
# pixel OUTPUT X Y : the colour grim sees there, as "r,g,b".
pixel() {
    grim -o "$1" - | convert - -format '%[fx:int(255*p{'"$2,$3"'}.r)],%[fx:int(255*p{'"$2,$3"'}.g)],%[fx:int(255*p{'"$2,$3"'}.b)]' info:
}
pixel_is() { [ "$(pixel "$1" "$2" "$3")" = "$4" ]; }
frames_of() { e2e_proc_send driver frames | tr ' ' '\n' | sed -n "s/^$1://p"; }
frames_above() { [ "$(frames_of "$1")" -gt "$2" ]; }

e2e_start_sway 640x360 480x360

# ---- what the session offers -------------------------------------------------
probe_has() { "$PROBE" | grep -qxF "$1"; }
verify "the probe finds layer-shell, viewporter and shm" \
    eval 'probe_has "layer-shell 1" && probe_has "viewporter 1" && probe_has "shm 1"'
verify "the probe names both outputs with their logical geometry" \
    eval 'probe_has "output HEADLESS-1 640x360+0+0 mode 640x360 scale 1" &&
          probe_has "output HEADLESS-2 480x360+640+0 mode 480x360 scale 1"'
verify "sway's session chooses the layer-shell backend" probe_has "backend layer-shell"
unreachable() {
    local out
    out=$(WAYLAND_DISPLAY=$E2E_TMP/none DISPLAY=$E2E_XWAYLAND_DISPLAY "$PROBE") && return 1
    grep -q '^backend x11$' <<<"$out" && grep -q '^log The Wayland compositor' <<<"$out"
}
verify "a compositor that cannot be reached falls back to X11" unreachable

# ---- a surface on every output -------------------------------------------------
e2e_proc_start driver "$DRIVER"
both='changed HEADLESS-1:640x360 HEADLESS-2:480x360$'
verify "both outputs are listed as monitors" e2e_proc_wait driver "$both"
verify "both outputs are paced by their own frame callbacks" \
    eval 'e2e_wait_for 5 frames_above HEADLESS-1 10 && e2e_wait_for 5 frames_above HEADLESS-2 10'
changed_since_a() { shot "$1" b && ! cmp -s "$E2E_TMP/a.png" "$E2E_TMP/b.png"; }
moving() { shot "$1" a && e2e_wait_for 5 changed_since_a "$1"; }
verify "HEADLESS-1 shows the moving pattern" moving HEADLESS-1
verify "HEADLESS-2 shows the moving pattern" moving HEADLESS-2
verify "a 16:9 output shows the whole 16:9 frame, red band left" pixel_is HEADLESS-1 2 180 255,0,0
verify "a 4:3 output shows its centre crop, no red band" eval '! pixel_is HEADLESS-2 2 180 255,0,0'
verify "... filled to the bottom edge" eval '[ "$(pixel HEADLESS-2 240 359)" != 0,0,0 ]'

# ---- windows are drawn above it ------------------------------------------------
e2e_spawn foot --override=colors.background=ffff00 sh -c 'exec sleep 600' 2>/dev/null
foot_shown() { pixel_is HEADLESS-1 320 200 255,255,0; }
verify "a foot window on HEADLESS-1 is drawn above the wallpaper" e2e_wait_for 10 foot_shown
verify "HEADLESS-2 keeps showing the wallpaper" eval '! pixel_is HEADLESS-2 240 180 255,255,0'

# ---- what counts as hidden ---------------------------------------------------------
hidden_is() { [ "$(e2e_proc_send driver hidden)" = "ok $1" ]; }
verify "a tiled window hides no output" hidden_is "HEADLESS-1:0 HEADLESS-2:0"
swaymsg '[app_id="^foot$"] fullscreen enable' >/dev/null
verify "a fullscreen window hides its output only" e2e_wait_for 5 hidden_is "HEADLESS-1:1 HEADLESS-2:0"
swaymsg workspace 2 >/dev/null
verify "nor does it on a workspace not shown" e2e_wait_for 5 hidden_is "HEADLESS-1:0 HEADLESS-2:0"
swaymsg workspace 1 >/dev/null
verify "which hides it again once shown" e2e_wait_for 5 hidden_is "HEADLESS-1:1 HEADLESS-2:0"
kill "$E2E_LAST_PID"

# ---- outputs that change, go and come back ------------------------------------
swaymsg output HEADLESS-2 mode 640x480 >/dev/null
verify "a new mode resizes the surface" e2e_proc_wait driver 'HEADLESS-2:640x480$'
verify "which is filled again" e2e_wait_for 5 eval '[ "$(pixel HEADLESS-2 639 479)" != 0,0,0 ]'
swaymsg output HEADLESS-2 scale 2 >/dev/null
halved() { [ "$(swaymsg -t get_outputs -r | jq '.[] | select(.name == "HEADLESS-2") | .rect.width')" = 320 ]; }
e2e_wait_for 5 halved
count=$(frames_of HEADLESS-2)
verify "a scale 2 output keeps getting frames" e2e_wait_for 5 frames_above HEADLESS-2 "$count"
verify "which fill all its pixels" eval '[ "$(pixel HEADLESS-2 639 479)" != 0,0,0 ]'
e2e_proc_close driver

# ---- one canvas spanning both outputs, each showing its part -------------------
e2e_proc_start span "$DRIVER" span
spanned() {
    pixel_is HEADLESS-1 2 200 255,0,0 && pixel_is HEADLESS-2 637 200 0,255,0 &&
        ! pixel_is HEADLESS-1 637 200 0,255,0
}
verify "a spanning canvas shows its left edge left and its right edge right" \
    e2e_wait_for 5 spanned
e2e_proc_close span

# sway 1.7 cannot remove a headless output; a nested sway's outputs are
# windows of the outer one, and closing such a window removes the output.
e2e_start_nested_sway
swaymsg create_output >/dev/null
e2e_proc_start nested "$DRIVER"
verify "a nested sway's outputs get surfaces" \
    e2e_proc_wait nested 'changed WL-1:[0-9x]+ WL-2:[0-9x]+$'
e2e_nested_output_close WL-2
verify "a removed output is gone from the monitors" e2e_proc_wait nested 'changed WL-1:[0-9x]+$'
swaymsg create_output >/dev/null
verify "an added output is listed" e2e_proc_wait nested 'changed WL-1:[0-9x]+ WL-3:[0-9x]+$'
nested_frames() { e2e_proc_send nested frames | grep -q ' WL-3:[1-9]'; }
verify "and gets a surface with frames" e2e_wait_for 5 nested_frames
verify "the nested outputs show the pattern" pixel_is WL-3 2 200 255,0,0

# ---- the compositor goes away --------------------------------------------------
kill -TERM "$E2E_SWAY_PID"
verify "losing the compositor is logged once" \
    e2e_proc_wait nested '^lost lost the connection to the Wayland compositor'
verify "and the driver still answers" e2e_proc_send nested ping
verify "with no outputs left" eval '[ "$(e2e_proc_send nested outputs)" = ok ]'
idle() {
    local i
    for i in $(seq 20); do
        [ "$(awk '{print $3}' "/proc/$(e2e_proc_pid nested)/stat")" = S ] || return 1
        sleep 0.02
    done
}
verify "without spinning" idle
e2e_proc_close nested
verify "and it ends cleanly" test "$E2E_STATUS" = 0

e2e_finish

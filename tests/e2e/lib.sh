# shellcheck shell=bash
# Shared harness for the end-to-end tests: real programs on a headless X server
# inside a private D-Bus session, checked with real tools.
#
# Use it at the top of a bash test script:
#
#   source "$(dirname "$0")/lib.sh"   # re-runs the script inside dbus-run-session
#   e2e_start_xvfb 640x360            # private Xvfb on a free display; sets DISPLAY
#   e2e_split_monitors 320x360+0+0 320x360+320+0   # optional: several monitors
#   e2e_start_openbox                 # optional: an EWMH window manager
#   e2e_start_system_bus              # optional: a private system bus too
#   e2e_start_sway 640x360 480x360    # or: headless sway, one output per size;
#                                     # sets WAYLAND_DISPLAY (see the function)
#   e2e_start_xorg_monitors 960       # or Xorg (dummy driver) with two monitors
#   e2e_start_desktop mate            # or a file manager's desktop (see there)
#   e2e_proc_start app ./program      # a line-command program (see below)
#   check "what must hold" some_command args...
#   e2e_finish                        # prints "N passed, N failed"; exit 1 on failure
#
# What sourcing sets up:
#   - a private session bus (DBUS_SESSION_BUS_ADDRESS), gone when the script ends;
#   - E2E_TMP, a scratch directory removed at exit;
#   - XDG_RUNTIME_DIR (mode 0700), HOME, XDG_CONFIG_HOME, XDG_CACHE_HOME and
#     XDG_DATA_HOME inside E2E_TMP, so no test reads or writes the user's files
#     (services the bus activates, such as dconf, get them too);
#   - QT_QPA_PLATFORM=xcb;
#   - DBUS_SYSTEM_BUS_ADDRESS naming no bus (e2e_start_system_bus sets a real one);
#   - a trap that stops every process started through this library (Xvfb, Xorg,
#     sway, e2e_spawn, e2e_proc_start) and removes E2E_TMP (kept when E2E_KEEP is
#     set, for a look at screenshots and logs), however the script ends.
#
# Every function here works with or without the caller's `set -e`.
#
# Checks: `check NAME CMD...` runs CMD (a command or a shell function) in a
# subshell with a time limit (E2E_CHECK_TIMEOUT seconds, default 20) and counts
# it as passed when it exits 0. A failure prints NAME and CMD's output. Checks
# must not change the script's variables: do actions outside, verify inside.
#
# Line-command programs: `e2e_proc_start NAME CMD...` starts CMD with standard
# input from a pipe and standard output in "$E2E_TMP/NAME.out" (stderr in
# NAME.err). `e2e_proc_send NAME LINE` writes one line and waits for the next
# answer line starting with "ok" or "error", prints it and returns 0 for "ok".
# Any other output line is an event: `e2e_proc_wait NAME REGEX [SECONDS]` waits
# until a line after the last send matches REGEX and prints it.
# Sending and waiting work inside checks too. `e2e_proc_close NAME [SECONDS]`
# (not inside a check) closes its input, waits for it to end and sets
# E2E_STATUS to its exit status, or to "timeout".

if [ -z "${E2E_IN_SESSION:-}" ]; then
    export E2E_IN_SESSION=1
    exec dbus-run-session -- bash "$0" "$@"
fi

set -uo pipefail

E2E_PASSED=0
E2E_FAILED=0
E2E_PIDS=()
declare -A E2E_PROC_PID=() E2E_PROC_FD=()

E2E_TMP=$(mktemp -d "${TMPDIR:-/tmp}/lumivo-e2e.XXXXXX")
export E2E_TMP
export XDG_RUNTIME_DIR="$E2E_TMP/runtime" HOME="$E2E_TMP/home"
export XDG_CONFIG_HOME="$E2E_TMP/home/.config" XDG_CACHE_HOME="$E2E_TMP/home/.cache"
export XDG_DATA_HOME="$E2E_TMP/home/.local/share"
mkdir -p "$XDG_RUNTIME_DIR" "$XDG_CONFIG_HOME" "$XDG_CACHE_HOME" "$XDG_DATA_HOME"
chmod 700 "$XDG_RUNTIME_DIR"
# Services the private bus starts on demand (dconf, the Shell's helpers) get
# these folders too, not the ones of the user who runs the tests.
dbus-update-activation-environment HOME XDG_RUNTIME_DIR XDG_CONFIG_HOME XDG_CACHE_HOME \
    XDG_DATA_HOME >/dev/null 2>&1
export QT_QPA_PLATFORM=xcb
# No system bus unless e2e_start_system_bus starts a private one: the helper
# must not read this machine's lock or power state (on battery, it would rest).
export DBUS_SYSTEM_BUS_ADDRESS="unix:path=$E2E_TMP/no-system-bus"

E2E_MAIN_PID=$BASHPID

e2e_cleanup() {
    # A subshell can run the traps it inherited when a signal reaches it
    # before bash resets them; only the script itself may clean up.
    [ "$BASHPID" = "$E2E_MAIN_PID" ] || return 0
    set +e # under a caller's set -e, the first process already gone would end it
    # Newest first, so that clients end before the servers they use.
    local i pid
    for ((i = ${#E2E_PIDS[@]} - 1; i >= 0; i--)); do
        pid=${E2E_PIDS[i]}
        kill -TERM "$pid" 2>/dev/null
        for _ in 1 2 3 4 5 6 7 8 9 10; do
            kill -0 "$pid" 2>/dev/null || break
            sleep 0.1
        done
        kill -KILL "$pid" 2>/dev/null
        wait "$pid" 2>/dev/null
    done
    if [ -n "${E2E_KEEP:-}" ]; then
        echo "e2e: kept $E2E_TMP" >&2
    else
        rm -rf "$E2E_TMP"
    fi
}
trap e2e_cleanup EXIT
trap 'exit 130' INT TERM

# e2e_spawn CMD... : runs CMD in the background, stopped at exit; sets E2E_LAST_PID.
# CMD does not inherit the inputs of the line-command programs below: one
# that held a copy open would keep e2e_proc_close from ever ending its input.
e2e_spawn() {
    (
        local fd
        for fd in "${E2E_PROC_FD[@]}"; do exec {fd}>&-; done
        exec "$@"
    ) &
    E2E_LAST_PID=$!
    E2E_PIDS+=("$E2E_LAST_PID")
}

# e2e_start_xvfb [WIDTHxHEIGHT] : starts Xvfb on a free display and exports DISPLAY.
# Its screen saver is off (`xset s 600` turns it on), as is Xorg's below: the
# server would blank the screen after ten minutes without input, and the helper
# rests while it is blanked.
e2e_start_xvfb() {
    local size=${1:-1280x720} fdfile="$E2E_TMP/xvfb.display"
    : >"$fdfile"
    e2e_spawn Xvfb -displayfd 3 -screen 0 "${size}x24" -nolisten tcp -noreset -s 0 \
        3>"$fdfile" >/dev/null 2>"$E2E_TMP/xvfb.err"
    local i
    for ((i = 0; i < 100; i++)); do
        if grep -q '^[0-9]' "$fdfile"; then
            export DISPLAY=":$(head -n1 "$fdfile")"
            return 0
        fi
        kill -0 "$E2E_LAST_PID" 2>/dev/null || break
        sleep 0.05
    done
    echo "e2e: Xvfb did not start:" >&2
    cat "$E2E_TMP/xvfb.err" >&2
    exit 1
}

# e2e_split_monitors WxH+X+Y... : replaces the X screen's single monitor by the
# given ones (RandR 1.5 monitors, which Xinerama clients such as window
# managers see too). Call before starting the window manager.
e2e_split_monitors() {
    local i=0 m
    for m in "$@"; do
        local size=${m%%+*} pos=${m#*+}
        xrandr --setmonitor "e2e-$i" "${size%x*}/0x${size#*x}/0+${pos}" none || return 1
        i=$((i + 1))
    done
}

# e2e_start_openbox [DESKTOPS] : starts openbox (default: 2 desktops) on DISPLAY
# and waits until it manages the screen; sets E2E_OPENBOX_PID. Without the
# popup that names the desktop after a switch, which would otherwise stand
# over the wallpaper for a second and change what the next screenshot sees.
e2e_start_openbox() {
    local rc="$E2E_TMP/openbox-rc.xml"
    cat >"$rc" <<EOS
<?xml version="1.0"?>
<openbox_config xmlns="http://openbox.org/3.4/rc">
  <desktops><number>${1:-2}</number><popupTime>0</popupTime></desktops>
</openbox_config>
EOS
    # Its hints are up before it handles requests: windows mapped in between
    # may never be managed. The start-up command runs once it does.
    rm -f "$E2E_TMP/openbox.ready"
    e2e_spawn openbox --config-file "$rc" --sm-disable --startup "touch $E2E_TMP/openbox.ready" \
        >/dev/null 2>"$E2E_TMP/openbox.err"
    E2E_OPENBOX_PID=$E2E_LAST_PID
    e2e_wait_for 10 test -e "$E2E_TMP/openbox.ready" || {
        echo "e2e: openbox did not start:" >&2
        cat "$E2E_TMP/openbox.err" >&2
        exit 1
    }
}

# e2e_stop_openbox : ends the openbox that e2e_start_openbox started.
e2e_stop_openbox() {
    kill -TERM "$E2E_OPENBOX_PID" 2>/dev/null
    wait "$E2E_OPENBOX_PID" 2>/dev/null
    return 0
}

# e2e_start_system_bus : a private system bus (a second dbus-daemon that lets
# anyone own any name); exports DBUS_SYSTEM_BUS_ADDRESS.
e2e_start_system_bus() {
    local socket="$E2E_TMP/system_bus_socket" config="$E2E_TMP/system-bus.conf"
    cat >"$config" <<EOS
<!DOCTYPE busconfig PUBLIC "-//freedesktop//DTD D-Bus Bus Configuration 1.0//EN"
 "http://www.freedesktop.org/standards/dbus/1.0/busconfig.dtd">
<busconfig>
  <type>system</type>
  <listen>unix:path=$socket</listen>
  <auth>EXTERNAL</auth>
  <policy context="default">
    <allow user="*"/>
    <allow own="*"/>
    <allow send_destination="*"/>
    <allow receive_sender="*"/>
  </policy>
</busconfig>
EOS
    e2e_spawn dbus-daemon --config-file="$config" --nofork --nopidfile \
        >/dev/null 2>"$E2E_TMP/system-bus.err"
    export DBUS_SYSTEM_BUS_ADDRESS="unix:path=$socket"
    e2e_wait_for 10 test -S "$socket" || {
        echo "e2e: the private system bus did not start:" >&2
        cat "$E2E_TMP/system-bus.err" >&2
        exit 1
    }
}

# e2e_start_xorg_monitors [SECOND_WIDTH] : starts Xorg with the dummy video
# driver on a free display and exports DISPLAY. The screen is 1280+SECOND_WIDTH
# (default 1280) by 720 pixels: the output DUMMY0 is the primary monitor
# 1280x720+0+0, and a RandR monitor "second" (no output of its own) covers
# SECOND_WIDTHx720+1280+0, which X clients (Qt included) see as a second
# screen. Change monitors with `xrandr --setmonitor/--delmonitor`. The server
# gets no input devices and writes its log and config only under E2E_TMP.
e2e_start_xorg_monitors() {
    local second=${1:-1280} dir="$E2E_TMP/xorg"
    local width=$((1280 + second))
    mkdir -p "$dir"
    cat >"$dir/xorg.conf" <<EOC
Section "ServerFlags"
    Option "AutoAddDevices" "false"
    Option "AutoEnableDevices" "false"
    Option "DontVTSwitch" "true"
    Option "BlankTime" "0"
EndSection
Section "Device"
    Identifier "dummy"
    Driver "dummy"
    VideoRam 65536
EndSection
Section "Monitor"
    Identifier "monitor"
    HorizSync 5.0-1000.0
    VertRefresh 5.0-200.0
    Modeline "1280x720" 74.25 1280 1390 1430 1650 720 725 730 750 +hsync +vsync
EndSection
Section "Screen"
    Identifier "screen"
    Device "dummy"
    Monitor "monitor"
    DefaultDepth 24
    SubSection "Display"
        Depth 24
        Virtual $width 720
    EndSubSection
EndSection
EOC
    : >"$dir/display"
    e2e_spawn Xorg -displayfd 3 -config "$dir/xorg.conf" -logfile "$dir/Xorg.log" -noreset \
        -nolisten tcp -novtswitch -sharevts 3>"$dir/display" >"$dir/xorg.out" 2>&1
    local i
    for ((i = 0; i < 200; i++)); do
        grep -q '^[0-9]' "$dir/display" && break
        kill -0 "$E2E_LAST_PID" 2>/dev/null || break
        sleep 0.05
    done
    if ! grep -q '^[0-9]' "$dir/display"; then
        echo "e2e: Xorg did not start:" >&2
        tail -n 20 "$dir/xorg.out" >&2
        exit 1
    fi
    export DISPLAY=":$(head -n1 "$dir/display")"
    xrandr --fb "${width}x720" --output DUMMY0 --mode 1280x720 --primary &&
        xrandr --setmonitor second "$second/$((second * 254 / 960))x720/191+1280+0" none || {
        echo "e2e: xrandr could not set up two monitors" >&2
        exit 1
    }
}

# check NAME CMD... : one counted check (see the top of this file).
check() {
    local name=$1 out="$E2E_TMP/check.out" rc pid
    local deadline=$((SECONDS + ${E2E_CHECK_TIMEOUT:-20}))
    shift
    ("$@") >"$out" 2>&1 &
    pid=$!
    # Polled rather than watched by a sleeping helper process, which would
    # keep the programs' input pipes open after the check.
    while kill -0 "$pid" 2>/dev/null && [ "$SECONDS" -lt "$deadline" ]; do
        sleep 0.02
    done
    kill -TERM "$pid" 2>/dev/null
    wait "$pid" && rc=0 || rc=$?
    if [ "$rc" -eq 0 ]; then
        E2E_PASSED=$((E2E_PASSED + 1))
        echo "ok - $name"
    else
        E2E_FAILED=$((E2E_FAILED + 1))
        echo "FAIL - $name (exit $rc)"
        sed 's/^/    /' "$out"
    fi
}

# verify NAME CMD... : check, with CMD never the last command of the check's
# subshell. Bash 5.2 runs the EXIT trap (the cleanup!) in a subshell whose last
# command it execs directly; ending on a builtin avoids that.
returning() {
    "$@"
    return $?
}
verify() { check "$1" returning "${@:2}"; }

# e2e_record ID TITLE VIDEO_URL FILE : one manifest record for FILE, as JSON.
e2e_record() {
    printf '{"id":"%s","slug":"%s","title":"%s","category":"Test","thumbnailUrl":"/t.png",' \
        "$1" "$1" "$2"
    printf '"videoUrl":"%s","sha256":"%s","bytes":%s,"duration":2.0,"width":640,' \
        "$3" "$(sha256sum <"$4" | cut -c1-64)" "$(stat -c %s "$4")"
    printf '"height":360,"format":"mp4","updatedAt":"2026-01-01T00:00:00Z"}'
}

# e2e_clip_checkout : the developer checkout under ROOT (removed again at exit)
# whose manifest lists one clip, CLIP, as "local", so that nothing goes to the
# network.
e2e_clip_checkout() {
    rm -rf "$ROOT"
    trap 'rm -rf "$ROOT"; e2e_cleanup' EXIT
    mkdir -p "$ROOT/web/public/api" "$ROOT/web/public/assets/wallpapers"
    CLIP=$ROOT/web/public/assets/wallpapers/local.mp4
    cp "$(dirname "${BASH_SOURCE[0]}")/../data/video/wide-16x9.mp4" "$CLIP"
    echo "[$(e2e_record local "Local Clip" https://localhost/assets/wallpapers/local.mp4 "$CLIP")]" \
        >"$ROOT/web/public/api/wallpapers.json"
}

# e2e_gallery_fixture : the developer checkout under ROOT (removed again at
# exit) with the "local" clip and its manifest, and a site for the HTTPS
# gallery in "$E2E_TMP/site" with the "remote" clip (REMOTE) but no manifest
# yet. Needs ROOT, PUBLIC, PROD and DATA.
e2e_gallery_fixture() {
    rm -rf "$ROOT"
    trap 'rm -rf "$ROOT"; e2e_cleanup' EXIT
    mkdir -p "$PUBLIC/api" "$PUBLIC/assets/wallpapers" "$E2E_TMP/site/api" "$E2E_TMP/site/videos"
    cp "$DATA/video/wide-16x9.mp4" "$PUBLIC/assets/wallpapers/local.mp4"
    REMOTE=$E2E_TMP/site/videos/remote.mp4
    cp "$DATA/video/classic-4x3.mp4" "$REMOTE"
    echo "[$(e2e_record local "Local Clip" "$PROD/assets/wallpapers/local.mp4" \
        "$PUBLIC/assets/wallpapers/local.mp4")]" >"$PUBLIC/api/wallpapers.json"
}

# e2e_helper_scene : what a test of the whole helper against the loopback
# HTTPS gallery needs (call it with HELPER, ROOT and PORT set, before
# e2e_gallery_fixture): HERE, DATA, PY, PUBLIC, PROD, CONF (the settings
# file), CACHE (the cache folder) and SERVED (the server's request log, empty);
# start_server and stop_server for the gallery in "$E2E_TMP/site"; has_line
# TEXT, wait_line TEXT [SECONDS] and lines_matching REGEX on the helper's LOG;
# tray ARGS (trayhost.py) and tray_has_item; plays FILE: the helper's player
# holds FILE open and the screen shows a picture.
e2e_helper_scene() {
    HERE=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
    DATA=$HERE/../data
    PY=/usr/bin/python3
    SERVED=$E2E_TMP/served.log
    PUBLIC=$ROOT/web/public
    PROD=https://localhost:$PORT
    CONF=$XDG_CONFIG_HOME/Lumivo/LumivoHelper.conf
    CACHE=$XDG_CACHE_HOME/Lumivo/wallpapers
    export SSL_CERT_FILE=$DATA/tls/ca.pem
    : >"$SERVED"
    start_server() {
        e2e_spawn "$PY" "$HERE/https_server.py" "$E2E_TMP/site" "$PORT" "$DATA/tls/server.pem" \
            "$DATA/tls/server.key" "$SERVED" >/dev/null
        SERVER=$E2E_LAST_PID
        e2e_wait_for 10 curl -sf --cacert "$DATA/tls/ca.pem" "$PROD/api/wallpapers.json" -o /dev/null
    }
    stop_server() {
        kill -TERM "$SERVER"
        wait "$SERVER" 2>/dev/null
    }
    has_line() { grep -qxF "[LumivoHelper] $1" "$LOG"; }
    wait_line() { e2e_wait_for "${2:-10}" has_line "$1"; }
    lines_matching() { grep -c "$1" "$LOG"; }
    tray() { "$PY" "$HERE/trayhost.py" "$@"; }
    tray_has_item() { [ -n "$(tray items 2>/dev/null)" ]; }
    plays() {
        ls -l "/proc/$PID/fd" | grep -qF -- "-> $1" || return 1
        import -window root "$E2E_TMP/shot.png"
        convert "$E2E_TMP/shot.png" -format '%[fx:mean>0.2]' info: | grep -qx 1
    }
}

# e2e_helper_start NAME ARGS... : runs $HELPER with its own log
# "$E2E_TMP/NAME.log" (sets LOG and PID) until it owns its bus name (its start
# line follows that); a URL sent before would start a second helper.
e2e_helper_start() {
    LOG=$E2E_TMP/$1.log
    e2e_spawn "$HELPER" "${@:2}" 2>"$LOG"
    PID=$E2E_LAST_PID
    e2e_wait_for 10 grep -q 'Helper started' "$LOG"
}
# e2e_helper_send URL : hands URL to the running helper.
e2e_helper_send() { timeout 10 "$HELPER" "$1"; }
# e2e_helper_terminate : SIGTERM to the helper of e2e_helper_start; waits for it.
e2e_helper_terminate() {
    kill -TERM "$PID"
    wait "$PID" 2>/dev/null
}

# e2e_finish : prints the tally and exits 1 when any check failed (or none ran).
e2e_finish() {
    echo "$E2E_PASSED passed, $E2E_FAILED failed"
    if [ "$E2E_FAILED" -eq 0 ] && [ "$E2E_PASSED" -gt 0 ]; then
        exit 0
    fi
    exit 1
}

# e2e_wait_for SECONDS CMD... : polls CMD every 50 ms until it succeeds.
e2e_wait_for() {
    local deadline=$((SECONDS + $1))
    shift
    until "$@"; do
        [ "$SECONDS" -lt "$deadline" ] || return 1
        sleep 0.05
    done
}

# e2e_proc_start NAME CMD... : starts a line-command program (see the top).
e2e_proc_start() {
    local name=$1 fifo="$E2E_TMP/$1.in" fd
    shift
    mkfifo "$fifo"
    : >"$E2E_TMP/$name.out"
    # Read-write, so that opening does not wait for the reader; the program
    # must not inherit it, or it would never see the end of its input.
    exec {fd}<>"$fifo"
    "$@" <"$fifo" >"$E2E_TMP/$name.out" 2>"$E2E_TMP/$name.err" {fd}>&- &
    E2E_LAST_PID=$!
    E2E_PIDS+=("$E2E_LAST_PID")
    E2E_PROC_PID[$name]=$E2E_LAST_PID
    E2E_PROC_FD[$name]=$fd
    echo 0 >"$E2E_TMP/$name.mark"
}

e2e_proc_pid() { echo "${E2E_PROC_PID[$1]}"; }

# e2e_proc_send NAME LINE [SECONDS] : sends LINE, prints the answer, 0 for "ok".
e2e_proc_send() {
    local name=$1 out="$E2E_TMP/$1.out" seconds=${3:-15}
    local mark
    # Kept in a file, so that sends from inside a check (a subshell) count.
    mark=$(wc -l <"$out")
    echo "$mark" >"$E2E_TMP/$name.mark"
    echo "$2" >&"${E2E_PROC_FD[$name]}" || return 2
    local answer deadline=$((SECONDS + seconds))
    while :; do
        answer=$(tail -n +"$((mark + 1))" "$out" | grep -m1 -E '^(ok|error)( |$)') || true
        if [ -n "$answer" ]; then
            echo "$answer"
            if [[ $answer == ok* ]]; then
                return 0
            fi
            return 1
        fi
        if [ "$SECONDS" -ge "$deadline" ] || ! kill -0 "${E2E_PROC_PID[$name]}" 2>/dev/null; then
            echo "e2e: no answer from $name to '$2'" >&2
            return 2
        fi
        sleep 0.02
    done
}

# e2e_proc_wait NAME REGEX [SECONDS] : waits for an output line after the last
# send that matches REGEX, and prints it.
e2e_proc_wait() {
    local out="$E2E_TMP/$1.out" line mark deadline=$((SECONDS + ${3:-10}))
    mark=$(cat "$E2E_TMP/$1.mark")
    while :; do
        line=$(tail -n +"$((mark + 1))" "$out" | grep -m1 -E "$2") || true
        if [ -n "$line" ]; then
            echo "$line"
            return 0
        fi
        [ "$SECONDS" -lt "$deadline" ] || return 1
        sleep 0.02
    done
}

# e2e_proc_close NAME [SECONDS] : closes NAME's input (end of file), waits for
# it to end and sets E2E_STATUS to its exit status, or to "timeout".
e2e_proc_close() {
    local name=$1 pid=${E2E_PROC_PID[$1]} deadline=$((SECONDS + ${2:-10}))
    local fd=${E2E_PROC_FD[$name]}
    exec {fd}>&-
    while kill -0 "$pid" 2>/dev/null; do
        if [ "$SECONDS" -ge "$deadline" ]; then
            E2E_STATUS=timeout
            return 1
        fi
        sleep 0.05
    done
    wait "$pid" && E2E_STATUS=0 || E2E_STATUS=$?
}

# e2e_start_sway [SIZE...] : a headless sway with one output per SIZE
# (WIDTHxHEIGHT, default one 1280x720 output), side by side from the left,
# named HEADLESS-1, HEADLESS-2, ... It runs as the unprivileged user
# E2E_SWAY_UID (default 65534, nobody: sway refuses root) with its own runtime
# directory, and is stopped at exit like every other process started here.
# Exports WAYLAND_DISPLAY (the absolute socket path, which root's clients can
# use), SWAYSOCK, E2E_SWAY_PID and E2E_XWAYLAND_DISPLAY (its XWayland server;
# DISPLAY is left alone). Software rendering, no input devices.
# sway 1.7's headless outputs can be added (swaymsg create_output) and changed
# (swaymsg output NAME mode WxH) but neither disabled nor removed; for outputs
# that go away, see e2e_start_nested_sway.
e2e_start_sway() {
    local sizes=("$@") i x=0 name
    [ ${#sizes[@]} -gt 0 ] || sizes=(1280x720)
    # As an X server run by root would leave it; XWayland, started as the
    # unprivileged user, cannot make it right on a machine that never ran X.
    if [ ! -d /tmp/.X11-unix ]; then
        mkdir -p /tmp/.X11-unix && chmod 1777 /tmp/.X11-unix
    fi
    e2e_run_sway sway 'xwayland enable' WLR_BACKENDS=headless WLR_HEADLESS_OUTPUTS=1
    e2e_wait_for 5 test -s "$E2E_TMP/sway/xdisplay"
    export E2E_XWAYLAND_DISPLAY
    E2E_XWAYLAND_DISPLAY=$(cat "$E2E_TMP/sway/xdisplay")
    # XWayland admits only its own user when it has no cookie file.
    if ! env -i PATH=/usr/bin:/bin DISPLAY="$E2E_XWAYLAND_DISPLAY" \
        setpriv --reuid="${E2E_SWAY_UID:-65534}" --regid="${E2E_SWAY_UID:-65534}" \
        --clear-groups xhost "+si:localuser:$(id -un)" >>"$E2E_TMP/sway.log" 2>&1; then
        echo "e2e: XWayland of sway did not admit $(id -un):" >&2
        cat "$E2E_TMP/sway.log" >&2
        exit 1
    fi
    for ((i = 1; i <= ${#sizes[@]}; i++)); do
        name=HEADLESS-$i
        [ "$i" -eq 1 ] || swaymsg create_output >/dev/null
        e2e_wait_for 5 e2e_sway_has_output "$name" || {
            echo "e2e: sway has no output $name" >&2
            exit 1
        }
        swaymsg output "$name" mode "${sizes[i - 1]}" pos "$x" 0 >/dev/null
        x=$((x + ${sizes[i - 1]%x*}))
    done
}

# e2e_start_nested_sway : a second sway, inside the one e2e_start_sway
# started, whose outputs are windows there: WL-1 at first, one more per
# `swaymsg create_output` (WL-2, WL-3, ...), and an output is removed for good
# by closing its window (e2e_nested_output_close NAME). The windows float, so
# that closing one leaves the others' sizes alone. Exports WAYLAND_DISPLAY, SWAYSOCK and
# E2E_SWAY_PID for the inner sway, and E2E_OUTER_WAYLAND_DISPLAY and
# E2E_OUTER_SWAYSOCK for the outer one. No XWayland.
e2e_start_nested_sway() {
    export E2E_OUTER_WAYLAND_DISPLAY=$WAYLAND_DISPLAY E2E_OUTER_SWAYSOCK=$SWAYSOCK
    swaymsg 'for_window [app_id="^wlroots$"] floating enable' >/dev/null
    e2e_run_sway nested 'xwayland disable' WLR_BACKENDS=wayland \
        WAYLAND_DISPLAY="$E2E_OUTER_WAYLAND_DISPLAY"
    e2e_wait_for 5 e2e_sway_has_output WL-1
}

# e2e_nested_output_close NAME : closes the outer window of a nested output.
e2e_nested_output_close() {
    SWAYSOCK=$E2E_OUTER_SWAYSOCK swaymsg "[title=\"^wlroots - $1\$\"] kill" >/dev/null
}

# e2e_run_sway NAME CONFIG_LINE VAR=VALUE... : starts sway as the unprivileged
# user with its runtime directory "$E2E_TMP/NAME" and the given environment,
# and waits until it answers (see e2e_start_sway).
e2e_run_sway() {
    local uid=${E2E_SWAY_UID:-65534} dir="$E2E_TMP/$1" config=$2
    shift 2
    # The unprivileged user must reach its runtime directory inside E2E_TMP.
    chmod 711 "$E2E_TMP"
    mkdir -p "$dir"
    printf '%s\nexec echo "$DISPLAY" >%s/xdisplay\n' "$config" "$dir" >"$dir/config"
    chown "$uid:$uid" "$dir"
    chmod 700 "$dir"
    e2e_spawn env -i PATH=/usr/bin:/bin HOME="$dir" XDG_RUNTIME_DIR="$dir" \
        WLR_RENDERER=pixman WLR_LIBINPUT_NO_DEVICES=1 "$@" \
        setpriv --reuid="$uid" --regid="$uid" --clear-groups \
        sway -c "$dir/config" >"$E2E_TMP/$(basename "$dir").log" 2>&1
    export E2E_SWAY_PID=$E2E_LAST_PID
    e2e_sway_answers() {
        local s
        for s in "$dir"/wayland-[0-9]*; do
            [ -S "$s" ] && export WAYLAND_DISPLAY=$s
        done
        for s in "$dir"/sway-ipc.*.sock; do
            [ -S "$s" ] && export SWAYSOCK=$s
        done
        [ -n "${WAYLAND_DISPLAY:-}" ] && [ -n "${SWAYSOCK:-}" ] && [ -e "$dir/xdisplay" ] &&
            swaymsg -t get_version >/dev/null 2>&1
    }
    unset WAYLAND_DISPLAY SWAYSOCK
    if ! e2e_wait_for 10 e2e_sway_answers || ! kill -0 "$E2E_SWAY_PID" 2>/dev/null; then
        echo "e2e: sway did not start:" >&2
        cat "$E2E_TMP/$(basename "$dir").log" >&2
        exit 1
    fi
}

# e2e_sway_has_output NAME : sway lists an enabled output NAME.
e2e_sway_has_output() {
    swaymsg -t get_outputs -r | jq -e --arg n "$1" 'any(.[]; .name == $n and .active)' >/dev/null
}

# ---- File-manager desktops (X11) ------------------------------------------
# e2e_start_wm NAME CMD... : starts the window manager CMD on DISPLAY (its
# output in "$E2E_TMP/NAME.log") and waits until it has put up its EWMH hints.
e2e_start_wm() {
    local name=$1
    shift
    e2e_spawn "$@" >"$E2E_TMP/$name.log" 2>&1
    e2e_wait_for 20 e2e_wm_running || {
        echo "e2e: $name did not start:" >&2
        tail -n 20 "$E2E_TMP/$name.log" >&2
        exit 1
    }
}
e2e_wm_running() { xprop -root _NET_SUPPORTING_WM_CHECK 2>/dev/null | grep -q 'window id'; }

# e2e_desktop_window PROGRAM : prints the id of the desktop window (type
# DESKTOP) that the window manager lists for PROGRAM (its WM_CLASS class, in
# any case), or fails.
e2e_desktop_window() {
    local id props
    for id in $(xprop -root _NET_CLIENT_LIST 2>/dev/null | grep -o '0x[0-9a-f]*'); do
        props=$(xprop -id "$id" WM_CLASS _NET_WM_WINDOW_TYPE 2>/dev/null) || continue
        if grep -qi "WM_CLASS(STRING) = \".*\", \"$1\"" <<<"$props" &&
            grep -q '_NET_WM_WINDOW_TYPE_DESKTOP' <<<"$props"; then
            echo "$id"
            return 0
        fi
    done
    return 1
}

# e2e_screen_settled : two screenshots half a second apart are the same.
e2e_screen_settled() {
    import -window root "$E2E_TMP/settle-a.png" && sleep 0.5 &&
        import -window root "$E2E_TMP/settle-b.png" &&
        [ "$(compare -metric AE "$E2E_TMP/settle-a.png" "$E2E_TMP/settle-b.png" null: 2>&1)" = 0 ]
}

# e2e_start_desktop xfce|mate|lxde|lxqt|cinnamon : the desktop of that name on
# DISPLAY as a new user first sees it: its window manager, then the program
# that draws the desktop (background and icons) in a full-screen window of its
# own, started the way the session would start it, with one file, notes.txt,
# in ~/Desktop. The LXDE and LXQt desktops get a blue background instead of
# black, which the wallpaper's window shows before its first picture.
# Waits until the desktop window is managed and drawn, and sets
# E2E_DESKTOP_PROGRAM (its WM_CLASS class in lower case) and
# E2E_DESKTOP_WINDOW (its id). Everything stops at exit.
#   xfce      xfwm4 and xfdesktop
#   mate      marco and caja --force-desktop -n
#   lxde      openbox and pcmanfm --desktop
#   lxqt      openbox and pcmanfm-qt --desktop
#   cinnamon  muffin (always compositing) and nemo-desktop, whose desktop
#             window is transparent (ARGB)
e2e_start_desktop() {
    mkdir -p "$HOME/Desktop"
    echo "A file on the desktop" >"$HOME/Desktop/notes.txt"
    # No accessibility bus and no GVfs daemons: the desktops work without them
    # and start faster. Programs the bus starts for them go without too.
    export NO_AT_BRIDGE=1 GIO_USE_VFS=local GIO_USE_VOLUME_MONITOR=unix
    dbus-update-activation-environment DISPLAY NO_AT_BRIDGE GIO_USE_VFS \
        GIO_USE_VOLUME_MONITOR >/dev/null 2>&1
    local command
    case $1 in
        xfce)
            E2E_DESKTOP_PROGRAM=xfdesktop
            e2e_start_wm xfwm4 xfwm4 --sm-client-disable
            command=(xfdesktop --sm-client-disable)
            ;;
        mate)
            # marco reads the org.mate.peripherals-mouse schema of
            # mate-settings-daemon-common and aborts without it.
            E2E_DESKTOP_PROGRAM=caja
            e2e_start_wm marco marco --sm-disable
            command=(caja --force-desktop -n)
            ;;
        lxde)
            E2E_DESKTOP_PROGRAM=pcmanfm
            mkdir -p "$XDG_CONFIG_HOME/pcmanfm/default"
            printf '[*]\nwallpaper_mode=color\ndesktop_bg=#2f5f8f\ndesktop_fg=#ffffff\n' \
                >"$XDG_CONFIG_HOME/pcmanfm/default/desktop-items-0.conf"
            e2e_start_openbox 1
            command=(pcmanfm --desktop)
            ;;
        lxqt)
            E2E_DESKTOP_PROGRAM=pcmanfm-qt
            mkdir -p "$XDG_CONFIG_HOME/pcmanfm-qt/default"
            printf '[Desktop]\nWallpaperMode=none\nBgColor=#2f5f8f\nFgColor=#ffffff\n' \
                >"$XDG_CONFIG_HOME/pcmanfm-qt/default/settings.conf"
            e2e_start_openbox 1
            command=(pcmanfm-qt --desktop)
            ;;
        cinnamon)
            # muffin needs the touchscreen schema of cinnamon-settings-daemon;
            # nemo-desktop refuses to run as root unless told otherwise.
            E2E_DESKTOP_PROGRAM=nemo-desktop
            gsettings set org.nemo.preferences treat-root-as-normal true
            e2e_start_wm muffin muffin --sm-disable
            command=(nemo-desktop)
            ;;
        *)
            echo "e2e: no desktop $1" >&2
            exit 1
            ;;
    esac
    e2e_spawn "${command[@]}" >"$E2E_TMP/$E2E_DESKTOP_PROGRAM.log" 2>&1
    if ! e2e_wait_for 30 e2e_desktop_window "$E2E_DESKTOP_PROGRAM" >/dev/null; then
        echo "e2e: $E2E_DESKTOP_PROGRAM put up no desktop window:" >&2
        tail -n 20 "$E2E_TMP/$E2E_DESKTOP_PROGRAM.log" >&2
        exit 1
    fi
    E2E_DESKTOP_WINDOW=$(e2e_desktop_window "$E2E_DESKTOP_PROGRAM")
    # Icons and background come a moment after the window.
    sleep 1
    e2e_wait_for 20 e2e_screen_settled
}

# ---- GNOME Shell -------------------------------------------------------------
# e2e_start_gnome_shell [--x11] [--extension DIR]... SIZE... : a headless GNOME
# Shell (Wayland) with one virtual monitor per SIZE (WIDTHxHEIGHT, default one
# 1280x720), placed left to right, each extension folder DIR installed under
# XDG_DATA_HOME (named after the uuid in its metadata.json) and enabled
# before the start.
# Without --x11 it runs without XWayland. It runs as the caller, on a private
# system bus (e2e_start_system_bus) with logind mocked by python3-dbusmock,
# in the private HOME and session bus of this library, with animations off
# and no welcome tour; it starts in the overview. Waits until the Shell has
# started. Exports WAYLAND_DISPLAY (the socket's name in XDG_RUNTIME_DIR),
# E2E_SHELL_PID and E2E_SHELL_LOG; with --x11 also E2E_XWAYLAND_DISPLAY and
# XAUTHORITY for its XWayland (DISPLAY is left alone). Needs gnome-shell 43.
e2e_start_gnome_shell() {
    local x11=--no-x11 sizes=() uuids=() monitors=() size uuid
    while [ $# -gt 0 ]; do
        case $1 in
        --x11) x11= ;;
        --extension)
            uuid=$(jq -r .uuid "$2/metadata.json")
            uuids+=("'$uuid'")
            mkdir -p "$XDG_DATA_HOME/gnome-shell/extensions"
            cp -r "$2" "$XDG_DATA_HOME/gnome-shell/extensions/$uuid"
            shift
            ;;
        *) sizes+=("$1") ;;
        esac
        shift
    done
    [ ${#sizes[@]} -gt 0 ] || sizes=(1280x720)
    for size in "${sizes[@]}"; do monitors+=(--virtual-monitor "$size"); done
    [ -n "${DBUS_SYSTEM_BUS_ADDRESS:-}" ] && [ -S "${DBUS_SYSTEM_BUS_ADDRESS#unix:path=}" ] ||
        e2e_start_system_bus
    e2e_spawn /usr/bin/python3 -m dbusmock --system --template logind >"$E2E_TMP/logind.log" 2>&1
    e2e_wait_for 10 gdbus introspect --system --dest org.freedesktop.login1 \
        --object-path /org/freedesktop/login1 >/dev/null 2>&1 || {
        echo "e2e: the mocked logind did not start:" >&2
        cat "$E2E_TMP/logind.log" >&2
        exit 1
    }
    local IFS=,
    gsettings set org.gnome.shell enabled-extensions "[${uuids[*]}]"
    unset IFS
    gsettings set org.gnome.shell welcome-dialog-last-shown-version "'999'"
    gsettings set org.gnome.desktop.interface enable-animations false
    export E2E_SHELL_LOG=$E2E_TMP/gnome-shell.log
    # The Shell would hand the session's variables to a session manager; there is none.
    e2e_spawn env -u DISPLAY -u WAYLAND_DISPLAY XDG_SESSION_TYPE=wayland \
        gnome-shell --headless --wayland $x11 "${monitors[@]}" \
        --wayland-display "lumivo-e2e-$$" >"$E2E_SHELL_LOG" 2>&1
    export E2E_SHELL_PID=$E2E_LAST_PID
    if ! e2e_wait_for 60 grep -q 'GNOME Shell started' "$E2E_SHELL_LOG"; then
        echo "e2e: gnome-shell did not start:" >&2
        tail -n 30 "$E2E_SHELL_LOG" >&2
        exit 1
    fi
    export WAYLAND_DISPLAY=lumivo-e2e-$$
    if [ -z "$x11" ]; then
        export E2E_XWAYLAND_DISPLAY
        E2E_XWAYLAND_DISPLAY=$(sed -n 's/.*Using public X11 display \(:[0-9]*\).*/\1/p' \
            "$E2E_SHELL_LOG" | head -n1)
        local auth
        for auth in "$XDG_RUNTIME_DIR"/.mutter-Xwaylandauth.*; do export XAUTHORITY=$auth; done
        [ -n "$E2E_XWAYLAND_DISPLAY" ] || {
            echo "e2e: gnome-shell started no XWayland" >&2
            exit 1
        }
    fi
}

# ---- KDE Plasma -------------------------------------------------------------
# e2e_start_kwin_wayland [OUTPUTS] : kwin_wayland on virtual outputs of
# 1280x720 side by side (default 1), then exports WAYLAND_DISPLAY and
# QT_QPA_PLATFORM=wayland (also into the session bus's activation
# environment: kactivitymanagerd, which the bus starts for plasmashell, must
# reach the compositor) and unsets DISPLAY. KWin runs as a plain copy of the
# binary, whose file capability containers refuse, and lets tests take
# screenshots and fake input without asking.
e2e_start_kwin_wayland() {
    local outputs=${1:-1} socket=lumivo-kwin-$$
    export KWIN_SCREENSHOT_NO_PERMISSION_CHECKS=1 KWIN_WAYLAND_NO_PERMISSION_CHECKS=1
    cp /usr/bin/kwin_wayland "$E2E_TMP/kwin_wayland"
    e2e_spawn env -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM -u DISPLAY \
        "$E2E_TMP/kwin_wayland" --virtual --width 1280 --height 720 --output-count "$outputs" \
        --socket "$socket" --no-lockscreen >"$E2E_TMP/kwin.log" 2>&1
    E2E_KWIN_PID=$E2E_LAST_PID
    if ! e2e_wait_for 20 test -S "$XDG_RUNTIME_DIR/$socket" ||
        ! e2e_wait_for 20 e2e_bus_has org.kde.KWin; then
        echo "e2e: kwin_wayland did not start:" >&2
        cat "$E2E_TMP/kwin.log" >&2
        exit 1
    fi
    export WAYLAND_DISPLAY=$socket QT_QPA_PLATFORM=wayland
    unset DISPLAY
    dbus-update-activation-environment WAYLAND_DISPLAY QT_QPA_PLATFORM XDG_RUNTIME_DIR \
        KWIN_SCREENSHOT_NO_PERMISSION_CHECKS
}

# e2e_start_kwin_x11 [WIDTHxHEIGHT] : Xvfb (see e2e_start_xvfb) with kwin_x11
# (a plain copy too) as its window manager; QT_QPA_PLATFORM=xcb.
e2e_start_kwin_x11() {
    e2e_start_xvfb "${1:-1280x720}"
    export QT_QPA_PLATFORM=xcb
    unset WAYLAND_DISPLAY
    dbus-update-activation-environment DISPLAY QT_QPA_PLATFORM XDG_RUNTIME_DIR
    cp /usr/bin/kwin_x11 "$E2E_TMP/kwin_x11"
    e2e_spawn "$E2E_TMP/kwin_x11" --replace >"$E2E_TMP/kwin.log" 2>&1
    E2E_KWIN_PID=$E2E_LAST_PID
    if ! e2e_wait_for 20 e2e_bus_has org.kde.KWin; then
        echo "e2e: kwin_x11 did not start:" >&2
        cat "$E2E_TMP/kwin.log" >&2
        exit 1
    fi
}

# e2e_start_plasmashell [DATA_DIR] : plasmashell in the running KWin, with
# DATA_DIR (say, a build tree's share/) searched first for Plasma packages;
# returns once its desktops answer scripts. Log in "$E2E_TMP/plasmashell.log".
e2e_start_plasmashell() {
    [ -z "${1:-}" ] || export XDG_DATA_DIRS="$1:${XDG_DATA_DIRS:-/usr/local/share:/usr/share}"
    e2e_spawn plasmashell --no-respawn >"$E2E_TMP/plasmashell.log" 2>&1
    E2E_PLASMASHELL_PID=$E2E_LAST_PID
    if ! e2e_wait_for 60 e2e_plasma_desktops_ready; then
        echo "e2e: plasmashell did not start:" >&2
        tail -n 40 "$E2E_TMP/plasmashell.log" >&2
        exit 1
    fi
}
e2e_plasma_desktops_ready() { [ -n "$(e2e_plasma_script 'print(desktops().length)')" ]; }

# e2e_plasma_script CODE : runs CODE in plasmashell's desktop scripting and
# prints what it printed.
e2e_plasma_script() {
    qdbus org.kde.plasmashell /PlasmaShell org.kde.PlasmaShell.evaluateScript "$1" 2>/dev/null
}

# e2e_start_tray_host : the test tray host (trayhost.py serve) as the session's
# StatusNotifierWatcher, waited for: a helper that starts before the watcher
# is on the bus falls back to an XEmbed tray under X11, which the host never
# sees.
e2e_start_tray_host() {
    e2e_spawn /usr/bin/python3 "$(dirname "${BASH_SOURCE[0]}")/trayhost.py" serve >/dev/null
    e2e_wait_for 10 e2e_bus_has org.kde.StatusNotifierWatcher
}

# e2e_bus_has NAME : NAME has an owner on the session bus.
e2e_bus_has() {
    gdbus call --session --dest org.freedesktop.DBus --object-path /org/freedesktop/DBus \
        --method org.freedesktop.DBus.NameHasOwner "$1" 2>/dev/null | grep -q true
}

# e2e_kwin_stacking : KWin's windows from bottom to top, one a line:
# "<pid> <desktop window: true|false> <resource class> <caption>", through a
# KWin script (its output goes to KWin's log).
e2e_kwin_stacking() {
    local mark script id
    mark=stack-$RANDOM-$RANDOM
    script=$E2E_TMP/$mark.js
    cat >"$script" <<JS
var list = workspace.clientList().slice();
list.sort(function (a, b) { return a.stackingOrder - b.stackingOrder; });
var lines = [];
for (var i = 0; i < list.length; ++i) {
    var c = list[i];
    lines.push("$mark " + c.pid + " " + c.desktopWindow + " " + c.resourceClass + " " + c.caption);
}
print(lines.join("\\n") + "\\n$mark end");
JS
    id=$(gdbus call --session --dest org.kde.KWin --object-path /Scripting \
        --method org.kde.kwin.Scripting.loadScript "$script" "$mark" | tr -dc '0-9')
    gdbus call --session --dest org.kde.KWin --object-path /Scripting \
        --method org.kde.kwin.Scripting.start >/dev/null
    e2e_wait_for 5 grep -q "$mark end" "$E2E_TMP/kwin.log" || return 1
    grep -o "$mark .*" "$E2E_TMP/kwin.log" | grep -v "$mark end" | sed "s/^$mark //"
    gdbus call --session --dest org.kde.KWin --object-path /Scripting \
        --method org.kde.kwin.Scripting.unloadScript "$mark" >/dev/null 2>&1
    : "$id"
}

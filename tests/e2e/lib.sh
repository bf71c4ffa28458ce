# shellcheck shell=bash
# Shared harness for the end-to-end tests: real programs on a headless X server
# inside a private D-Bus session, checked with real tools.
#
# Use it at the top of a bash test script:
#
#   source "$(dirname "$0")/lib.sh"   # re-runs the script inside dbus-run-session
#   e2e_start_xvfb 640x360            # private Xvfb on a free display; sets DISPLAY
#   e2e_start_xorg_monitors 960       # or Xorg (dummy driver) with two monitors
#   e2e_proc_start app ./program      # a line-command program (see below)
#   check "what must hold" some_command args...
#   e2e_finish                        # prints "N passed, N failed"; exit 1 on failure
#
# What sourcing sets up:
#   - a private session bus (DBUS_SESSION_BUS_ADDRESS), gone when the script ends;
#   - E2E_TMP, a scratch directory removed at exit;
#   - XDG_RUNTIME_DIR (mode 0700), HOME, XDG_CONFIG_HOME, XDG_CACHE_HOME and
#     XDG_DATA_HOME inside E2E_TMP, so no test reads or writes the user's files;
#   - QT_QPA_PLATFORM=xcb;
#   - a trap that stops every process started through this library (Xvfb, Xorg,
#     e2e_spawn, e2e_proc_start) and removes E2E_TMP (kept when E2E_KEEP is
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
export QT_QPA_PLATFORM=xcb

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
e2e_spawn() {
    "$@" &
    E2E_LAST_PID=$!
    E2E_PIDS+=("$E2E_LAST_PID")
}

# e2e_start_xvfb [WIDTHxHEIGHT] : starts Xvfb on a free display and exports DISPLAY.
e2e_start_xvfb() {
    local size=${1:-1280x720} fdfile="$E2E_TMP/xvfb.display"
    : >"$fdfile"
    e2e_spawn Xvfb -displayfd 3 -screen 0 "${size}x24" -nolisten tcp -noreset \
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

#!/usr/bin/env bash
# What a covered wallpaper costs: the helper, with openbox on a 1280x720 Xvfb
# and a private session bus (tests/e2e/lib.sh sets the scene), plays a 30 fps
# 1280x720 clip whose colour changes with every frame (its hue turns once in
# 4 s), restored from the cache as at login. An ordinary window (xev) is made
# fullscreen over it and back through EWMH requests, as a game or a video
# player does. Peer: `mpv --vo=x11` on the same clip in a desktop-sized
# window under the same window, as a wallpaper tool without pausing runs it.
# Figures, medians:
#   - CPU while covered: utime+stime of the process over MEASURE_SECONDS
#     (default 10) after a 1 s settle, ROUNDS (default 3) rounds;
#   - wake-ups while covered: voluntary + involuntary context switches summed
#     over all its threads in the same windows, per second;
#   - uncover to the next new frame: from the request that ends fullscreen to
#     the first frame that differs from the first picture shown after it
#     (a redraw of the paused frame does not count), a 1-pixel poll of the root
#     window every millisecond, UNCOVERS (default 10) times.
# The helper is covered once it logs "Paused: desktop covered"; mpv once the
# pixel shows the window.
# Usage: bench/pause.sh [build-dir]   (default $LUMIVO_BUILD_DIR or build)
BUILD=$(realpath "${1:-${LUMIVO_BUILD_DIR:-build}}")
source "$(dirname "$0")/../tests/e2e/lib.sh" "$@"

HELPER=$BUILD/TarvoWallpaperHelper/lumivo-helper
[ -x "$HELPER" ] || { echo "pause.sh: $HELPER is not built" >&2; exit 1; }
LOG=$E2E_TMP/helper.log

e2e_start_xvfb 1280x720
e2e_start_openbox
CONF=$XDG_CONFIG_HOME/Lumivo/LumivoHelper.conf
CACHE=$XDG_CACHE_HOME/Lumivo/wallpapers
mkdir -p "$(dirname "$CONF")" "$CACHE"
ffmpeg -hide_banner -loglevel error -y -f lavfi \
    -i "color=c=0xd04040:size=1280x720:rate=30:duration=4,hue=H=2*PI*t/4" \
    -c:v libx264 -preset veryfast -crf 12 -pix_fmt yuv420p "$E2E_TMP/clip.mp4"
sha=$(sha256sum "$E2E_TMP/clip.mp4" | cut -c1-64)
CLIP=$CACHE/hue-${sha:0:12}.mp4
mv "$E2E_TMP/clip.mp4" "$CLIP"
cat >"$CONF" <<EOS
[General]
hasShownWelcome=true

[lastWallpaper]
id=hue
title=Hue
file=$CLIP
sha256=$sha
bytes=$(stat -c %s "$CLIP")
EOS

# The covering window, top left, out of the way of the polled pixel.
e2e_spawn xev -name cover -geometry 200x200+0+0 >/dev/null 2>&1
managed() { wmctrl -l | grep ' cover$' >/dev/null; }
e2e_wait_for 10 managed || { echo "pause.sh: openbox does not manage the window" >&2; exit 1; }
COVER=$(wmctrl -l | awk '$NF == "cover" {print $1; exit}')

e2e_spawn "$HELPER" 2>"$LOG"
PID=$E2E_LAST_PID
e2e_wait_for 10 grep -q 'Restored Hue' "$LOG" || { cat "$LOG" >&2; exit 1; }

python3 - "$PID" "$COVER" "$LOG" "$CLIP" "${ROUNDS:-3}" "${MEASURE_SECONDS:-10}" \
    "${UNCOVERS:-10}" <<'PY' || exit 1
import ctypes, glob, os, statistics, subprocess, sys, time

pid, cover, log, clip = int(sys.argv[1]), int(sys.argv[2], 0), sys.argv[3], sys.argv[4]
rounds, measure, uncovers = int(sys.argv[5]), float(sys.argv[6]), int(sys.argv[7])

x11 = ctypes.CDLL("libX11.so.6")
x11.XOpenDisplay.restype = ctypes.c_void_p
x11.XDefaultRootWindow.restype = ctypes.c_ulong
x11.XDefaultRootWindow.argtypes = [ctypes.c_void_p]
x11.XInternAtom.restype = ctypes.c_ulong
x11.XInternAtom.argtypes = [ctypes.c_void_p, ctypes.c_char_p, ctypes.c_int]
x11.XGetImage.restype = ctypes.c_void_p
x11.XGetImage.argtypes = [ctypes.c_void_p, ctypes.c_ulong, ctypes.c_int, ctypes.c_int,
                          ctypes.c_uint, ctypes.c_uint, ctypes.c_ulong, ctypes.c_int]
x11.XGetPixel.restype = ctypes.c_ulong
x11.XGetPixel.argtypes = [ctypes.c_void_p, ctypes.c_int, ctypes.c_int]
x11.XFree.argtypes = [ctypes.c_void_p]
x11.XSendEvent.argtypes = [ctypes.c_void_p, ctypes.c_ulong, ctypes.c_int, ctypes.c_long,
                           ctypes.c_void_p]
x11.XFlush.argtypes = [ctypes.c_void_p]


class ClientMessage(ctypes.Structure):
    _fields_ = [("type", ctypes.c_int), ("serial", ctypes.c_ulong), ("send_event", ctypes.c_int),
                ("display", ctypes.c_void_p), ("window", ctypes.c_ulong),
                ("message_type", ctypes.c_ulong), ("format", ctypes.c_int),
                ("data", ctypes.c_long * 5), ("pad", ctypes.c_long * 12)]


display = x11.XOpenDisplay(None)
root = x11.XDefaultRootWindow(display)
wm_state = x11.XInternAtom(display, b"_NET_WM_STATE", 0)
fullscreen = x11.XInternAtom(display, b"_NET_WM_STATE_FULLSCREEN", 0)


def set_fullscreen(on):
    event = ClientMessage(type=33, send_event=1, display=display, window=cover,
                          message_type=wm_state, format=32)
    event.data[0], event.data[1], event.data[3] = (1 if on else 0), fullscreen, 1
    # SubstructureRedirectMask | SubstructureNotifyMask
    x11.XSendEvent(display, root, 0, (1 << 20) | (1 << 19), ctypes.byref(event))
    x11.XFlush(display)


def pixel():
    image = x11.XGetImage(display, root, 900, 500, 1, 1, 0xFFFFFFFF, 2)
    value = x11.XGetPixel(image, 0, 0)
    # As XDestroyImage (a macro): the pixels (XImage.data, after four ints), then the image.
    x11.XFree(ctypes.cast(image + 16, ctypes.POINTER(ctypes.c_void_p))[0])
    x11.XFree(image)
    return value


def dark(value):
    return all(((value >> shift) & 0xFF) < 16 for shift in (0, 8, 16))


def wait(condition, what, seconds=10):
    deadline = time.monotonic() + seconds
    while not condition():
        if time.monotonic() > deadline:
            sys.exit(f"pause.sh: {what} within {seconds} s")
        time.sleep(0.005)


def paused_lines():
    with open(log) as text:
        return text.read().count("[LumivoHelper] Paused: desktop covered")


def cpu_ticks(p):
    with open(f"/proc/{p}/stat") as stat:
        fields = stat.read().rsplit(")", 1)[1].split()
    return int(fields[11]) + int(fields[12])


def switches(p):
    total = 0
    for status in glob.glob(f"/proc/{p}/task/*/status"):
        try:
            with open(status) as text:
                total += sum(int(line.split()[1]) for line in text if "ctxt_switches" in line)
        except OSError:
            pass  # a thread that ended meanwhile
    return total


def cover_and_wait(p, ours):
    if ours:
        before = paused_lines()
        set_fullscreen(True)
        wait(lambda: paused_lines() > before, f"no pause (pixel {pixel():#x}, covered {covered:#x})")
    else:
        set_fullscreen(True)
        wait(lambda: pixel() == covered, "the window does not cover the pixel")


def costs(p, ours):
    cpu, wakes = [], []
    for _ in range(rounds):
        cover_and_wait(p, ours)
        time.sleep(1)
        t0, s0 = cpu_ticks(p), switches(p)
        time.sleep(measure)
        t1, s1 = cpu_ticks(p), switches(p)
        cpu.append(100 * (t1 - t0) / os.sysconf("SC_CLK_TCK") / measure)
        wakes.append((s1 - s0) / measure)
        set_fullscreen(False)
        wait(lambda: pixel() != covered, "not uncovered")
    return cpu, wakes


def uncover_times(p, ours):
    times = []
    for _ in range(uncovers):
        cover_and_wait(p, ours)
        time.sleep(0.5)
        start = time.perf_counter()
        set_fullscreen(False)
        first = None
        while True:
            value = pixel()
            if value != covered and not dark(value):
                if first is None:
                    first = value
                elif value != first:
                    break
            if time.perf_counter() - start > 5:
                sys.exit("pause.sh: no new frame within 5 s of uncovering")
            time.sleep(0.001)
        times.append((time.perf_counter() - start) * 1000)
        time.sleep(0.3)
    return times


# The window's own colour where it covers the pixel.
wait(lambda: not dark(pixel()), "no wallpaper")
set_fullscreen(True)
time.sleep(1)
covered = pixel()
set_fullscreen(False)
wait(lambda: pixel() != covered, "not uncovered")
wait(lambda: not dark(pixel()), "no wallpaper")

figures = {}
figures["ours"] = costs(pid, True) + (uncover_times(pid, True),)
os.kill(pid, 15)


def ended():
    try:
        with open(f"/proc/{pid}/stat") as stat:
            return stat.read().rsplit(")", 1)[1].split()[0] == "Z"  # not reaped until the end
    except OSError:
        return True


wait(ended, "the helper did not end")
mpv = subprocess.Popen(["mpv", "--no-config", "--vo=x11", "--aid=no", "--loop-file=inf",
                        "--no-border", "--geometry=1280x720+0+0", "--really-quiet",
                        clip], stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
wait(lambda: not dark(pixel()) and pixel() != covered, "no mpv picture")
# mpv's window must stay under the covering one.
subprocess.run(["wmctrl", "-i", "-r", hex(cover), "-b", "add,above"], check=True)
time.sleep(1)
figures["mpv"] = costs(mpv.pid, False) + (uncover_times(mpv.pid, False),)
mpv.terminate()
mpv.wait()

med = {k: [statistics.median(v) for v in figures[k]] for k in figures}
print("covered cpu %: ours " + " ".join(f"{v:.2f}" for v in figures["ours"][0]) +
      "; mpv " + " ".join(f"{v:.2f}" for v in figures["mpv"][0]))
print("covered wake-ups/s: ours " + " ".join(f"{v:.1f}" for v in figures["ours"][1]) +
      "; mpv " + " ".join(f"{v:.1f}" for v in figures["mpv"][1]))
print("uncover to new frame (ms): ours " + " ".join(f"{v:.0f}" for v in figures["ours"][2]) +
      "; mpv " + " ".join(f"{v:.0f}" for v in figures["mpv"][2]))
print(f"pause_covered_cpu_pct {med['ours'][0]:.2f} peer=mpv-x11 {med['mpv'][0]:.2f} target=value<=0.5")
print(f"pause_wakeups_per_s {med['ours'][1]:.2f} peer=mpv-x11 {med['mpv'][1]:.1f} target=value<=1")
print(f"pause_uncover_frame_ms {med['ours'][2]:.0f} peer=mpv-x11 {med['mpv'][2]:.0f} target=value<100")
PY

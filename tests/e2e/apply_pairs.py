#!/usr/bin/python3
"""Applies a wallpaper and stops it again, many times, through lumivo:// URLs
sent to the running helper over D-Bus (org.freedesktop.Application.Open), and
samples the helper's memory, descriptors and threads after each stop.

    apply_pairs.py PID LOG ID COUNT [HOLD_SECONDS]

PID is the helper's process, LOG the file its log lines go to, ID the
wallpaper to apply. Each pair waits for "Applied ..." in the log, lets the
wallpaper play for HOLD_SECONDS (default 0.2, about its first frame), sends
lumivo://stop and waits for "Stopped wallpaper". After each stop it prints

    <pair> <RssAnon KiB> <Pss KiB> <descriptors> <threads>

and exits 1 when the helper stops answering (20 s without the line awaited).
"""
import os
import sys
import time

import dbus

APPLIED = b"[LumivoHelper] Applied "
STOPPED = b"[LumivoHelper] Stopped wallpaper\n"


def status_kib(pid, key):
    with open(f"/proc/{pid}/status") as status:
        for line in status:
            if line.startswith(key + ":"):
                return int(line.split()[1])
    return 0


def pss_kib(pid):
    with open(f"/proc/{pid}/smaps_rollup") as rollup:
        for line in rollup:
            if line.startswith("Pss:"):
                return int(line.split()[1])
    return 0


class Log:
    """Counts lines in the helper's log, reading only what was appended."""

    def __init__(self, path):
        self.file = open(path, "rb")
        self.applied = self.stopped = 0
        self.rest = b""
        self.read()

    def read(self):
        data = self.rest + self.file.read()
        lines = data.split(b"\n")
        self.rest = lines.pop()
        for line in lines:
            if line.startswith(APPLIED):
                self.applied += 1
            elif line + b"\n" == STOPPED:
                self.stopped += 1

    def wait(self, what, count):
        deadline = time.monotonic() + 20
        while getattr(self, what) < count:
            if time.monotonic() > deadline:
                sys.exit(f"apply_pairs.py: no '{what}' line {count} within 20 s")
            time.sleep(0.005)
            self.read()


def main():
    pid, log_path, wallpaper, count = (int(sys.argv[1]), sys.argv[2], sys.argv[3],
                                       int(sys.argv[4]))
    hold = float(sys.argv[5]) if len(sys.argv) > 5 else 0.2
    helper = dbus.SessionBus().get_object("app.lumivo.Helper", "/app/lumivo/Helper")
    log = Log(log_path)

    def open_url(url):
        helper.Open([url], dbus.Dictionary({}, signature="sv"),
                    dbus_interface="org.freedesktop.Application", timeout=20)

    for pair in range(1, count + 1):
        open_url(f"lumivo://apply/{wallpaper}")
        log.wait("applied", log.applied + 1)
        time.sleep(hold)
        open_url("lumivo://stop")
        log.wait("stopped", log.stopped + 1)
        print(pair, status_kib(pid, "RssAnon"), pss_kib(pid), len(os.listdir(f"/proc/{pid}/fd")),
              status_kib(pid, "Threads"), flush=True)


if __name__ == "__main__":
    main()

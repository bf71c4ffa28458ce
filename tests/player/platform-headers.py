#!/usr/bin/env python3
"""Checks that the player's sources reach no display server's header.

    platform-headers.py COMPILE_COMMANDS PLAYER_DIR

Preprocesses every source under PLAYER_DIR as compile_commands.json says it
is built, lists the headers it includes (-M), and fails naming each X11, xcb
or Wayland header found: the player knows the backends through their
interface only, and EGL's headers must be kept from pulling Xlib in.
"""
import json
import re
import shlex
import subprocess
import sys

PLATFORM = re.compile(r"/(X11|xcb)/|/wayland-[^/]*\.h$|-client-protocol\.h$")


def dependencies(entry):
    """The headers one translation unit includes, as the compiler lists them."""
    words = shlex.split(entry["command"])
    if words[0].endswith("ccache"):
        words = words[1:]
    kept, skip = [], False
    for word in words:
        if skip:
            skip = False
        elif word in ("-o", "-MT", "-MF", "-c"):
            skip = True
        elif word not in ("-MD", "-MMD"):
            kept.append(word)
    kept += ["-M", "-MG", entry["file"]]
    out = subprocess.run(kept, cwd=entry["directory"], capture_output=True, text=True)
    if out.returncode != 0:
        sys.exit(f"cannot preprocess {entry['file']}:\n{out.stderr}")
    return out.stdout.replace("\\\n", " ").split()[1:]


def main(commands, player):
    entries = [e for e in json.load(open(commands)) if e["file"].startswith(player.rstrip("/") + "/")]
    if not entries:
        sys.exit(f"no source of {player} in {commands}")
    found = []
    for entry in entries:
        found += [f"{entry['file']}: {h}" for h in dependencies(entry) if PLATFORM.search(h)]
    if found:
        print("the player includes display server headers:\n  " + "\n  ".join(found))
        return 1
    print(f"{len(entries)} sources, no display server header")
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1], sys.argv[2]))

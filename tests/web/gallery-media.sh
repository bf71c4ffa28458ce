#!/usr/bin/env bash
# Checks the sample gallery against its own manifest: every field derived from
# a video file matches the file, the clips are what the player and the gallery
# expect (1280x720 H.264 yuv420p, no audio, 6-10 s), each clip loops without a
# visible jump, every thumbnail exists, and the remote-only entry really has no
# local file (else the helper would play it instead of downloading it).
#
#   gallery-media.sh [public-dir] [lumivo-cli]
# With the lumivo CLI given, the manifest also goes through the real decoder.
set -uo pipefail
here=$(cd "$(dirname "$0")" && pwd)
public=${1:-$here/../../examples/gallery/web/public}
cli=${2:-}

python3 - "$public" "$cli" <<'PY'
import hashlib, json, os, subprocess, sys
from urllib.parse import urlsplit, unquote

public, cli = sys.argv[1], sys.argv[2]
passed = failed = 0

def check(ok, what):
    global passed, failed
    if ok:
        passed += 1
    else:
        failed += 1
        print(f"FAIL: {what}")

def probe(path):
    out = subprocess.run(["ffprobe", "-v", "error", "-show_entries",
                          "stream=codec_type,codec_name,pix_fmt,width,height:format=duration",
                          "-of", "json", path], check=True, capture_output=True, text=True).stdout
    return json.loads(out)

def frames(path, w=32, h=18):
    """Decoded frames as small grey images (lists of byte values)."""
    raw = subprocess.run(["ffmpeg", "-v", "error", "-i", path, "-vf", f"scale={w}:{h}:flags=area",
                          "-f", "rawvideo", "-pix_fmt", "gray", "-"],
                         check=True, capture_output=True).stdout
    size = w * h
    return [raw[i:i + size] for i in range(0, len(raw) - size + 1, size)]

def diff(a, b):
    return sum(abs(x - y) for x, y in zip(a, b)) / len(a)

def check_clip(rid, r, video):
    data = open(video, "rb").read()
    check(hashlib.sha256(data).hexdigest() == r["sha256"].lower(), f"{rid}: sha256 matches the file")
    check(len(data) == r["bytes"], f"{rid}: bytes matches the file ({len(data)})")
    check(len(data) < 700_000, f"{rid}: clip stays small ({len(data)} bytes)")
    info = probe(video)
    streams = info["streams"]
    check([s["codec_type"] for s in streams] == ["video"], f"{rid}: one video stream, no audio")
    v = streams[0]
    check((v["codec_name"], v["pix_fmt"], v["width"], v["height"]) == ("h264", "yuv420p", 1280, 720),
          f"{rid}: 1280x720 H.264 yuv420p (got {v['codec_name']} {v['pix_fmt']} {v['width']}x{v['height']})")
    check((v["width"], v["height"]) == (r["width"], r["height"]), f"{rid}: width and height match")
    duration = float(info["format"]["duration"])
    check(abs(duration - r["duration"]) < 0.05 and 6 <= duration <= 10,
          f"{rid}: duration {r['duration']} matches the file ({duration}) and is 6-10 s")
    # Seamless loop: the jump from the last frame back to the first is no
    # larger than the biggest step between two neighbouring frames.
    fs = frames(video)
    steps = [diff(a, b) for a, b in zip(fs, fs[1:])]
    seam = diff(fs[-1], fs[0])
    check(max(steps) > 0.2, f"{rid}: the clip moves (largest step {max(steps):.2f})")
    check(seam <= 1.5 * max(steps) + 0.5,
          f"{rid}: loops without a jump (seam {seam:.2f}, largest step {max(steps):.2f})")

manifest_path = os.path.join(public, "api", "wallpapers.json")
with open(manifest_path, encoding="utf-8") as f:
    records = json.load(f)
check(len(records) >= 3, "manifest has at least three wallpapers")
check(len({r["id"] for r in records}) == len(records), "manifest ids are unique")

keys = ["id", "slug", "title", "category", "thumbnailUrl", "videoUrl", "sha256", "bytes",
        "duration", "width", "height", "format", "updatedAt"]
local = remote = 0
for r in records:
    rid = r.get("id", "?")
    check(all(k in r and r[k] is not None for k in keys), f"{rid}: all 13 keys present")
    url = urlsplit(r["videoUrl"])
    check(url.scheme == "https" and url.path.startswith("/assets/"),
          f"{rid}: videoUrl is an https URL under /assets/")
    thumb = os.path.join(public, unquote(urlsplit(r["thumbnailUrl"]).path).lstrip("/"))
    check(os.path.isfile(thumb) and open(thumb, "rb").read(8) == b"\x89PNG\r\n\x1a\n",
          f"{rid}: thumbnail {r['thumbnailUrl']} is a PNG in the checkout")
    video = os.path.join(public, unquote(url.path).lstrip("/"))
    if not os.path.exists(video):
        remote += 1
        check(len(r["sha256"]) == 64 and r["bytes"] > 0,
              f"{rid}: remote-only entry still declares a digest and a size")
        continue
    local += 1
    try:
        check_clip(rid, r, video)
    except (OSError, subprocess.CalledProcessError, KeyError, IndexError, ValueError) as e:
        check(False, f"{rid}: {video} cannot be examined: {e}")

check(local >= 3, f"at least three wallpapers have a local clip ({local})")
check(remote >= 1, f"at least one wallpaper is published remotely only ({remote})")

if cli:
    res = subprocess.run([cli, "manifest", "check", manifest_path], capture_output=True, text=True)
    check(res.returncode == 0, f"lumivo manifest check accepts the manifest: {res.stdout}{res.stderr}")

print(f"{passed} passed, {failed} failed")
sys.exit(1 if failed else 0)
PY

#!/usr/bin/env bash
# Loads the sample gallery page in headless Chromium from a local HTTP server
# and checks the rendered DOM against the manifest: one card per wallpaper, in
# order, each with its title, category, size, duration and the right
# lumivo://apply/<id> link. Two more loads cover a manifest with hostile text
# (ids that need percent-encoding, markup in titles) and a missing manifest.
#
#   gallery-page.sh [public-dir]
set -uo pipefail
here=$(cd "$(dirname "$0")" && pwd)
public=$(cd "${1:-$here/../../examples/gallery/web/public}" && pwd)

for tool in chromium python3; do
    command -v "$tool" >/dev/null || {
        echo "gallery-page: $tool is missing (scripts/install-deps installs it)" >&2
        exit 1
    }
done

work=$(mktemp -d)
server_pid=""
cleanup() {
    if [ -n "$server_pid" ]; then
        kill "$server_pid" 2>/dev/null
        wait "$server_pid" 2>/dev/null
    fi
    rm -rf "$work"
}
trap cleanup EXIT
trap 'exit 130' INT TERM

# Three sites: the checkout itself, a copy whose manifest adds hostile
# entries, and a copy without a manifest. The copies share the real assets.
mkdir -p "$work/site/hostile/api" "$work/site/missing"
for site in hostile missing; do
    for entry in "$public"/*; do
        [ "$(basename "$entry")" = api ] || ln -s "$entry" "$work/site/$site/"
    done
done
ln -s "$public" "$work/site/real"
python3 - "$public/api/wallpapers.json" "$work/site/hostile/api/wallpapers.json" <<'PY'
import json, sys
records = json.load(open(sys.argv[1], encoding="utf-8"))
base = records[0]
extra = [
    dict(base, id="sunset glow/2?x=1#top", slug="sunset-glow", title="<b>Bold</b> & \"quoted\""),
    dict(base, id="ünïcode-ωave", slug="unicode-wave", title="<img src=x onerror=console.log(1)>"),
]
json.dump(records + extra, open(sys.argv[2], "w", encoding="utf-8"), ensure_ascii=False)
PY

port=$(python3 -c 'import socket; s=socket.socket(); s.bind(("127.0.0.1", 0)); print(s.getsockname()[1])')
python3 -m http.server --bind 127.0.0.1 --directory "$work/site" "$port" >"$work/server.log" 2>&1 &
server_pid=$!
for _ in $(seq 50); do
    python3 -c "import urllib.request; urllib.request.urlopen('http://127.0.0.1:$port/real/')" \
        2>/dev/null && break
    sleep 0.1
done

dump() { # site -> rendered DOM on stdout
    local profile
    profile=$(mktemp -d "$work/profile.XXXXXX")
    timeout 90 chromium --headless --no-sandbox --disable-gpu --disable-quic --no-first-run \
        --disable-background-networking --disable-component-update --disable-sync \
        --user-data-dir="$profile" --virtual-time-budget=5000 --dump-dom \
        "http://127.0.0.1:$port/$1/live-wallpapers/" 2>>"$work/chromium.log"
}

for site in real hostile missing; do
    dump "$site" >"$work/$site.html"
done

python3 - "$work" "$public/api/wallpapers.json" <<'PY'
import json, os, sys
from html.parser import HTMLParser
from urllib.parse import quote

work, manifest = sys.argv[1], sys.argv[2]
passed = failed = 0

def check(ok, what):
    global passed, failed
    if ok:
        passed += 1
    else:
        failed += 1
        print(f"FAIL: {what}")

class Cards(HTMLParser):
    """Collects each article.card: its data-id, link, image and the text of
    its classed fields, plus any element that appears inside a field."""
    FIELDS = {"title", "category", "size", "duration", "resolution"}

    def __init__(self):
        super().__init__()
        self.cards, self.status, self.field, self.depth = [], None, None, 0
        self.in_status = False
        self.in_card = False

    def handle_starttag(self, tag, attrs):
        a = dict(attrs)
        classes = set((a.get("class") or "").split())
        if tag == "article" and "card" in classes:
            self.cards.append({"id": a.get("data-id"), "links": [], "markup": []})
            self.in_card = True
        if a.get("id") == "status":
            self.status = {"hidden": "hidden" in a, "text": "", "error": "error" in classes}
            self.in_status = True
        if not self.in_card:
            return
        card = self.cards[-1]
        if self.field:
            card["markup"].append(tag)
        if tag == "a":
            card["links"].append(a.get("href"))
        if tag == "img":
            card["img"] = a.get("src")
        field = classes & self.FIELDS
        if field and not self.field:
            self.field = field.pop()
            card[self.field] = ""

    def handle_endtag(self, tag):
        if self.field and tag in ("h2", "span"):
            self.field = None
        if tag == "p":
            self.in_status = False
        if tag == "article":
            self.in_card = False

    def handle_data(self, data):
        if self.field:
            self.cards[-1][self.field] += data
        if self.in_status and self.status is not None:
            self.status["text"] += data

def parse(site):
    path = os.path.join(work, site + ".html")
    parser = Cards()
    parser.feed(open(path, encoding="utf-8").read())
    return parser

def encode(id_):  # what encodeURIComponent produces
    return quote(id_, safe="-_.!~*'()")

def size(b):
    mb = b / 1e6
    return f"{mb:.1f} MB" if mb < 10 else f"{round(mb)} MB"

def check_site(site, records):
    page = parse(site)
    check(len(page.cards) == len(records),
          f"{site}: one card per manifest entry ({len(page.cards)} cards, {len(records)} entries)")
    check(page.status is not None and page.status["hidden"], f"{site}: loading note is gone")
    for card, r in zip(page.cards, records):
        rid = r["id"]
        check(card["id"] == rid, f"{site}: cards in manifest order ({card['id']!r} vs {rid!r})")
        apply = "lumivo://apply/" + encode(rid)
        check(card["links"] == [apply], f"{site}: {rid!r} links to {apply} (got {card['links']})")
        check(card.get("title") == r["title"], f"{site}: {rid!r} shows its title as text")
        check(card["markup"] == [], f"{site}: {rid!r} puts no manifest text in as markup ({card['markup']})")
        check(card.get("category") == r["category"], f"{site}: {rid!r} shows its category")
        check(card.get("size") == size(r["bytes"]), f"{site}: {rid!r} shows {size(r['bytes'])}")
        check(card.get("duration") == f"{round(r['duration'])} s", f"{site}: {rid!r} shows its duration")
        check(card.get("img") == r["thumbnailUrl"], f"{site}: {rid!r} shows its thumbnail")

records = json.load(open(manifest, encoding="utf-8"))
check_site("real", records)
hostile = json.load(open(os.path.join(work, "site", "hostile", "api", "wallpapers.json"), encoding="utf-8"))
check_site("hostile", hostile)

missing = parse("missing")
check(missing.cards == [], "missing manifest: no cards")
check(missing.status is not None and not missing.status["hidden"] and missing.status["error"]
      and "could not be loaded" in missing.status["text"],
      f"missing manifest: the page says so ({missing.status})")

print(f"{passed} passed, {failed} failed")
sys.exit(1 if failed else 0)
PY

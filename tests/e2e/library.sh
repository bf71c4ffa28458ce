#!/usr/bin/env bash
# End-to-end test of the helper's own library of wallpapers on Xorg's two
# monitors: the cache trimmed to the setting cacheLimitMiB after each
# download that lands, keeping the playing file; Recent Wallpapers playing
# their files again with the gallery offline, and going back to the gallery
# for a file that is gone; "rotateMinutes" changing the wallpaper after a
# minute. The real helper (as helper.sh builds it) with the
# loopback HTTPS gallery and the test tray host.
#
#   library.sh HELPER PROJECT_ROOT PORT
HELPER=$(realpath "$1") ROOT=$(realpath -m "$2") PORT=$3
source "$(dirname "$0")/lib.sh"

e2e_helper_scene

e2e_gallery_fixture
# Three clips of 420 KiB each, so that two fit in 1 MiB and three do not: the
# test clip with a "free" box (which players skip) of filler of its own.
records=()
for n in 1 2 3; do
    { cat "$DATA/video/classic-4x3.mp4"; printf '\x00\x06\x90\x08free'; \
      head -c 430080 /dev/zero | tr '\0' "$n"; } >"$E2E_TMP/site/videos/big$n.mp4"
    records+=("$(e2e_record "big$n" "Big $n" "$PROD/videos/big$n.mp4" "$E2E_TMP/site/videos/big$n.mp4")")
done
(IFS=,; echo "[${records[*]}]") >"$E2E_TMP/site/api/wallpapers.json"
mv "$PUBLIC/api/wallpapers.json" "$E2E_TMP/local-manifest.json" # the gallery's manifest counts
start_server

# ---- helpers (checks run these in a subshell of this shell) ----------------
cached() { ls "$CACHE"/big"$1"-*.mp4 2>/dev/null; }
# The Recent Wallpapers submenu, one title a line.
recent_menu() { tray menu | sed -n '/^Recent Wallpapers\t/,/^[^>]/p' | sed -n 's/^> \([^\t]*\)\t.*/\1/p'; }
recent_are() { [ "$(recent_menu | paste -sd,)" = "$1" ]; }

e2e_start_xorg_monitors 960
e2e_spawn "$PY" "$HERE/trayhost.py" serve >/dev/null
mkdir -p "$(dirname "$CONF")"
printf '[General]\nhasShownWelcome=true\ncacheLimitMiB=1\n' >"$CONF"

# ---- three downloads under a 1 MiB limit ------------------------------------
e2e_helper_start cache
e2e_helper_send lumivo://apply/big1
verify "the first download is applied" wait_line "Applied Big 1" 20
BIG1=$(cached 1)
e2e_helper_send lumivo://apply/big2
verify "the second download is applied" wait_line "Applied Big 2" 20
verify "two fit in the limit: nothing is removed" test "$(lines_matching 'Removed')" -eq 0
e2e_helper_send lumivo://apply/big3
verify "the third download is applied" wait_line "Applied Big 3" 20
removed_big1() { has_line "Removed $BIG1 from the cache (445640 bytes)"; }
verify "the oldest goes, in one line" e2e_wait_for 10 removed_big1
verify "and only it" test "$(lines_matching 'Removed')" -eq 1
verify "its file is gone" test ! -e "$BIG1"
verify "the one before stays" test -n "$(cached 2)"
verify "the playing file stays" e2e_wait_for 10 plays "$(cached 3)"
verify "the helper keeps the playing file for lumivo cache" grep -qxF "$(basename "$(cached 3)")" "$CACHE/.protected"
BIG2=$(cached 2) BIG3=$(cached 3)

# ---- Recent Wallpapers, offline ---------------------------------------------
verify "the tray shows the icon" e2e_wait_for 10 tray_has_item
verify "Recent Wallpapers lists them newest first" e2e_wait_for 10 recent_are "Big 3,Big 2,Big 1"
stop_server
before=$(wc -l <"$SERVED")
tray click "Big 2"
verify "an entry plays again offline" wait_line "Applied Big 2"
verify "from its cached file" e2e_wait_for 10 plays "$BIG2"
verify "and moves to the top" e2e_wait_for 10 recent_are "Big 2,Big 3,Big 1"
e2e_helper_terminate
e2e_helper_start offline
verify "the list outlives the helper" e2e_wait_for 10 recent_are "Big 2,Big 3,Big 1"
tray click "Big 3"
verify "an entry plays again after a restart, offline" wait_line "Applied Big 3"
verify "from its cached file (after a restart)" e2e_wait_for 10 plays "$BIG3"
verify "nothing was fetched" test "$(wc -l <"$SERVED")" -eq "$before"
verify "no manifest was read" test "$(lines_matching 'manifest')" -eq 0

# ---- an entry whose file is gone goes back to the gallery --------------------
start_server
tray click "Big 1"
verify "its file is gone: one line" wait_line "Cannot play Big 1 from its file: $BIG1 is gone. Applying it from the gallery."
verify "then it is downloaded and applied" wait_line "Applied Big 1" 20
removed_big2() { has_line "Removed $BIG2 from the cache (445640 bytes)"; }
verify "and the least recently applied file goes" e2e_wait_for 10 removed_big2
verify "Big 1 plays" e2e_wait_for 10 plays "$BIG1"
e2e_helper_terminate

# ---- Change Every: rotateMinutes=1, offline ----------------------------------
# Recent Wallpapers now hold Big 1 (playing), Big 3 and Big 2, whose file went:
# the next in turn with a file is Big 3.
stop_server
sed -i 's/^\[General\]$/[General]\nrotateMinutes=1/' "$CONF"
e2e_helper_start rotate
verify "Big 1 comes back at the start" wait_line "Restored Big 1"
started=$SECONDS
E2E_CHECK_TIMEOUT=90 verify "within about a minute the wallpaper changes to the next with a file" \
    wait_line "Applied Big 3" 80
verify "not much before the minute is out" test $((SECONDS - started)) -ge 50
verify "it plays" e2e_wait_for 10 plays "$BIG3"
verify "without a download" test "$(lines_matching 'Download\|manifest')" -eq 0
e2e_helper_terminate

e2e_finish

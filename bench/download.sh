#!/usr/bin/env bash
# Download-and-verify benchmark: `lumivo fetch` of a 300 MiB video from a
# loopback HTTPS server into an empty cache (stream to a temporary file,
# SHA-256 over it, rename into place) against `curl -o` followed by
# `openssl dgst -sha256`, both from the same server in one run, interleaved.
# Also the peak resident memory of `lumivo fetch` during the download.
# Prints one line per figure (ratio = ours / peer, lower is better):
#   download_verify_ms <median> peer=curl+openssl <median> ratio=<r> target=<=1.1
#   fetch_peak_rss_mib <median> target=<32
# Usage: bench/download.sh [build-dir]   (default $LUMIVO_BUILD_DIR or build; RUNS=7)
set -euo pipefail

repo=$(cd "$(dirname "$0")/.." && pwd)
build=${1:-${LUMIVO_BUILD_DIR:-build}}
runs=${RUNS:-7}
cli="$build/cli/lumivo"
server="$build/bench/https-file-server"
for tool in "$cli" "$server"; do
    [ -x "$tool" ] || { echo "download.sh: $tool is not built" >&2; exit 1; }
done
[ -x /usr/bin/time ] || { echo "download.sh: /usr/bin/time is missing (package time)" >&2; exit 1; }

tls="$repo/tests/data/tls"
export SSL_CERT_FILE="$tls/ca.pem"
tmp=$(mktemp -d /tmp/lumivo-bench-download.XXXXXX)
server_pid=""
cleanup() {
    [ -n "$server_pid" ] && kill "$server_pid" 2>/dev/null && wait "$server_pid" 2>/dev/null
    rm -rf "$tmp"
}
trap cleanup EXIT

size=314572800
mkdir "$tmp/www"
head -c "$size" /dev/urandom > "$tmp/www/clip.mp4"
sha=$(openssl dgst -sha256 -r "$tmp/www/clip.mp4" | cut -d' ' -f1)

"$server" "$tmp/www" "$tls/server.pem" "$tls/server.key" > "$tmp/port" &
server_pid=$!
for _ in $(seq 100); do
    grep -q '^port ' "$tmp/port" && break
    sleep 0.05
done
port=$(awk '/^port / { print $2 }' "$tmp/port")
[ -n "$port" ] || { echo "download.sh: the HTTPS server did not start" >&2; exit 1; }
url="https://localhost:$port/clip.mp4"
cat > "$tmp/wallpapers.json" <<JSON
[{"id":"clip","slug":"clip","title":"Clip","category":"bench","thumbnailUrl":"/t.jpg",
  "videoUrl":"$url","sha256":"$sha","bytes":$size,"duration":10,
  "width":1920,"height":1080,"format":"mp4","updatedAt":"2024-01-01"}]
JSON

# Each run starts from an empty cache, so every run downloads.
ours() {
    rm -rf "$tmp/cache"
    /usr/bin/time -f "%M" -o "$tmp/rss" "$cli" fetch --manifest "$tmp/wallpapers.json" \
        --allow-host localhost --cache-dir "$tmp/cache" clip > "$tmp/ours.out"
}
peer() {
    rm -f "$tmp/peer.mp4"
    curl -sS --fail --cacert "$SSL_CERT_FILE" -o "$tmp/peer.mp4" "$url" && openssl dgst -sha256 -r "$tmp/peer.mp4" > "$tmp/peer.out"
}
us() { echo $(( $(date +%s%N) / 1000 )); }
source "$(dirname "$0")/lib.sh"

: > "$tmp/ours.us"; : > "$tmp/peer.us"; : > "$tmp/rss.kib"
for ((i = 0; i <= runs; i++)); do
    start=$(us); ours; end=$(us)
    [ "$(cat "$tmp/ours.out")" = "$tmp/cache/clip-${sha:0:12}.mp4" ] ||
        { echo "download.sh: lumivo fetch printed '$(cat "$tmp/ours.out")'" >&2; exit 1; }
    [ "$i" -gt 0 ] && echo $((end - start)) >> "$tmp/ours.us" && cat "$tmp/rss" >> "$tmp/rss.kib"
    start=$(us); peer; end=$(us)
    [ "$(cut -d' ' -f1 "$tmp/peer.out")" = "$sha" ] || { echo "download.sh: curl fetched other bytes" >&2; exit 1; }
    # The first round only warms the server's page cache and the TLS code.
    [ "$i" -gt 0 ] && echo $((end - start)) >> "$tmp/peer.us"
done

ours_us=$(median < "$tmp/ours.us"); peer_us=$(median < "$tmp/peer.us"); rss_kib=$(median < "$tmp/rss.kib")
awk -v o="$ours_us" -v p="$peer_us" -v r="$rss_kib" 'BEGIN {
    printf "download_verify_ms %.1f peer=curl+openssl %.1f ratio=%.3f target=<=1.1\n", o / 1000, p / 1000, o / p
    printf "fetch_peak_rss_mib %.1f target=<32\n", r / 1024
}'

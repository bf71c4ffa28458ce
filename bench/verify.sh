#!/usr/bin/env bash
# Cache-hit benchmark: `lumivo fetch` answering from the cache re-hashes the
# whole cached video (SHA-256 over 1 MiB reads) before it hands the file out.
# Measured on a 300 MiB file, hot in the page cache, in one run beside
# `openssl dgst -sha256` and `sha256sum` on the same file, runs interleaved.
# Prints one line per figure (ratio = ours / peer, lower is better):
#   verify_ms <median> peer=openssl <median> ratio=<r> target=<=1.1
#   verify_vs_sha256sum_ms <median> peer=sha256sum <median> ratio=<r>
# Usage: bench/verify.sh [build-dir]   (default $LUMIVO_BUILD_DIR or build; RUNS=9)
set -euo pipefail

build=${1:-${LUMIVO_BUILD_DIR:-build}}
runs=${RUNS:-9}
cli="$build/cli/lumivo"
[ -x "$cli" ] || { echo "verify.sh: $cli is not built" >&2; exit 1; }

tmp=$(mktemp -d /tmp/lumivo-bench-verify.XXXXXX)
trap 'rm -rf "$tmp"' EXIT
size=314572800
head -c "$size" /dev/urandom > "$tmp/video.mp4"
sha=$(openssl dgst -sha256 -r "$tmp/video.mp4" | cut -d' ' -f1)
mkdir "$tmp/cache"
cached="$tmp/cache/clip-${sha:0:12}.mp4"
mv "$tmp/video.mp4" "$cached"
# The video URL is never contacted: the cached copy answers.
cat > "$tmp/wallpapers.json" <<JSON
[{"id":"clip","slug":"clip","title":"Clip","category":"bench","thumbnailUrl":"/t.jpg",
  "videoUrl":"https://localhost/v/clip.mp4","sha256":"$sha","bytes":$size,"duration":10,
  "width":1920,"height":1080,"format":"mp4","updatedAt":"2024-01-01"}]
JSON

ours=(env -u SSL_CERT_FILE "$cli" fetch --manifest "$tmp/wallpapers.json" --allow-host localhost
      --cache-dir "$tmp/cache" clip)
[ "$("${ours[@]}")" = "$cached" ] || { echo "verify.sh: lumivo fetch did not answer from the cache" >&2; exit 1; }
[ "$(sha256sum "$cached" | cut -d' ' -f1)" = "$sha" ] || { echo "verify.sh: digests disagree" >&2; exit 1; }

ms() {
    local start end
    start=$(date +%s%N)
    "$@" > /dev/null
    end=$(date +%s%N)
    echo $(( (end - start) / 1000 ))
}
source "$(dirname "$0")/lib.sh"

: > "$tmp/ours"; : > "$tmp/openssl"; : > "$tmp/sha256sum"
for ((i = 0; i <= runs; i++)); do
    a=$(ms "${ours[@]}"); b=$(ms openssl dgst -sha256 "$cached"); c=$(ms sha256sum "$cached")
    # The first round only warms the page cache.
    if [ "$i" -gt 0 ]; then
        echo "$a" >> "$tmp/ours"; echo "$b" >> "$tmp/openssl"; echo "$c" >> "$tmp/sha256sum"
    fi
done
ours_ms=$(median < "$tmp/ours"); openssl_ms=$(median < "$tmp/openssl"); sum_ms=$(median < "$tmp/sha256sum")
awk -v o="$ours_ms" -v p="$openssl_ms" -v s="$sum_ms" 'BEGIN {
    printf "verify_ms %.1f peer=openssl %.1f ratio=%.3f target=<=1.1\n", o / 1000, p / 1000, o / p
    printf "verify_vs_sha256sum_ms %.1f peer=sha256sum %.1f ratio=%.3f\n", o / 1000, s / 1000, o / s
}'

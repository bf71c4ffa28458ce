#!/usr/bin/env bash
# Manifest lookup benchmark: find the last id of a generated 10,000-record
# manifest (about 4.5 MB), reading, decoding and validating the whole file.
# Measures, in one run, the helper's in-process lookup (bench/manifest, Google
# Benchmark), the same lookup as a process (`lumivo manifest lookup`), and jq
# doing that lookup on the same file. Prints one line per figure:
#   manifest_lookup_ms <median> peer=jq <median> ratio=<ours/jq> target=value<15 cpu_ms=<median>
#   manifest_lookup_cli_ms <median> peer=jq <median> ratio=<ours/jq> target=ratio<=0.35
# Usage: bench/manifest.sh [build-dir]   (default: build; RUNS=21 repetitions)
set -euo pipefail

build=${1:-build}
runs=${RUNS:-21}
bench="$build/bench/manifest"
cli="$build/cli/lumivo"
for tool in "$bench" "$cli"; do
  [ -x "$tool" ] || { echo "manifest.sh: $tool is not built" >&2; exit 1; }
done
command -v jq >/dev/null || { echo "manifest.sh: jq is not installed" >&2; exit 1; }

tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
manifest="$tmp/wallpapers.json"
id=$("$bench" --write-manifest "$manifest")

# Both tools must find the same record before their times mean anything.
ours=$("$cli" manifest lookup "$manifest" "$id" | jq -r .id)
theirs=$(jq -c --arg id "$id" '.[] | select(.id == $id)' "$manifest" | jq -r .id)
if [ "$ours" != "$id" ] || [ "$theirs" != "$id" ]; then
  echo "manifest.sh: lookups disagree (lumivo: '$ours', jq: '$theirs', wanted '$id')" >&2
  exit 1
fi

source "$(dirname "$0")/lib.sh"

# Median wall time in ms of `runs` runs of a command (after one warm-up run).
process_ms() {
  if command -v hyperfine >/dev/null; then
    hyperfine --warmup 1 --runs "$runs" --export-json "$tmp/h.json" "$1" >/dev/null
    jq '.results[0].median * 1000' "$tmp/h.json"
    return
  fi
  sh -c "$1" >/dev/null
  for ((i = 0; i < runs; i++)); do
    start=$(date +%s%N)
    sh -c "$1" >/dev/null
    end=$(date +%s%N)
    echo "$(( end - start ))"
  done | median | awk '{ printf "%.3f\n", $1 / 1e6 }'
}

"$bench" --benchmark_repetitions="$runs" --benchmark_report_aggregates_only=true \
  --benchmark_format=json >"$tmp/bench.json" 2>/dev/null
median_of() { jq ".benchmarks[] | select(.aggregate_name == \"median\") | .$1" "$tmp/bench.json"; }
inproc=$(median_of real_time)
inproc_cpu=$(median_of cpu_time)
cli_ms=$(process_ms "'$cli' manifest lookup '$manifest' '$id'")
jq_ms=$(process_ms "jq -c --arg id '$id' '.[] | select(.id == \$id)' '$manifest'")

awk -v ours="$inproc" -v cpu="$inproc_cpu" -v cli="$cli_ms" -v peer="$jq_ms" 'BEGIN {
  printf "manifest_lookup_ms %.2f peer=jq %.2f ratio=%.3f target=value<15 cpu_ms=%.2f\n", ours, peer, ours / peer, cpu
  printf "manifest_lookup_cli_ms %.2f peer=jq %.2f ratio=%.3f target=ratio<=0.35\n", cli, peer, cli / peer
}'

#!/usr/bin/env bash
# bench/run against stand-in benchmarks in a scratch copy of bench/: which
# files it runs, how it reads figure lines among other output, how it judges
# targets, and that a failing or hanging benchmark is reported and stopped.
#
#   run-table.sh [path-to-bench/run]
set -uo pipefail
here=$(cd "$(dirname "$0")" && pwd)
runner=${1:-$here/../../bench/run}

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
mkdir -p "$work/bench" "$work/build"
cp "$runner" "$work/bench/run"
cd "$work/bench"

# A non-executable *.sh named after an expected benchmark, with noise lines.
cat >manifest.sh <<'EOF'
echo "Running ./manifest"
echo "BM_Lookup/real_time     4.20 ms         4.10 ms          100"
echo "manifest_lookup_ms 4.2 peer=jq 61.5 ratio=14.6 target=<15"
EOF
# An executable without extension: a pass on the ratio and a miss on the ratio.
cat >verify <<'EOF'
#!/bin/sh
echo "verify_ms 812 peer=openssl 790 ratio=1.03 target=<=1.1"
echo "verify_vs_sha256sum_ms 812 peer=sha256sum 700 ratio=1.16 target=<=1.1"
echo "build dir: $1 $LUMIVO_BUILD_DIR"
EOF
# Exits non-zero after printing figures; one explicit-value target, one not understood.
cat >helper <<'EOF'
#!/bin/sh
echo "handover_ms 40.5 target=<150"
echo "idle_rss_mib 70 peer=mpv 35 target=value<60"
echo "playback_rss_mib 80 peer=mpv 60 target=<=mpv+30"
echo "first_frame_ms 420 peer=mpv 300 ratio=1.4 target=<300"
exit 3
EOF
# Hangs: must be stopped at the time limit, child processes included.
cat >playback.sh <<'EOF'
sleep 300 >/dev/null &
echo $! >"$(dirname "$0")/sleeper.pid"
echo "playback_cpu_pct 10 peer=mpv 10 ratio=1.00 target=<=1.05"
wait
EOF
# Neither of these is a benchmark.
printf 'touch "%s/ran-common"\n' "$work" >common.sh
printf '#!/bin/sh\ntouch "%s/ran-server"\n' "$work" >server.py
chmod +x verify helper server.py

passed=0
failed=0
check() { # description command...
    if "${@:2}"; then
        passed=$((passed + 1))
    else
        failed=$((failed + 1))
        echo "FAIL: $1"
    fi
}
row() { # figure -> its table row, columns separated by single spaces
    grep -E "^[a-z.]+ +$1 " "$work/out" | tr -s ' '
}

LUMIVO_BUILD_DIR="$work/build" LUMIVO_BENCH_TIMEOUT=3 ./run --no-build >"$work/out" 2>"$work/err"
status=$?

check "exit 1 when a benchmark fails" test "$status" -eq 1
check "figure among noise; a large bound judges the value even beside a ratio" \
    test "$(row manifest_lookup_ms)" = "manifest manifest_lookup_ms 4.2 jq 61.5 14.6 <15 pass"
check "a value bound beside a ratio that would meet it" \
    test "$(row first_frame_ms)" = "helper first_frame_ms 420 mpv 300 1.4 <300 FAIL"
check "ratio target met" test "$(row verify_ms)" = "verify verify_ms 812 openssl 790 1.03 <=1.1 pass"
check "ratio target missed" \
    test "$(row verify_vs_sha256sum_ms)" = "verify verify_vs_sha256sum_ms 812 sha256sum 700 1.16 <=1.1 FAIL"
check "value target without peer" test "$(row handover_ms)" = "helper handover_ms 40.5 <150 pass"
check "explicit value target beside a peer" \
    test "$(row idle_rss_mib)" = "helper idle_rss_mib 70 mpv 35 2.00 value<60 FAIL"
check "a target it cannot read is shown, not judged" \
    test "$(row playback_rss_mib)" = "helper playback_rss_mib 80 mpv 60 1.33 <=mpv+30 ?"
check "noise lines are no figures" bash -c "! grep -q BM_Lookup '$work/out'"
check "figures printed before a hang still count" grep -qE "^playback +playback_cpu_pct .* pass" "$work/out"
check "the failing benchmark is named with its status" grep -q 'bench/helper: 4 figures.*FAILED (exit 3)' "$work/out"
check "the hanging benchmark is reported" grep -q 'bench/playback.sh: .*timed out after 3 s' "$work/out"
gone() { # pid: true once the process has ended (allowing init a moment to reap it)
    local _
    for _ in $(seq 20); do
        [ "$(ps -o stat= -p "$1" 2>/dev/null | cut -c1)" = "" ] && return 0
        [ "$(ps -o stat= -p "$1" | cut -c1)" = Z ] && return 0
        sleep 0.1
    done
    return 1
}
check "the hanging benchmark's children are stopped" gone "$(cat "$work/bench/sleeper.pid")"
check "a missing benchmark is noted" grep -q '^bench/download: skipped' "$work/out"
check "misses are summed up" grep -q '^3 figure(s) miss their target' "$work/out"
check "helper scripts are not run" test ! -e "$work/ran-common" -a ! -e "$work/ran-server"
check "benchmarks get the build directory" grep -q "build dir: $work/build $work/build" "$work/build/bench-logs/verify.log"

LUMIVO_BUILD_DIR="$work/build" ./run --no-build --markdown manifest >"$work/md" 2>/dev/null
check "markdown table, only the named benchmark" \
    grep -qx '| manifest | manifest_lookup_ms | 4.2 | jq | 61.5 | 14.6 | <15 | pass |' "$work/md"
check "only the named benchmark runs" bash -c "! grep -q verify '$work/md'"
LUMIVO_BUILD_DIR="$work/build" ./run --no-build --strict manifest >/dev/null 2>&1
check "--strict passes when every target is met" test $? -eq 0
LUMIVO_BUILD_DIR="$work/build" ./run --no-build --strict verify >/dev/null 2>&1
check "--strict fails on a missed target" test $? -eq 1
LUMIVO_BUILD_DIR="$work/build" ./run --no-build verify >/dev/null 2>&1
check "a missed target alone is not a failed run" test $? -eq 0

echo "$passed passed, $failed failed"
[ "$failed" -eq 0 ]

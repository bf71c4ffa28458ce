#!/usr/bin/env bash
# Cancel latency: the time from cancel() on another thread to the end of a
# download or a manifest load, while it connects and while the server stalls
# after the headers. No peer tool: the figure is the helper's own.
#   cancel_connecting_ms <median> target=value<250
#   cancel_stalled_ms <median> target=value<250
# Usage: bench/cancel.sh [build-dir]   (default $LUMIVO_BUILD_DIR or build; ROUNDS=9)
set -euo pipefail
repo=$(cd "$(dirname "$0")/.." && pwd)
build=${1:-${LUMIVO_BUILD_DIR:-build}}
tool="$build/bench/cancel"
[ -x "$tool" ] || { echo "cancel.sh: $tool is not built" >&2; exit 1; }
tls="$repo/tests/data/tls"
SSL_CERT_FILE="$tls/ca.pem" "$tool" "$tls/server.pem" "$tls/server.key" "${ROUNDS:-9}"

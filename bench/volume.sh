#!/usr/bin/env bash
# Time from a volume slider movement to the sink's volume change, with the
# kept connection and with a new connection per movement, on a private
# PulseAudio daemon with a null sink (started here, stopped at the end).
#
#   bench/volume.sh [build-dir] [movements]
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build}
movements=${2:-300}
dir=$(mktemp -d)
fixture=tests/playback/pulse-fixture.sh
trap '"$fixture" stop "$dir/pulse" >/dev/null 2>&1; rm -rf "$dir"' EXIT
"$fixture" start "$dir/pulse" >/dev/null
export XDG_RUNTIME_DIR="$dir/pulse/run" PULSE_SERVER="unix:$dir/pulse/run/pulse/native"
export PULSE_COOKIE="$dir/pulse/config/pulse/cookie"
"$build/bench/bench_volume" musicbox_test "$movements"

#!/usr/bin/env bash
# CPU time and private memory (USS) of the music box's player while it
# plays, against gst-play-1.0 playing the same file into the same sink.
#
#   bench/playback_cpu.sh [build-dir] [rounds] [seconds]
#
# The player side is bench/playdriver: GstMediaPlayer (the adapter the
# window uses) driven by a bare QCoreApplication, so the comparison is
# player against player, not a whole window against a console program.
# Both play the same 40 s stereo MP3 (128 kbit/s) into the null sink of a
# private PulseAudio daemon (tests/support/pulse-fixture.sh), so both send
# two channels at 44.1 kHz to the same sink. Each is measured over
# `seconds` (default 8) after 2 s of settling, well inside the song.
# Two cases: the local file, and the same file streamed by the catalogue
# server (build/server/catalogue-server on a library holding just this song,
# on 127.0.0.1). Each case runs `rounds` pairs (default 5), alternating
# which side goes first; the figures are medians, and each ratio is the
# median of the per-pair ratios (player / gst-play-1.0).
set -uo pipefail
cd "$(dirname "$0")/.."
build=${1:-build}
rounds=${2:-5}
seconds=${3:-8}
settle=2
driver="$build/bench/playdriver"
server="$build/server/catalogue-server"
for tool in "$driver" "$server"; do
  [ -x "$tool" ] || { echo "missing $tool: cmake --build $build --target playdriver catalogue-server" >&2; exit 1; }
done
command -v gst-play-1.0 >/dev/null || { echo "gst-play-1.0 is missing (gstreamer1.0-plugins-base-apps)" >&2; exit 1; }

work=$(mktemp -d)
pids=()
cleanup() {
  for p in "${pids[@]}"; do kill "$p" 2>/dev/null; done
  for p in "${pids[@]}"; do wait "$p" 2>/dev/null; done
  tests/support/pulse-fixture.sh stop "$work/pulse" >/dev/null 2>&1
  rm -rf "$work"
}
trap cleanup EXIT

tests/support/pulse-fixture.sh start "$work/pulse" >/dev/null || exit 1
export XDG_RUNTIME_DIR="$work/pulse/run" PULSE_SERVER="unix:$work/pulse/run/pulse/native" \
  PULSE_COOKIE="$work/pulse/config/pulse/cookie"
sink="pulsesink device=musicbox_test"

# The song: 40 s of stereo pink noise as 128 kbit/s MP3, in a one-song library.
mkdir -p "$work/lib/bench"
song="$work/lib/bench/Bench - Long.mp3"
gst-launch-1.0 -q audiotestsrc wave=pink-noise volume=0.3 num-buffers=400 samplesperbuffer=4410 ! \
  audio/x-raw,rate=44100,channels=2 ! audioconvert ! lamemp3enc target=bitrate bitrate=128 cbr=true ! \
  filesink location="$song" || exit 1
"$server" --port 0 "$work/lib" >"$work/server.log" 2>&1 &
pids+=($!)
port=
for _ in $(seq 50); do
  port=$(sed -n 's|^listening on http://127.0.0.1:\([0-9]*\).*|\1|p' "$work/server.log")
  [ -n "$port" ] && break
  sleep 0.1
done
[ -n "$port" ] || { echo "the catalogue server did not start" >&2; cat "$work/server.log" >&2; exit 1; }
stream="http://127.0.0.1:$port/song/1/bench.mp3"

hz=$(getconf CLK_TCK)
ticks() { awk '{print $14 + $15}' "/proc/$1/stat"; }
uss() { awk '/^Private_(Clean|Dirty):/ {kb += $2} END {print kb}' "/proc/$1/smaps_rollup"; }

# run SIDE ADDRESS: prints "cpu-percent uss-kB" for one measured play.
run() {
  local side=$1 address=$2 pid before after mem
  if [ "$side" = player ]; then
    "$driver" --sink "$sink" "$address" >"$work/$side.log" 2>&1 &
  else
    gst-play-1.0 --no-interactive --audiosink="$sink" "$address" >"$work/$side.log" 2>&1 &
  fi
  pid=$!
  sleep "$settle"
  before=$(ticks "$pid") || { echo "$side ended early" >&2; return 1; }
  sleep "$seconds"
  after=$(ticks "$pid") || { echo "$side ended early" >&2; return 1; }
  mem=$(uss "$pid")
  kill "$pid" 2>/dev/null
  wait "$pid" 2>/dev/null
  awk -v t=$((after - before)) -v hz="$hz" -v s="$seconds" -v m="$mem" 'BEGIN {printf "%.2f %d\n", t * 100 / hz / s, m}'
}

median() { sort -g | awk '{v[NR] = $1} END {print (NR % 2) ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2}'; }

printf '%-7s %12s %12s %7s %12s %12s %7s\n' case "player CPU%" "gst-play CPU%" ratio "player USS" "gst-play USS" ratio
for case in local stream; do
  address=$song
  [ "$case" = stream ] && address=$stream
  : >"$work/$case.pairs"
  for i in $(seq "$rounds"); do
    if [ $((i % 2)) -eq 1 ]; then
      p=$(run player "$address") && g=$(run gst "$address") || exit 1
    else
      g=$(run gst "$address") && p=$(run player "$address") || exit 1
    fi
    echo "$p $g" >>"$work/$case.pairs"
  done
  col() { awk -v c="$1" '{print $c}' "$work/$case.pairs" | median; }
  ratio() { awk -v a="$1" -v b="$2" '{print ($b > 0) ? $a / $b : 0}' "$work/$case.pairs" | median; }
  printf '%-7s %12.2f %12.2f %6.2fx %9d kB %9d kB %6.2fx\n' "$case" \
    "$(col 1)" "$(col 3)" "$(ratio 1 3)" "$(col 2)" "$(col 4)" "$(ratio 2 4)"
done
echo "($rounds pairs each, ${seconds} s measured after ${settle} s, 40 s stereo 128 kbit/s MP3, PulseAudio null sink;"
echo " player = $driver, GstMediaPlayer without a window)"

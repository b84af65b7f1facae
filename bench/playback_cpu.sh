#!/usr/bin/env bash
# CPU and memory of the music box while it plays an MP3, next to
# gst-play-1.0 playing the same file into the same (silent) PulseAudio sink.
# Usage: bench/playback_cpu.sh [build-dir] [seconds]
set -uo pipefail
cd "$(dirname "$0")/.."
build=${1:-build}
seconds=${2:-10}
source=$(find "$build/demo-library" -name '*.mp3' | sort | head -n1)
[ -n "$source" ] || { echo "no demo song in $build/demo-library (build the demo-library target)"; exit 1; }
work=$(mktemp -d)
pids=()
cleanup() {
  for p in "${pids[@]}"; do kill "$p" 2>/dev/null; done
  for p in "${pids[@]}"; do wait "$p" 2>/dev/null; done
  rm -rf "$work"
}
trap cleanup EXIT
# An ASCII path: it is typed into the open dialog.
song="$work/song.mp3"
cp "$source" "$song"

export XDG_RUNTIME_DIR="$work/run" HOME="$work/home" XDG_CONFIG_HOME="$work/home/.config"
mkdir -p "$XDG_RUNTIME_DIR" "$HOME" && chmod 700 "$XDG_RUNTIME_DIR"
pulseaudio -n --daemonize=no --exit-idle-time=-1 --system=false \
  --load=module-native-protocol-unix --load="module-null-sink sink_name=bench" >"$work/pulse.log" 2>&1 &
pids+=($!)
for _ in $(seq 50); do pactl info >/dev/null 2>&1 && break; sleep 0.1; done
pactl set-default-sink bench

Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp 3>"$work/display" 2>/dev/null &
pids+=($!)
for _ in $(seq 50); do [ -s "$work/display" ] && break; sleep 0.1; done
export DISPLAY=":$(head -n1 "$work/display")"
unset QT_QPA_PLATFORM

ticks() { awk '{print $14 + $15}' "/proc/$1/stat"; }
hz=$(getconf CLK_TCK)
measure() { # pid label
  local before after
  before=$(ticks "$1")
  sleep "$seconds"
  after=$(ticks "$1")
  printf '%-14s CPU %5.1f%% over %ss, peak RSS %s\n' "$2" \
    "$(awk -v t=$((after - before)) -v hz="$hz" -v s="$seconds" 'BEGIN {print t * 100 / hz / s}')" "$seconds" \
    "$(awk '/VmHWM/ {print $2 " " $3}' "/proc/$1/status")"
}

# The music box opens the file through its own open dialog.
"$build/shell/musicbox" >"$work/musicbox.log" 2>&1 &
box=$!
pids+=($box)
for _ in $(seq 100); do xdotool search --onlyvisible --name '^音乐播放器$' >/dev/null 2>&1 && break; sleep 0.1; done
sleep 0.5
xdotool mousemove 307 368 click 1   # 打开图形按钮 at (247+10, 308+10) in a window at (50, 50)
sleep 1.5
xdotool type --delay 5 "$(realpath "$song")"
xdotool key Return
sleep 2
measure "$box" "musicbox"
kill "$box"; wait "$box" 2>/dev/null

gst-play-1.0 --no-interactive "$song" >"$work/gst-play.log" 2>&1 &
gst=$!
pids+=($gst)
sleep 2
measure "$gst" "gst-play-1.0"
echo "song: $source ($(du -k "$source" | cut -f1) KB)"

#!/usr/bin/env bash
# Runs the real music box on a virtual display with a window manager and a
# tray host, against the catalogue server on its default port, and checks
# what a person would see: the window's place and size, the holes cut from
# the skin, the filled list, the tray icon, and minimising to the tray.
# Usage: smoke.sh MUSICBOX CATALOGUE_SERVER LIBRARY_DIR PORT [SCREENSHOT]
set -uo pipefail
musicbox=$1 server=$2 library=$3 port=$4 shot=${5:-}

work=$(mktemp -d)
pids=()
cleanup() {
  for ((i=${#pids[@]}-1; i>=0; i--)); do kill "${pids[$i]}" 2>/dev/null; done
  for p in "${pids[@]}"; do wait "$p" 2>/dev/null; done
  rm -rf "$work"
}
trap cleanup EXIT
fail() { echo "FAIL: $*" >&2; exit 1; }

# A display of our own.
Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp 3>"$work/display" 2>"$work/xvfb.log" &
pids+=($!)
for _ in $(seq 50); do [ -s "$work/display" ] && break; sleep 0.1; done
[ -s "$work/display" ] || fail "Xvfb did not start"
export DISPLAY=":$(head -n1 "$work/display")"
export XDG_RUNTIME_DIR="$work/runtime" HOME="$work/home" XDG_CONFIG_HOME="$work/home/.config"
mkdir -p "$XDG_RUNTIME_DIR" "$HOME" && chmod 700 "$XDG_RUNTIME_DIR"
unset QT_QPA_PLATFORM

# A sound server of our own with one null sink as the default output, as a
# desktop has; the music box sets its volume at start.
export PULSE_SERVER="unix:$XDG_RUNTIME_DIR/pulse/native"
export DBUS_SESSION_BUS_ADDRESS="unix:path=$work/no-session-bus"
pulseaudio -n --daemonize=no --exit-idle-time=-1 --disallow-exit \
  --load=module-native-protocol-unix --load="module-null-sink sink_name=smoke" >"$work/pulse.log" 2>&1 &
pids+=($!)
for _ in $(seq 100); do pactl info >/dev/null 2>&1 && break; sleep 0.1; done
pactl info >/dev/null 2>&1 || { cat "$work/pulse.log"; fail "PulseAudio did not start"; }
pactl set-default-sink smoke

openbox >"$work/openbox.log" 2>&1 &
pids+=($!)
sleep 0.5
# A green desktop shows through wherever the window has holes.
xsetroot -solid '#00ff00'
trayer --edge bottom --align right --widthtype pixel --width 120 --height 28 --SetDockType true \
  --transparent false --tint 0x202020 >"$work/trayer.log" 2>&1 &
pids+=($!)

"$server" --port "$port" "$library" >"$work/server.log" 2>&1 &
pids+=($!)
for _ in $(seq 100); do grep -q '^listening on' "$work/server.log" && break; sleep 0.1; done
grep -q '^listening on' "$work/server.log" || { cat "$work/server.log"; fail "catalogue server did not start"; }

started=$(date +%s%N)
"$musicbox" >"$work/musicbox.log" 2>&1 &
box=$!
pids+=($box)

wid=""
for _ in $(seq 100); do
  wid=$(xdotool search --onlyvisible --name '^音乐播放器$' 2>/dev/null | head -n1)
  [ -n "$wid" ] && break
  sleep 0.1
done
[ -n "$wid" ] || { cat "$work/musicbox.log"; fail "no window titled 音乐播放器"; }
echo "window visible $(( ($(date +%s%N) - started) / 1000000 )) ms after start"
sleep 1

geometry=$(xwininfo -id "$wid")
x=$(awk '/Absolute upper-left X/ {print $4}' <<<"$geometry")
y=$(awk '/Absolute upper-left Y/ {print $4}' <<<"$geometry")
w=$(awk '/Width:/ {print $2}' <<<"$geometry")
h=$(awk '/Height:/ {print $2}' <<<"$geometry")
echo "window $wid at $x,$y size ${w}x$h"
[ "$w" = 580 ] && [ "$h" = 352 ] || fail "window size ${w}x$h"
[ "$x" = 50 ] && [ "$y" = 50 ] || fail "window position $x,$y"

import -window root "$work/shot.png" || fail "screenshot"
[ -n "$shot" ] && cp "$work/shot.png" "$shot"
pixel() { convert "$work/shot.png" -format "%[pixel:p{$1,$2}]" info:; }
green=$(pixel $((x)) $((y)))
inside=$(pixel $((x + 290)) $((y + 40)))
echo "corner pixel: $green, inside pixel: $inside"
case "$green" in *"0,255,0"*|lime) ;; *) fail "the window's corner is not a hole ($green)";; esac
case "$inside" in *"0,255,0"*|lime) fail "the window has a hole where the skin is";; esac

# The tray host embedded our icon: a window of ours inside its panel.
xwininfo -root -tree >"$work/tree.txt"
grep -A8 '("panel" "trayer")' "$work/tree.txt" | grep -q '("musicbox" "musicbox")' \
  || { cat "$work/tree.txt"; fail "no tray icon in the tray host"; }
echo "tray icon embedded"
title=$(xprop -id "$wid" _NET_WM_NAME | sed 's/^[^"]*"//; s/"$//')
[ "$title" = "音乐播放器" ] || fail "window caption '$title'"

# Minimising hides the window to the tray: withdrawn, not just iconic.
xdotool windowminimize "$wid"
state=""
for _ in $(seq 50); do
  state=$(xprop -id "$wid" WM_STATE 2>/dev/null | awk '/window state/ {print $3}')
  map=$(xwininfo -id "$wid" | awk '/Map State/ {print $3}')
  [ "$map" = IsUnMapped ] && [ "$state" != Iconic ] && break
  sleep 0.1
done
echo "after minimising: map state $map, WM_STATE ${state:-none}"
[ "$map" = IsUnMapped ] || fail "window still mapped after minimising"
[ "$state" != Iconic ] || fail "window only iconified, not hidden to the tray"

# The start-up volume: 33050 and 33069 of 65535 on the left and right (the
# sound server counts to 65536, so one more may show).
volume=$(pactl list sinks | awk '/Name: smoke/ {found=1} found && /^[[:space:]]*Volume:/ {print; exit}')
echo "sink volume after start: $volume"
grep -Eq 'left: 3305[01] /' <<<"$volume" && grep -Eq 'right: 33(069|070) /' <<<"$volume" || fail "start-up volume not set ($volume)"

# A second start brings the hidden window back, as the tray's 显示 does, and
# ends: still one window.
timeout 10 "$musicbox" >"$work/second.log" 2>&1
rc=$?
[ "$rc" = 0 ] || { cat "$work/second.log"; fail "the second start ended with $rc"; }
for _ in $(seq 50); do
  map=$(xwininfo -id "$wid" | awk '/Map State/ {print $3}')
  [ "$map" = IsViewable ] && break
  sleep 0.1
done
[ "$map" = IsViewable ] || fail "the second start did not show the window (map state $map)"
windows=$(xdotool search --onlyvisible --name '^音乐播放器$' | wc -l)
[ "$windows" = 1 ] || fail "$windows windows titled 音乐播放器 after the second start"
echo "second start: the window is shown again, one window"

kill -0 "$box" 2>/dev/null || fail "the music box exited"
echo "1 passed, 0 failed"

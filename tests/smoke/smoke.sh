#!/usr/bin/env bash
# Runs the real music box on a virtual display with a window manager and a
# tray host, against the catalogue server on its default port, and checks
# what a person would see: the window's place and size, the holes cut from
# the skin, the filled list, the tray icon, and minimising to the tray. Then
# it runs the box again at QT_SCALE_FACTOR=2, as on a high-density screen: the
# window twice as large in pixels, its shape still cut by the skin's holes.
# Usage: smoke.sh MUSICBOX CATALOGUE_SERVER LIBRARY_DIR PORT [SHOTS]
# With SHOTS, each run also plays a song and leaves a picture of the window on
# a plain desktop: SHOTS.png at 1x and SHOTS@2x.png at scale 2 (the README's
# docs/screenshot.png and docs/screenshot@2x.png are copies of these).
set -uo pipefail
musicbox=$1 server=$2 library=$3 port=$4 shots=${5:-}

# On a network of its own where that can be had, so that a catalogue server
# already running on this machine does not hold the port.
. "$(dirname "$0")/../support/virtual-desktop.sh"
own_network "$0" "$@"

workspace

# A desktop of our own: display, sound server with a null sink, window
# manager, tray host.
desktop_start 1400x900x24 smoke
# A green desktop shows through wherever the window has holes.
xsetroot -solid '#00ff00'
catalogue_start "$server" "$library" "$port"

# Starts the music box with the environment given as arguments and waits for
# its window; sets box, wid and the window's geometry x, y, w, h.
start_box() {
  started=$(date +%s%N)
  env "$@" "$musicbox" >"$work/musicbox.log" 2>&1 &
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
}

pixel() { convert "$work/shot.png" -format "%[pixel:p{$1,$2}]" info:; }

# The window's shape at `scale` pixels per window unit: the corner is a hole
# (the green desktop shows), the inside is skin, and no pixel of the skin's
# hole colour is left anywhere in the window (a shape out of step with the
# skin, or a colour key that failed, would show it).
check_shape() {
  local scale=$1
  import -window root "$work/shot.png" || fail "screenshot"
  local corner inside red
  corner=$(pixel "$x" "$y")
  inside=$(pixel $((x + 290 * scale)) $((y + 40 * scale)))
  echo "corner pixel: $corner, inside pixel: $inside"
  case "$corner" in *"0,255,0"*|lime) ;; *) fail "the window's corner is not a hole ($corner)";; esac
  case "$inside" in *"0,255,0"*|lime) fail "the window has a hole where the skin is";; esac
  red=$(convert "$work/shot.png" -crop "${w}x${h}+$x+$y" +repage -fill black +opaque '#ff0000' \
    -fill white -opaque '#ff0000' -format '%[fx:round(mean*w*h)]' info:)
  [ "$red" = 0 ] || fail "$red pixels of the hole colour inside the window at scale $scale"
}

# Plays the second row and takes the window with a margin on a plain dark
# desktop, as the README shows it.
readme_shot() {
  local scale=$1 out=$2 margin=$((20 * $1))
  xdotool mousemove $((x + 150 * scale)) $((y + 105 * scale)) click --repeat 2 --delay 120 1
  for _ in $(seq 100); do
    [ -n "$(pactl list short sink-inputs 2>/dev/null)" ] && break
    sleep 0.1
  done
  [ -n "$(pactl list short sink-inputs 2>/dev/null)" ] || echo "note: no song playing in the picture"
  sleep 3
  xsetroot -solid '#2c313a'
  xdotool mousemove 0 0
  sleep 0.5
  import -window root "$work/readme.png" &&
    convert "$work/readme.png" -crop "$((w + 2 * margin))x$((h + 2 * margin))+$((x - margin))+$((y - margin))" +repage "$out" ||
    fail "picture $out"
  xsetroot -solid '#00ff00'
  echo "picture at scale $scale: $out"
}

start_box
[ "$w" = 580 ] && [ "$h" = 352 ] || fail "window size ${w}x$h"
[ "$x" = 50 ] && [ "$y" = 50 ] || fail "window position $x,$y"
check_shape 1
[ -n "$shots" ] && readme_shot 1 "$shots.png"

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
kill "$box"
wait "$box" 2>/dev/null

# At scale 2 the window is twice as large in pixels, at the same place in
# window units, and drawn from the 2x pictures.
start_box QT_SCALE_FACTOR=2
[ "$w" = 1160 ] && [ "$h" = 704 ] || fail "window size at scale 2 ${w}x$h"
[ "$x" = 100 ] && [ "$y" = 100 ] || fail "window position at scale 2 $x,$y"
check_shape 2
[ -n "$shots" ] && readme_shot 2 "$shots@2x.png"
kill -0 "$box" 2>/dev/null || fail "the music box exited at scale 2"
echo "2 passed, 0 failed"

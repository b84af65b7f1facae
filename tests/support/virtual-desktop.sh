# Sourced by the scripts that run the real music box on a desktop of their
# own (tests/smoke/smoke.sh, tests/smoke/screenreader.sh, bench/startup.sh).

# workspace: a temporary folder, work, and an array, pids, of what was
# started; on exit everything in pids is stopped, last first, and the folder
# removed.
workspace() {
  work=$(mktemp -d)
  pids=()
  trap workspace_cleanup EXIT
}
workspace_cleanup() {
  for ((i=${#pids[@]}-1; i>=0; i--)); do kill "${pids[$i]}" 2>/dev/null; done
  for p in "${pids[@]}"; do wait "$p" 2>/dev/null; done
  rm -rf "$work"
}
fail() { echo "FAIL: $*" >&2; exit 1; }

# own_network SCRIPT [ARGS...]: as root, runs SCRIPT again in a network
# namespace of its own with only loopback up, so that the catalogue server's
# compiled-in port cannot clash with a server already running on this
# machine. Where that is not possible it returns, and the caller goes on with
# the host's loopback.
own_network() {
  [ -n "${MUSICBOX_OWN_NETWORK:-}" ] && return 0
  export MUSICBOX_OWN_NETWORK=1
  if [ "$(id -u)" = 0 ] && command -v ip >/dev/null && unshare --net true 2>/dev/null; then
    exec unshare --net bash -c 'ip link set lo up && exec "$0" "$@"' "$@"
  fi
  echo "note: no network namespace of its own (not root); using the host's loopback" >&2
}

# desktop_start SCREEN SINK: Xvfb with SCREEN (WIDTHxHEIGHTxDEPTH), a runtime
# folder and a home of its own, no session bus, PulseAudio with one null sink
# named SINK as the default output (as a desktop has one), openbox as the
# window manager and trayer as the tray host.
desktop_start() {
  local screen=$1 sink=$2
  Xvfb -displayfd 3 -screen 0 "$screen" -nolisten tcp 3>"$work/display" 2>"$work/xvfb.log" &
  pids+=($!)
  for _ in $(seq 50); do [ -s "$work/display" ] && break; sleep 0.1; done
  [ -s "$work/display" ] || fail "Xvfb did not start"
  export DISPLAY=":$(head -n1 "$work/display")"
  export XDG_RUNTIME_DIR="$work/runtime" HOME="$work/home" XDG_CONFIG_HOME="$work/home/.config"
  mkdir -p "$XDG_RUNTIME_DIR" "$HOME" && chmod 700 "$XDG_RUNTIME_DIR"
  unset QT_QPA_PLATFORM

  export PULSE_SERVER="unix:$XDG_RUNTIME_DIR/pulse/native"
  export DBUS_SESSION_BUS_ADDRESS="unix:path=$work/no-session-bus"
  pulseaudio -n --daemonize=no --exit-idle-time=-1 --disallow-exit \
    --load=module-native-protocol-unix --load="module-null-sink sink_name=$sink" >"$work/pulse.log" 2>&1 &
  pids+=($!)
  for _ in $(seq 100); do pactl info >/dev/null 2>&1 && break; sleep 0.1; done
  pactl info >/dev/null 2>&1 || { cat "$work/pulse.log" >&2; fail "PulseAudio did not start"; }
  pactl set-default-sink "$sink"

  openbox >"$work/openbox.log" 2>&1 &
  pids+=($!)
  sleep 0.5
  trayer --edge bottom --align right --widthtype pixel --width 120 --height 28 --SetDockType true \
    --transparent false --tint 0x202020 >"$work/trayer.log" 2>&1 &
  pids+=($!)
}

# catalogue_start SERVER LIBRARY PORT: the catalogue server on PORT, serving
# LIBRARY; returns once it listens.
catalogue_start() {
  "$1" --port "$3" "$2" >"$work/server.log" 2>&1 &
  pids+=($!)
  for _ in $(seq 100); do grep -q '^listening on' "$work/server.log" && break; sleep 0.1; done
  grep -q '^listening on' "$work/server.log" || { cat "$work/server.log" >&2; fail "catalogue server did not start"; }
}

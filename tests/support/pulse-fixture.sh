#!/usr/bin/env bash
# A private PulseAudio daemon with one null sink ("musicbox_test") for the
# playback tests.
#
#   pulse-fixture.sh start DIR   start it with everything under DIR and wait
#                                until it answers
#   pulse-fixture.sh stop DIR    stop it and remove DIR
#
# Clients reach it with
#   XDG_RUNTIME_DIR=DIR/run PULSE_SERVER=unix:DIR/run/pulse/native
#   PULSE_COOKIE=DIR/config/pulse/cookie
# The daemon's home, configuration and runtime folders all lie under DIR, so
# nothing of the user's own sound setup is read or written. As root it runs
# as a per-user daemon anyway (--system=false; it only warns about root).
set -uo pipefail

SINK=musicbox_test

usage() {
  echo "usage: $0 start|stop DIR" >&2
  exit 2
}

[ $# -eq 2 ] || usage
action=$1
dir=$2
[ -n "$dir" ] || usage

export XDG_RUNTIME_DIR="$dir/run"
export HOME="$dir/home"
export XDG_CONFIG_HOME="$dir/config"
export XDG_STATE_HOME="$dir/state"
export PULSE_SERVER="unix:$dir/run/pulse/native"
export PULSE_COOKIE="$dir/config/pulse/cookie"
# No session bus: point it at nothing, so the daemon neither waits for one
# nor launches a bus daemon of its own that would outlive the tests.
export DBUS_SESSION_BUS_ADDRESS="unix:path=$dir/no-session-bus"

alive() {
  [ -f "$dir/pid" ] && kill -0 "$(cat "$dir/pid")" 2>/dev/null
}

stop_daemon() {
  if alive; then
    local pid
    pid=$(cat "$dir/pid")
    kill -TERM "$pid" 2>/dev/null
    for _ in $(seq 50); do
      kill -0 "$pid" 2>/dev/null || break
      sleep 0.1
    done
    kill -KILL "$pid" 2>/dev/null
  fi
  rm -rf "$dir"
}

case "$action" in
start)
  # A daemon left behind by an interrupted run goes first.
  stop_daemon
  mkdir -p "$XDG_RUNTIME_DIR" "$HOME" "$XDG_CONFIG_HOME" "$XDG_STATE_HOME" || exit 1
  chmod 700 "$XDG_RUNTIME_DIR"
  # setsid: its own session, so the test runner neither waits for it nor
  # takes it down with this script; output goes to a log, not our pipes.
  setsid pulseaudio -n --daemonize=no --system=false --exit-idle-time=-1 --disallow-exit \
    --use-pid-file=false --log-target=stderr \
    --load=module-native-protocol-unix \
    --load="module-null-sink sink_name=$SINK" \
    </dev/null >"$dir/pulseaudio.log" 2>&1 &
  echo $! >"$dir/pid"
  for _ in $(seq 100); do
    if ! alive; then
      echo "pulse-fixture: pulseaudio exited:" >&2
      cat "$dir/pulseaudio.log" >&2
      rm -rf "$dir"
      exit 1
    fi
    if pactl list short sinks 2>/dev/null | grep -q "^[0-9]*[[:space:]]$SINK[[:space:]]"; then
      pactl info | grep -E '^(Server String|Default Sink)'
      exit 0
    fi
    sleep 0.1
  done
  echo "pulse-fixture: pulseaudio did not answer within 10 s" >&2
  cat "$dir/pulseaudio.log" >&2
  stop_daemon
  exit 1
  ;;
stop)
  stop_daemon
  ;;
*)
  usage
  ;;
esac

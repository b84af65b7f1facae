#!/usr/bin/env bash
# Runs the real music box on a virtual desktop with a session bus and the
# accessibility bus, as under a screen reader, and reads it through AT-SPI
# (screenreader.py): names, roles, actions, values, the list, a search typed
# and pressed through the bus.
# Usage: screenreader.sh MUSICBOX CATALOGUE_SERVER LIBRARY_DIR PORT
set -uo pipefail
musicbox=$1 server=$2 library=$3 port=$4
here=$(cd "$(dirname "$0")" && pwd)

. "$here/../support/virtual-desktop.sh"
own_network "$here/screenreader.sh" "$@"

workspace

desktop_start 1280x800x24 reader
catalogue_start "$server" "$library" "$port"

# A session bus of our own, and the accessibility bus on it.
dbus-daemon --session --nofork --nopidfile --print-address=3 3>"$work/bus" >"$work/dbus.log" 2>&1 &
pids+=($!)
for _ in $(seq 50); do [ -s "$work/bus" ] && break; sleep 0.1; done
[ -s "$work/bus" ] || fail "no session bus"
export DBUS_SESSION_BUS_ADDRESS=$(head -n1 "$work/bus")
/usr/libexec/at-spi-bus-launcher --launch-immediately >"$work/atspi.log" 2>&1 &
pids+=($!)
sleep 0.5

QT_LINUX_ACCESSIBILITY_ALWAYS_ON=1 "$musicbox" >"$work/musicbox.log" 2>&1 &
pids+=($!)
/usr/bin/python3 "$here/screenreader.py" || { cat "$work/musicbox.log" >&2; fail "what a screen reader hears"; }

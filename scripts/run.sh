#!/usr/bin/env bash
# Installs what building and running need, builds, starts the catalogue
# server on the demo library and opens the music box. The server stops when
# the window closes. A catalogue server already answering on the port (an
# earlier run.sh) is used as it is and left running; anything else holding
# the port is named and the script stops.
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/setup.sh run
cmake --preset default >/dev/null
cmake --build --preset default --target musicbox catalogue-server demo-library

port=$(sed -n 's/^MUSICBOX_CATALOGUE_PORT:STRING=//p' build/CMakeCache.txt)

# Something accepts connections on the port.
listening() { timeout 2 bash -c "exec 3<>/dev/tcp/127.0.0.1/$port" 2>/dev/null; }

# It answers the categories request the way the catalogue server does.
answers_as_catalogue() {
  local reply
  reply=$(timeout 5 bash -c "exec 3<>/dev/tcp/127.0.0.1/$port || exit 1
    printf 'GET /x?op=3&list_cat=5 HTTP/1.0\r\nHost: 127.0.0.1:$port\r\n\r\n' >&3
    head -c 65536 <&3" 2>/dev/null | LC_ALL=C tr -d '\r\0') || return 1
  LC_ALL=C grep -aq '^HTTP/1\.[01] 200' <<<"$reply" &&
    LC_ALL=C grep -aq '^<?xml version="1.0" encoding="gbk"?><result><count>[0-9]*</count>' <<<"$reply"
}

show_port_holder() {
  echo "What holds 127.0.0.1:$port:" >&2
  if command -v ss >/dev/null; then
    ss -Hltnp "sport = :$port" >&2 || true
  elif command -v lsof >/dev/null; then
    lsof -nP -iTCP:"$port" -sTCP:LISTEN >&2 || true
  elif command -v fuser >/dev/null; then
    fuser -v -n tcp "$port" >&2 || true
  else
    echo "  (no ss, lsof or fuser to tell)" >&2
  fi
  echo "Stop it, or build the music box for another port:" >&2
  echo "  cmake --preset default -DMUSICBOX_CATALOGUE_PORT=N" >&2
}

if listening; then
  if answers_as_catalogue; then
    echo "catalogue server: reusing the one already listening on http://127.0.0.1:$port"
    exec build/shell/musicbox
  fi
  echo "Port $port is taken by something that does not answer as the catalogue server." >&2
  show_port_holder
  exit 1
fi

log=$(mktemp)
build/server/catalogue-server --port "$port" build/demo-library >"$log" 2>&1 &
server=$!
trap 'kill "$server" 2>/dev/null || true; wait "$server" 2>/dev/null || true; rm -f "$log"' EXIT

for _ in $(seq 100); do
  grep -q '^listening on' "$log" && break
  if ! kill -0 "$server" 2>/dev/null; then
    echo "The catalogue server did not start:" >&2
    cat "$log" >&2
    grep -q 'cannot listen' "$log" && show_port_holder
    exit 1
  fi
  sleep 0.1
done
echo "catalogue server: $(grep -m1 "^listening on" "$log")"

build/shell/musicbox

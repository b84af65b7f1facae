#!/usr/bin/env bash
# Installs what is missing, builds, starts the catalogue server on the demo
# library and opens the music box. The server stops when the window closes.
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/setup.sh
cmake --preset default >/dev/null
cmake --build --preset default --target musicbox catalogue-server demo-library

port=$(sed -n 's/^MUSICBOX_CATALOGUE_PORT:STRING=//p' build/CMakeCache.txt)
log=$(mktemp)
build/server/catalogue-server --port "$port" build/demo-library >"$log" 2>&1 &
server=$!
trap 'kill "$server" 2>/dev/null || true; wait "$server" 2>/dev/null || true; rm -f "$log"' EXIT

for _ in $(seq 100); do
  grep -q '^listening on' "$log" && break
  if ! kill -0 "$server" 2>/dev/null; then
    echo "The catalogue server did not start:" >&2
    cat "$log" >&2
    exit 1
  fi
  sleep 0.1
done
echo "catalogue server: $(grep -m1 "^listening on" "$log")"

build/shell/musicbox

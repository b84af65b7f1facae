#!/usr/bin/env bash
# Installs what is missing, builds and runs every test. Each suite starts the
# services it needs (loopback HTTP servers, the catalogue server, a virtual
# display with a window manager and a tray) and stops them again.
# Usage: scripts/test.sh [default|asan]
set -euo pipefail
cd "$(dirname "$0")/.."
preset=${1:-default}

scripts/setup.sh test
cmake --preset "$preset" >/dev/null
cmake --build --preset "$preset" --target all demo-library
ctest --preset "$preset" --parallel 2

#!/usr/bin/env bash
# Installs what is missing, builds and runs every test. Each suite starts the
# services it needs (loopback HTTP servers, the catalogue server, a virtual
# display with a window manager and a tray) and stops them again. The
# default run also builds the fuzz targets (clang, a configure of their own)
# and runs each for a short fixed number of inputs.
# Usage: scripts/test.sh [default|asan]
set -euo pipefail
cd "$(dirname "$0")/.."
preset=${1:-default}

scripts/setup.sh test
cmake --preset "$preset" >/dev/null
cmake --build --preset "$preset" --target all demo-library
if [ "$preset" = default ]; then
  cmake --preset fuzz >/dev/null
  cmake --build --preset fuzz
  ctest --preset fuzz
fi
ctest --preset "$preset" --parallel 2

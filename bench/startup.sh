#!/usr/bin/env bash
# Start-up of the music box against a bare Qt window of the same size
# (bench/bare_window.cpp, a frameless 580x352 window painting the skin):
#  - time from process start to the first frame on the screen, for the music
#    box the first frame with the start-up list filled from the demo
#    catalogue server (both print "painted <ms>" with MUSICBOX_STARTUP_MARK=1);
#  - private memory (USS: Private_Clean + Private_Dirty of smaps_rollup) after
#    IDLE seconds at rest. Private_Clean counts library and font pages that no
#    other process maps at that moment, so it moves with whatever else runs on
#    the machine; Private_Dirty (heap, written data) is shown on its own too.
# Runs alternate between the two programs (which one goes first swaps each
# round), the figures are medians, and the ratios are music box / bare window.
# Everything runs on a display, sound server and window manager of its own;
# as root the run also gets a network namespace of its own, so the catalogue
# server's compiled-in port cannot clash with a smoke test running alongside.
# Usage: bench/startup.sh [RUNS=15] [IDLE=1.5]   (builds what it needs in build/;
# MUSICBOX=path measures another build of the music box)
set -uo pipefail
self=$(realpath "$0")
cd "$(dirname "$0")/.."
runs=${1:-15} idle=${2:-1.5}
build=${BUILD_DIR:-build}

. tests/support/virtual-desktop.sh
if [ -z "${MUSICBOX_OWN_NETWORK:-}" ]; then
  cmake --build "$build" --target musicbox catalogue-server demo-library bench_bare_window >/dev/null \
    || { echo "build failed" >&2; exit 1; }
fi
own_network "$self" "$@"

musicbox=${MUSICBOX:-$build/shell/musicbox} bare=$build/bench/bench_bare_window
picture=$build/assets/skin/skin.png
port=$(sed -n 's/^MUSICBOX_CATALOGUE_PORT:STRING=//p' "$build/CMakeCache.txt")

workspace

desktop_start 1280x800x24 bench
catalogue_start "$build/server/catalogue-server" "$build/demo-library" "$port"

# One start of a program: prints "<ms to painted> <USS kB> <Private_Dirty kB>".
run_one() {
  local log=$work/run.log start pid painted uss
  : >"$log"
  start=$EPOCHREALTIME
  MUSICBOX_STARTUP_MARK=1 "$@" 2>"$log" >/dev/null &
  pid=$!
  for _ in $(seq 1000); do grep -q '^painted ' "$log" && break; sleep 0.01; done
  painted=$(awk '/^painted / {print $2; exit}' "$log")
  if [ -z "$painted" ]; then kill "$pid"; wait "$pid" 2>/dev/null; cat "$log" >&2; fail "no painted mark from $1"; fi
  sleep "$idle"
  uss=$(awk '/^Private_(Clean|Dirty):/ {s += $2} /^Private_Dirty:/ {d = $2} END {print s, d}' "/proc/$pid/smaps_rollup")
  kill "$pid"; wait "$pid" 2>/dev/null
  awk -v s="$start" -v p="$painted" -v u="$uss" 'BEGIN {printf "%.1f %s\n", p - s * 1000, u}'
}

median() { sort -g | awk '{a[NR] = $1} END {print (NR % 2) ? a[(NR + 1) / 2] : (a[NR / 2] + a[NR / 2 + 1]) / 2}'; }

# Warm the caches, not counted.
run_one "$bare" "$picture" >/dev/null
run_one "$musicbox" >/dev/null

: >"$work/bare" ; : >"$work/box"
for i in $(seq "$runs"); do
  if ((i % 2)); then
    run_one "$bare" "$picture" >>"$work/bare"; run_one "$musicbox" >>"$work/box"
  else
    run_one "$musicbox" >>"$work/box"; run_one "$bare" "$picture" >>"$work/bare"
  fi
done

bare_ms=$(cut -d' ' -f1 "$work/bare" | median) box_ms=$(cut -d' ' -f1 "$work/box" | median)
bare_uss=$(cut -d' ' -f2 "$work/bare" | median) box_uss=$(cut -d' ' -f2 "$work/box" | median)
bare_dirty=$(cut -d' ' -f3 "$work/bare" | median) box_dirty=$(cut -d' ' -f3 "$work/box" | median)
echo "runs: $runs each, interleaved; idle $idle s before reading memory"
printf '%-12s %10s %10s %10s\n' "" "painted ms" "USS kB" "dirty kB"
printf '%-12s %10s %10s %10s\n' "bare window" "$bare_ms" "$bare_uss" "$bare_dirty" "music box" "$box_ms" "$box_uss" "$box_dirty"
awk -v a="$box_ms" -v b="$bare_ms" -v c="$box_uss" -v d="$bare_uss" -v e="$box_dirty" -v f="$bare_dirty" \
  'BEGIN {printf "ratio (music box / bare window): start-up %.2fx, USS %.2fx, private dirty %.2fx\n", a / b, c / d, e / f}'

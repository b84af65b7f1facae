#!/usr/bin/env bash
# Download throughput and CPU of the program's downloader next to curl -o:
# the same 200 MB file from the same loopback server into the same folder,
# interleaved (curl, downloader, downloader without the flush to disk before
# the rename), repeated, medians.
#
#   bench/download.sh [build-dir] [rounds] [megabytes]
#
# Needs the targets bench_download and bench_fileserver.
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build}
rounds=${2:-5}
megabytes=${3:-200}

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
head -c "${megabytes}M" /dev/urandom >"$work/source.bin"

# The server stops when this script ends (its standard input closes) or after
# ten minutes.
coproc SERVER { exec "$build/bench/bench_fileserver" "$work/source.bin" 600; }
read -r base <&"${SERVER[0]}"
url="$base/song.bin"

TIMEFORMAT='%R %U %S'
run() { # label command...
  local label=$1 t
  shift
  rm -f "$work/target.bin"
  t=$( { time "$@" >/dev/null 2>&1; } 2>&1 )
  cmp -s "$work/source.bin" "$work/target.bin" || { echo "$label: wrong file" >&2; exit 1; }
  echo "$label $t" >>"$work/times"
}

for _ in $(seq "$rounds"); do
  run curl curl -s -o "$work/target.bin" "$url"
  run downloader "$build/bench/bench_download" "$url" "$work/target.bin"
  run downloader-nosync "$build/bench/bench_download" "$url" "$work/target.bin" --no-sync
done

median() { sort -g | awk '{a[NR] = $1} END {print (NR % 2) ? a[(NR + 1) / 2] : (a[NR / 2] + a[NR / 2 + 1]) / 2}'; }
stat() { # label column(2 wall, 3 cpu)
  awk -v l="$1" -v c="$2" '$1 == l {print (c == 2) ? $2 : $3 + $4}' "$work/times" | median
}
cw=$(stat curl 2); cc=$(stat curl 3)
echo "$megabytes MB on loopback, $rounds rounds, medians (wall s, CPU s = user + sys of the client process):"
for label in curl downloader downloader-nosync; do
  w=$(stat "$label" 2); c=$(stat "$label" 3)
  awk -v l="$label" -v w="$w" -v c="$c" -v mb="$megabytes" -v cw="$cw" -v cc="$cc" 'BEGIN {
    printf "%-18s %6.3f s  %7.1f MB/s  throughput %.2fx curl   CPU %5.3f s (%3.0f%% of wall)  %.2fx curl\n",
      l, w, mb / w, cw / w, c, 100 * c / w, c / cc }'
done

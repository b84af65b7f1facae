#!/usr/bin/env bash
# Load benchmark of the catalogue server on the demo library, on 127.0.0.1
# only. Every run is bounded in time and request count, and every server it
# starts is stopped again (and would stop by itself after 30 minutes).
#
#   bench/server_load.sh [BUILD_DIR]        (default: build)
#
# Measures requests/s and latency percentiles (ms) of a search and a song
# address request at concurrency 1, 16 and 64, with kept-alive connections
# and with a new connection per request, and the throughput of a 50 MB song
# file. Rounds are interleaved between the servers and the median is shown.
# Servers compared, each when available:
#   new     BUILD_DIR/server/catalogue-server
#   before  $CATALOGUE_SERVER_BEFORE (an older build, when set)
#   nginx   nginx serving the same reply bytes (when installed)
# Then the hostile-client probe: 1,000 idle and 100 dripping connections
# while a normal search is timed, and a 100 MB header flood, with the
# server's resident memory.
# Environment: ROUNDS (3), SECONDS_PER_RUN (2), SKIP_HOSTILE=1.
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build}
rounds=${ROUNDS:-3}
seconds=${SECONDS_PER_RUN:-2}
server_bin="$build/server/catalogue-server"
client="$build/bench/loadclient"
demo="$build/demo-library"
for f in "$server_bin" "$client"; do
  [ -x "$f" ] || { echo "missing $f: cmake --build $build --target catalogue-server loadclient demo-library" >&2; exit 1; }
done
[ -d "$demo" ] || { echo "missing $demo: cmake --build $build --target demo-library" >&2; exit 1; }

work=$(mktemp -d)
pids=()
cleanup() {
  for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null || true; done
  wait 2>/dev/null || true
  rm -rf "$work"
}
trap cleanup EXIT

# The demo library plus one 50 MB file (MIDI by name, so the scan does not
# parse it).
cp -r "$demo" "$work/library"
head -c $((50 * 1024 * 1024)) /dev/urandom > "$work/library/Bench Load - Fifty Megabytes.mid"

declare -A port pidof
start_catalogue() { # NAME BINARY
  timeout 1800 "$2" --port 0 "$work/library" > "$work/$1.out" 2> "$work/$1.err" &
  pids+=($!); pidof[$1]=$!
  for _ in $(seq 100); do grep -q "listening on" "$work/$1.out" 2>/dev/null && break; sleep 0.1; done
  grep -q "listening on" "$work/$1.out" || { echo "$1 did not start" >&2; cat "$work/$1.err" >&2; exit 1; }
  port[$1]=$(sed -n 's/.*:\([0-9]*\)$/\1/p' "$work/$1.out" | head -1)
}

servers=(new)
start_catalogue new "$server_bin"
if [ -n "${CATALOGUE_SERVER_BEFORE:-}" ] && [ -x "$CATALOGUE_SERVER_BEFORE" ]; then
  start_catalogue before "$CATALOGUE_SERVER_BEFORE"
  servers+=(before)
fi

search_target='/x?op=7&mode=1&count=1&title=a'
address_target='/x?op=12&count=1&mtype=2&title=Tidewater%20Echo$$Harbor%20Lights$$$$&listenreelect=0'
big_id=$("$client" fetch "${port[new]}" "/x?op=12&count=1&mtype=2&title=Bench%20Load\$\$Fifty%20Megabytes\$\$\$\$&listenreelect=0" \
  | sed -n 's/.*\/song\/\([0-9]*\)\/.*/\1/p')
declare -A target
target[new,search]=$search_target; target[new,address]=$address_target; target[new,file]="/song/$big_id/x.mid"
target[before,search]=$search_target; target[before,address]=$address_target; target[before,file]="/song/$big_id/x.mid"

nginx_bin=$(command -v nginx || ls /usr/sbin/nginx 2>/dev/null || true)
if [ -n "$nginx_bin" ]; then
  # The same reply bytes as static files.
  mkdir -p "$work/nginx/html" "$work/nginx/logs"
  "$client" fetch "${port[new]}" "$search_target" > "$work/nginx/html/search.txt"
  "$client" fetch "${port[new]}" "$address_target" > "$work/nginx/html/address.txt"
  ln "$work/library/Bench Load - Fifty Megabytes.mid" "$work/nginx/html/big.mid"
  port[nginx]=$("$client" freeport)
  # As root, nginx would hand its workers to an unprivileged user that cannot
  # read this private folder.
  user_line=""
  [ "$(id -u)" = 0 ] && user_line="user root;"
  cat > "$work/nginx/nginx.conf" <<EOF
$user_line
worker_processes auto;
pid $work/nginx/nginx.pid;
error_log $work/nginx/logs/error.log;
daemon off;
events { worker_connections 4096; }
http {
  access_log off;
  sendfile on;
  tcp_nopush on;
  keepalive_requests 100000;
  client_body_temp_path $work/nginx/tmp;
  default_type text/plain;
  server {
    listen 127.0.0.1:${port[nginx]} backlog=1024;
    root $work/nginx/html;
  }
}
EOF
  mkdir -p "$work/nginx/tmp"
  timeout 1800 "$nginx_bin" -p "$work/nginx" -c "$work/nginx/nginx.conf" 2> "$work/nginx/stderr" &
  pids+=($!); pidof[nginx]=$!
  sleep 0.5
  if "$client" fetch "${port[nginx]}" /search.txt > /dev/null; then
    servers+=(nginx)
    target[nginx,search]=/search.txt; target[nginx,address]=/address.txt; target[nginx,file]=/big.mid
  else
    echo "nginx did not start; compared without it" >&2
  fi
else
  echo "nginx not installed: figures without it" >&2
fi

echo "servers: ${servers[*]}; $rounds rounds of $seconds s each; $(nproc) cores"
results="$work/results.txt"
: > "$results"
for round in $(seq "$rounds"); do
  for kind in search address; do
    for c in 1 16 64; do
      for mode in keepalive close; do
        for s in "${servers[@]}"; do
          line=$("$client" rate "${port[$s]}" "${target[$s,$kind]}" "$c" "$seconds" "$mode")
          echo "$s $kind $c $mode $line" >> "$results"
        done
      done
    done
  done
  for s in "${servers[@]}"; do
    echo "$s file 1 keepalive $("$client" download "${port[$s]}" "${target[$s,file]}" 5)" >> "$results"
  done
done

median() { sort -g | awk '{v[NR]=$1} END {if (NR==0) print "-"; else print v[int((NR+1)/2)]}'; }
field() { # SERVER KIND C MODE COLUMN
  awk -v s="$1" -v k="$2" -v c="$3" -v m="$4" -v col="$5" '$1==s && $2==k && $3==c && $4==m {print $col}' "$results" | median
}
ratio() { awk -v a="$1" -v b="$2" 'BEGIN { if (b > 0 && a != "-") printf "%.2f", a / b; else print "-" }'; }

echo
printf '%-8s %-5s %-9s' request conc conn
for s in "${servers[@]}"; do printf ' | %-6s req/s  p50   p90   p99 ' "$s"; done
[[ " ${servers[*]} " == *" nginx "* ]] && printf ' | new/nginx req/s'
[[ " ${servers[*]} " == *" before "* ]] && printf ' | new/before req/s'
echo
for kind in search address; do
  for c in 1 16 64; do
    for mode in keepalive close; do
      printf '%-8s %-5s %-9s' "$kind" "$c" "$mode"
      for s in "${servers[@]}"; do
        printf ' | %12s %5s %5s %5s' "$(field "$s" "$kind" "$c" "$mode" 5)" "$(field "$s" "$kind" "$c" "$mode" 6)" \
          "$(field "$s" "$kind" "$c" "$mode" 7)" "$(field "$s" "$kind" "$c" "$mode" 8)"
      done
      [[ " ${servers[*]} " == *" nginx "* ]] && printf ' | %s' "$(ratio "$(field new "$kind" "$c" "$mode" 5)" "$(field nginx "$kind" "$c" "$mode" 5)")"
      [[ " ${servers[*]} " == *" before "* ]] && printf ' | %s' "$(ratio "$(field new "$kind" "$c" "$mode" 5)" "$(field before "$kind" "$c" "$mode" 5)")"
      echo
    done
  done
done
printf '50 MB file, MB/s:'
for s in "${servers[@]}"; do printf ' %s %s' "$s" "$(field "$s" file 1 keepalive 5)"; done
[[ " ${servers[*]} " == *" nginx "* ]] && printf ' (new/nginx %s)' "$(ratio "$(field new file 1 keepalive 5)" "$(field nginx file 1 keepalive 5)")"
echo

if [ "${SKIP_HOSTILE:-0}" != 1 ]; then
  echo
  echo "hostile clients (1,000 idle + 100 dripping connections, a search every 100 ms for 8 s; then a 100 MB header flood):"
  for s in "${servers[@]}"; do
    [ "$s" = nginx ] && continue
    probe=$(timeout 60 "$client" hostile "${port[$s]}" "$search_target" 1000 100 8)
    rss=$(awk '/VmHWM/ {print $2 / 1024 " MiB"}' "/proc/$(pgrep -P "${pidof[$s]}" | head -1)/status" 2>/dev/null || echo "?")
    flood=$(timeout 90 "$client" flood "${port[$s]}" 100 || true)
    rss2=$(awk '/VmRSS/ {print $2 / 1024 " MiB"}' "/proc/$(pgrep -P "${pidof[$s]}" | head -1)/status" 2>/dev/null || echo "?")
    echo "  $s: $probe peak_rss=$rss | flood: $flood rss_after=$rss2"
  done
fi

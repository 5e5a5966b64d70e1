#!/usr/bin/env bash
# Download figures of tavolin-fetch against curl, on loopback from a private nginx.
#
#   bench/fetch_bench.sh [BUILD_DIR]      (default: build; RUNS=5, PARALLEL=100)
#
# 1. One 1 GiB video, tavolin-fetch (the whole three-request chain) and curl -o
#    (the video address only), alternating RUNS times: medians of wall time, CPU
#    time and peak memory, and the ratios.
# 2. PARALLEL downloads of 10 MiB at once: fetch_parallel_bench (the task engine over a
#    store of 10,000 tasks, one UI loop draining the reports) against curl --parallel,
#    with the UI thread's longest busy stretch and the reports' longest wait until shown.
# 3. The 1 GiB video stopped (SIGINT) at half and continued with --continue: the
#    bytes nginx sent for each start.
# 4. PARALLEL downloads of 1 MiB from the test service, each connection reset once
#    mid-body, with 5 retries: how many completed with exact bytes.
# nginx serves the chain itself; everything lives in a temporary folder that is
# deleted at the end.
set -euo pipefail

top=$(cd "$(dirname "$0")/.." && pwd)
build=${1:-$top/build}
bin=$build/bin
runs=${RUNS:-5}
parallel=${PARALLEL:-100}
for tool in "$bin/tavolin-fetch" "$bin/fetch_parallel_bench"; do
  [[ -x $tool ]] || { echo "fetch_bench: build $(basename "$tool") first ($tool)" >&2; exit 1; }
done
command -v nginx >/dev/null || { echo "fetch_bench: nginx is missing (scripts/setup)" >&2; exit 1; }

work=$(mktemp -d /tmp/tavolin-fetch-bench.XXXXXX)
nginx_pid=
service_pid=
cleanup() {
  for pid in $nginx_pid $service_pid; do kill "$pid" 2>/dev/null || true; wait "$pid" 2>/dev/null || true; done
  rm -rf "$work"
}
trap cleanup EXIT
# nginx's workers run as an unprivileged user when started by root.
chmod 755 "$work"
mkdir -p "$work/www" "$work/temp" "$work/out"
truncate -s 1G "$work/www/big.flv"
truncate -s 10M "$work/www/small.flv"

port=$(python3 -c 'import socket; s = socket.socket(); s.bind(("127.0.0.1", 0)); print(s.getsockname()[1])')
host=127.0.0.1:$port
cat >"$work/nginx.conf" <<EOF
worker_processes 2;
pid $work/nginx.pid;
error_log $work/error.log;
events { worker_connections 4096; }
http {
  # One line a request: what was sent of the body, for the continued download.
  log_format sent '\$uri \$status \$body_bytes_sent';
  access_log $work/access.log sent;
  client_body_temp_path $work/temp/body;
  proxy_temp_path $work/temp/proxy;
  fastcgi_temp_path $work/temp/fastcgi;
  uwsgi_temp_path $work/temp/uwsgi;
  scgi_temp_path $work/temp/scgi;
  sendfile on;
  tcp_nopush on;
  keepalive_requests 10000;
  default_type video/x-flv;
  server {
    listen $host;
    root $work/www;
    # The chain's redirects need a header line after Location: the worker, like
    # the service it was written for, takes a Location on the last line as broken.
    location ~ ^/v/([a-z]+)&feature=dir\$ {
      add_header Cache-Control no-cache;
      return 303 "http://$host/player?video_id=\$1&t=TOKEN";
    }
    location = /get_video {
      add_header Cache-Control no-cache;
      if (\$arg_t) {
        return 303 "http://v7.cdn.test/get_video?video_id=\$arg_video_id&origin=$host";
      }
      rewrite ^ /\$arg_video_id.flv break;
    }
  }
}
EOF
nginx -p "$work" -c "$work/nginx.conf" -g 'daemon off;' &
nginx_pid=$!
for _ in $(seq 100); do
  curl -s -o /dev/null "http://$host/get_video?video_id=small" && break
  sleep 0.1
done

# Prints "wall user+sys maxrss_kib" of one command.
measure() {
  /usr/bin/time -f '%e %U %S %M' -o "$work/time" "$@" >"$work/stdout" 2>"$work/stderr" ||
    { echo "fetch_bench: failed: $*" >&2; cat "$work/stderr" "$work/stdout" "$work/error.log" >&2; exit 1; }
  awk '{ printf "%s %.2f %s\n", $1, $2 + $3, $4 }' "$work/time"
}

median() { sort -n | awk '{ v[NR] = $1 } END { print (NR % 2) ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2 }'; }

report() {  # NAME FILE
  printf '%-16s wall %7.2f s   cpu %6.2f s   peak %8.1f MiB\n' "$1" \
    "$(cut -d' ' -f1 "$2" | median)" "$(cut -d' ' -f2 "$2" | median)" \
    "$(cut -d' ' -f3 "$2" | median | awk '{ print $1 / 1024 }')"
}

# The ratios are the medians of each alternating pair's own ratios: a machine busy
# with other work slows both sides of a pair alike, but not all pairs alike.
ratios() {  # OURS CURL
  local throughput cpu peak
  throughput=$(paste -d' ' "$1" "$2" | awk '{ print $4 / $1 }' | median)
  cpu=$(paste -d' ' "$1" "$2" | awk '{ print ($5 > 0 ? $2 / $5 : 0) }' | median)
  peak=$(cut -d' ' -f3 "$1" | median)
  awk -v t="$throughput" -v c="$cpu" -v m="$peak" 'BEGIN {
    printf "throughput tavolin-fetch/curl %.2f (target >= 1.00)   cpu tavolin-fetch/curl %.2f (target <= 1.00)   peak %.1f MiB (target < 32)\n",
      t, c, m / 1024 }'
}

# The first read of a fresh sparse file costs nginx extra; neither side should pay it.
curl -s -o /dev/null "http://$host/get_video?video_id=big"

echo "== one 1 GiB video, $runs runs each, alternating"
: >"$work/ours"; : >"$work/curl"
for _ in $(seq "$runs"); do
  measure "$bin/tavolin-fetch" --service-host "$host" --cdn-domain cdn.test \
    "http://$host/watch?v=big" "$work/out/big.flv" >>"$work/ours"
  [[ $(stat -c %s "$work/out/big.flv") -eq 1073741824 ]] || { echo "fetch_bench: short file" >&2; exit 1; }
  rm -f "$work/out/big.flv"
  measure curl -s -o "$work/out/big.flv" "http://$host/get_video?video_id=big" >>"$work/curl"
  rm -f "$work/out/big.flv"
done
report tavolin-fetch "$work/ours"
report "curl -o" "$work/curl"
ratios "$work/ours" "$work/curl"

echo "== $parallel downloads of 10 MiB at once, $runs runs each, alternating"
config="$work/curl.config"
: >"$config"
for i in $(seq "$parallel"); do
  printf 'url = "http://%s/get_video?video_id=small"\noutput = "%s/out/c%d.flv"\n' "$host" "$work" "$i" >>"$config"
done
: >"$work/pours"; : >"$work/pcurl"; : >"$work/waits"; : >"$work/turns"; : >"$work/turns99"; : >"$work/work"
for _ in $(seq "$runs"); do
  measure "$bin/fetch_parallel_bench" "$host" cdn.test small "$work/out" "$parallel" >>"$work/pours"
  sed -n 's/.*longest-wait \([0-9.]*\) ms.*/\1/p' "$work/stdout" >>"$work/waits"
  sed -n 's/.*longest-turn \([0-9.]*\) ms.*/\1/p' "$work/stdout" >>"$work/turns"
  sed -n 's/.*longest-turn.*99% within \([0-9.]*\) ms, most.*/\1/p' "$work/stdout" >>"$work/turns99"
  sed -n 's/.*most cpu \([0-9.]*\) ms.*/\1/p' "$work/stdout" >>"$work/work"
  rm -f "$work/out/"*
  measure curl -s --parallel --parallel-max "$parallel" -K "$config" >>"$work/pcurl"
  rm -f "$work/out/"*
done
report "$parallel workers" "$work/pours"
report "curl --parallel" "$work/pcurl"
awk -v ow="$(cut -d' ' -f1 "$work/pours" | median)" -v cw="$(cut -d' ' -f1 "$work/pcurl" | median)" \
    -v oc="$(cut -d' ' -f2 "$work/pours" | median)" -v cc="$(cut -d' ' -f2 "$work/pcurl" | median)" \
    'BEGIN { printf "throughput workers/curl %.2f   cpu workers/curl %.2f\n", cw / ow, (cc > 0 ? oc / cc : 0) }'
echo "UI thread busy at once: median $(median <"$work/turns") ms, worst $(sort -n "$work/turns" | tail -1) ms (target <= 16)"
echo "  99% of turns within: median $(median <"$work/turns99") ms; its own work (cpu) in one turn: worst $(sort -n "$work/work" | tail -1) ms"
echo "report shown after: median $(median <"$work/waits") ms, worst $(sort -n "$work/waits" | tail -1) ms (target <= 100)"

echo "== the 1 GiB video stopped at half, then continued"
rm -f "$work/out/big.flv"
: >"$work/access.log"
"$bin/tavolin-fetch" --service-host "$host" --cdn-domain cdn.test "http://$host/watch?v=big" "$work/out/big.flv" \
  >/dev/null 2>&1 &
fetch_pid=$!
while [[ $(stat -c %s "$work/out/big.flv" 2>/dev/null || echo 0) -lt 536870912 ]]; do sleep 0.01; done
kill -INT "$fetch_pid"
wait "$fetch_pid" && { echo "fetch_bench: the stopped download completed" >&2; exit 1; } || true
kept=$(stat -c %s "$work/out/big.flv")
first=$(awk '/^\/big.flv/ { s += $3 } END { print s + 0 }' "$work/access.log")
: >"$work/access.log"
"$bin/tavolin-fetch" --continue --service-host "$host" --cdn-domain cdn.test "http://$host/watch?v=big" \
  "$work/out/big.flv" >/dev/null
cmp -s "$work/out/big.flv" "$work/www/big.flv" || { echo "fetch_bench: the continued file differs" >&2; exit 1; }
second=$(awk '/^\/big.flv/ { s += $3 } END { print s + 0 }' "$work/access.log")
awk -v kept="$kept" -v first="$first" -v second="$second" 'BEGIN {
  mib = 1048576; size = 1024 * mib
  printf "stopped with %.1f MiB on disk; sent: first start %.1f MiB, second start %.1f MiB = %.2f%% of the file (target <= 50%% + 1 MiB: %s), in all %.2f%%\n",
    kept / mib, first / mib, second / mib, 100 * second / size, (second <= size / 2 + mib ? "met" : "MISSED"),
    100 * (first + second) / size }'
rm -f "$work/out/big.flv"

echo "== $parallel downloads of 1 MiB, each connection reset once mid-body, 5 retries"
python3 "$top/tests/support/video_service.py" --cdn-domain cdn.test >"$work/service.port" &
service_pid=$!
for _ in $(seq 100); do [[ -s $work/service.port ]] && break; sleep 0.05; done
service=127.0.0.1:$(head -1 "$work/service.port")
python3 -c 'import sys; sys.stdout.buffer.write((bytes(range(251)) * 4200)[:1048576])' >"$work/reference"
"$bin/fetch_parallel_bench" "$service" cdn.test resetonce-1048576 "$work/out" "$parallel" 0 5 "$work/reference" ||
  echo "fetch_bench: not every reset download completed exactly" >&2
rm -f "$work/out/"*

#!/usr/bin/env bash
# The servers beside nginx, on 127.0.0.1, asked by wrk with kept-alive
# connections for a station page (about 500 B) and Iowa's warnings page:
#   gateway  stratus-gateway answering from its cache, in front of a small
#            upstream (Python) that serves tests/data/nws-api;
#   core     stratus-sample-server serving the gateway's pages as files;
#   nginx    nginx (sendfile, a worker per core) serving the same files.
# Rounds alternate between the servers, so that load on the machine hits
# all alike; prints the medians of requests/s and p99 latency, and each
# server's requests/s as a ratio of nginx's. Without nginx it measures the
# two servers alone and says so; without wrk it says so and stops.
#
# Measured on the project's 2-core machine, nginx-light 1.22 with 2
# workers, medians of 5 rounds of 4 s, two or three runs:
#   station page, 8 / 256 conn: gateway 1.37-1.38x / 1.42-1.70x nginx, core
#     1.01-1.07x / 1.05-1.08x; p99 at 8 conn 1.1-1.3 ms (gateway) and
#     0.6-1.9 ms (core) against 0.3-2.1 ms, at 256 conn 7.6-7.8 ms all;
#   warnings page (33 KB): gateway 0.98-0.99x / 1.10-1.23x, core
#     0.92-1.13x / 1.06-1.09x; p99 at 8 conn 3.6-4.0 ms (gateway) and
#     2.7-3.4 ms (core) against 1.3-3.5 ms, at 256 conn 7.8-8.1 and
#     9.1-9.7 ms against 9.0-13.0 ms. A round's p99 at 8 conn moves
#     between 0.3 and 7 ms for every server alike: over 12 rounds its
#     median was 2.1 ms (gateway), 2.6 ms (core) and 1.9 ms (nginx);
#   1,000 conn: gateway 0.95-1.24x, core 1.00-1.02x nginx; resident at the
#     end, as at the peak, gateway 15 MB, core 5 MB (with a thread per
#     connection the peaks were 33 MB and 18 MB).
# Then 1,000 connections at once (requests/s, p99, peak resident memory),
# and 260 slow readers of a 20 MB page held by the core.
# Usage: bench/server/server_bench.sh [BUILD_DIR]
#   ROUNDS (default 5), SECONDS_EACH (5), CONNECTIONS ("8 256")
set -euo pipefail
cd "$(dirname "$0")/../.."
build=$(realpath "${1:-build}")
server=$build/tools/sample_server/stratus-sample-server
gateway=$build/tools/gateway/stratus-gateway
rounds=${ROUNDS:-5}
seconds=${SECONDS_EACH:-5}
connections=${CONNECTIONS:-8 256}
nginx=$(command -v nginx || true)
wrk=$(command -v wrk || true)
if [[ -z $wrk ]]; then
  echo "needs wrk on the PATH (and nginx-light for the baseline)" >&2
  exit 1
fi
ports=(18786 18789)
names=(gateway core)
if [[ -n $nginx ]]; then
  ports+=(18788)
  names+=(nginx)
else
  echo "no nginx on the PATH: the servers alone, without the baseline" >&2
fi

work=$(mktemp -d)
pids=()
trap 'kill ${pids[@]} $(cat "$work/nginx.pid" 2>/dev/null) 2>/dev/null || true; rm -rf "$work"' EXIT
mkdir -p "$work/root/iwin/ia" "$work/root/weather/current" "$work/logs"
# nginx's workers run as another user: mktemp's folder is the owner's only,
# and they would answer every request with a short 403.
chmod 755 "$work"
# The upstream: the recorded answers, their time templates filled in,
# fresh for an hour.
python3 - tests/data/nws-api 18787 <<'PY' &
import datetime, http.server, re, sys
data, port = sys.argv[1], int(sys.argv[2])
def filled(path):
    text = open(path).read()
    now = datetime.datetime.now(datetime.timezone.utc)
    return re.sub(r'"date:now -(\d+) seconds"', lambda m: '"%s"' % (
        now - datetime.timedelta(seconds=int(m.group(1)))).strftime(
        "%Y-%m-%dT%H:%M:%S+00:00"), text).encode()
answers = {"/stations/KDSM/observations":
               filled(data + "/stations/KNYC/observations-limit-1.json"),
           "/alerts/active": filled(data + "/alerts/active-area-IA.json")}
class Upstream(http.server.BaseHTTPRequestHandler):
    def do_GET(self):
        body = answers.get(self.path.split("?")[0])
        self.send_response(200 if body else 404)
        self.send_header("Content-Type", "application/geo+json")
        self.send_header("Cache-Control", "public, max-age=3600")
        self.send_header("Content-Length", str(len(body or b"")))
        self.end_headers()
        self.wfile.write(body or b"")
    def log_message(self, *args):
        pass
http.server.ThreadingHTTPServer(("127.0.0.1", port), Upstream).serve_forever()
PY
pids+=($!)
# Each server in a session of its own, as nginx puts itself: the kernel
# shares the cores between sessions first, and a server in wrk's session
# would take its share from wrk's (the gateway made 1.2x the requests/s it
# makes on its own, and nginx would be measured at a disadvantage).
setsid "$gateway" --api http://127.0.0.1:18787 --listen 127.0.0.1:18786 \
  --max-connections 1000 >/dev/null &
pids+=($!)
sleep 1
for path in /weather/current/KDSM.html /iwin/ia/allwarnings.html; do
  curl -sf "http://127.0.0.1:18786$path" -o "$work/root$path"
done

cat > "$work/nginx.conf" <<CONF
worker_processes auto;
pid $work/nginx.pid;
error_log $work/logs/error.log;
events { worker_connections 4096; }
http {
  access_log off;
  sendfile on;
  tcp_nopush on;
  keepalive_requests 1000000;
  default_type text/html;
  client_body_temp_path $work/logs;
  proxy_temp_path $work/logs;
  fastcgi_temp_path $work/logs;
  uwsgi_temp_path $work/logs;
  scgi_temp_path $work/logs;
  server { listen 127.0.0.1:18788; root $work/root; }
}
CONF
[[ -z $nginx ]] || "$nginx" -c "$work/nginx.conf" -p "$work"
setsid "$server" --port 18789 --root "$work/root" --max-connections 1000 >/dev/null &
pids+=($!)
sleep 0.5
# Each server must answer with the page itself, byte for byte: a baseline
# that answers an error page is not a baseline.
for path in /weather/current/KDSM.html /iwin/ia/allwarnings.html; do
  for port in "${ports[@]}"; do
    if ! curl -sf "http://127.0.0.1:$port$path" | cmp -s - "$work/root$path"; then
      echo "the server on port $port does not answer $path with the page" >&2
      exit 1
    fi
  done
done

# One wrk run: "requests/s p99-ms".
run() {
  "$wrk" -t2 -c"$2" -d"${seconds}s" --latency "http://127.0.0.1:$1$3" |
    awk '/Requests\/sec/ {rps=$2} /^ +99%/ {v=$2; if (v ~ /us$/) {sub(/us/,"",v); v/=1000}
         else if (v ~ /ms$/) {sub(/ms/,"",v)} else if (v ~ /s$/) {sub(/s/,"",v); v*=1000}
         p99=v} END {printf "%.0f %.2f\n", rps, p99}'
}

median() { sort -n | awk '{a[NR]=$1} END {print a[int((NR+1)/2)]}'; }

for path in /weather/current/KDSM.html /iwin/ia/allwarnings.html; do
  echo "$path ($(wc -c <"$work/root$path") bytes)"
  for c in $connections; do
    for name in "${names[@]}"; do : >"$work/$name"; done
    for ((r = 1; r <= rounds; r++)); do
      for i in "${!ports[@]}"; do
        run "${ports[$i]}" "$c" "$path" >>"$work/${names[$i]}"
      done
    done
    nginx_rps=$([[ -z $nginx ]] || cut -d' ' -f1 "$work/nginx" | median)
    for name in "${names[@]}"; do
      rps=$(cut -d' ' -f1 "$work/$name" | median)
      p99=$(cut -d' ' -f2 "$work/$name" | median)
      ratio=${nginx_rps:+$(awk -v a="$rps" -v b="$nginx_rps" 'BEGIN {printf "%.2fx nginx", a / b}')}
      printf '  %4s conn  %-8s %8s/s  p99 %7s ms  %s\n' "$c" "$name" "$rps" "$p99" "$ratio"
    done
  done
done
# Many connections: 1,000 kept-alive clients on the warnings page, and the
# servers' resident memory at its peak and after.
path=/iwin/ia/allwarnings.html
for i in "${!ports[@]}"; do
  read -r rps p99 < <(run "${ports[$i]}" 1000 "$path")
  printf '  1000 conn  %-8s %8s/s  p99 %7s ms\n' "${names[$i]}" "$rps" "$p99"
done
for i in 1 2; do
  echo "${names[$((i - 1))]} resident after the runs:" \
    "$(awk '/VmRSS|VmHWM/ {printf "%s %s %s  ", $1, $2, $3}' "/proc/${pids[$i]}/status")"
done

# Slow readers: 260 clients ask for a 20 MB page and read 1 KB of it; the
# core's resident memory while they hold on, and a real client's answer.
head -c 20000000 /dev/zero | tr '\0' 'w' >"$work/root/big.html"
python3 - 18789 "${pids[2]}" <<'PY'
import socket, sys, time, urllib.request
port, pid = int(sys.argv[1]), sys.argv[2]
readers = []
for _ in range(260):
    s = socket.create_connection(("127.0.0.1", port))
    s.setsockopt(socket.SOL_SOCKET, socket.SO_RCVBUF, 4096)
    s.sendall(b"GET /big.html HTTP/1.1\r\nHost: x\r\n\r\n")
    readers.append(s)
time.sleep(3)
for s in readers:
    s.recv(1024)
rss = open(f"/proc/{pid}/status").read().split("VmRSS:")[1].split("\n")[0].strip()
start = time.time()
status = urllib.request.urlopen(f"http://127.0.0.1:{port}/weather/current/KDSM.html",
                                timeout=5).status
print(f"core with 260 slow readers of a 20 MB page: {rss} resident; "
      f"another client: {status} in {(time.time() - start) * 1000:.1f} ms")
PY

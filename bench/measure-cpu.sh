#!/usr/bin/env bash
# CPU time of vantrelld: idle between schedule times, and during a real-time reading session
# against vantrell-sim. Waiting must block, not spin: targets are under 0.5 % of one core idle
# and under 2 % of the wall time during a session. The status page is on while it idles, and is
# asked for once a second as a browser left open on it would.
set -euo pipefail
cd "$(dirname "$0")/.."
. scripts/demo-station.sh
cmake --preset release >/dev/null
cmake --build --preset release -j2 --target vantrelld vantrell-sim >/dev/null
bin=build/release/app
idle_seconds="${1:-60}"

folder="$(mktemp -d /tmp/vantrell-cpu.XXXXXX)"
pids=()
cleanup() {
    for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null || true; done
    wait 2>/dev/null || true
    rm -rf "$folder"
}
trap cleanup EXIT

ticks() { awk '{print $14 + $15}' "/proc/$1/stat"; }
hz=$(getconf CLK_TCK)

"$bin/vantrelld" --config-dir "$folder" init >/dev/null
mkdir -p "$folder/data"
# Schedule time 1 two hours from now: the cycle only counts down.
configure_demo_station "$bin/vantrelld" "$folder" "$folder/line" 127.0.0.1:25 \
    "$(( ($(date +%-H) + 2) % 24 ))" >/dev/null

"$bin/vantrell-sim" --link "$folder/line" --switch \
    --logger serial=KV12345678,model=3,records=2000,interval=600,position=1 \
    --logger serial=KV87654321,model=5,records=500,position=3 >/dev/null 2>&1 &
pids+=($!)
for _ in $(seq 50); do [ -e "$folder/line" ] && break; sleep 0.1; done

port=$(/usr/bin/python3 -c 'import socket; s=socket.socket(); s.bind(("127.0.0.1", 0)); print(s.getsockname()[1])')
printf '[web]\nlisten = 127.0.0.1:%s\n' "$port" >"$folder/vantrell.conf"

"$bin/vantrelld" --config-dir "$folder" run >/dev/null &
run=$!
pids+=($run)
sleep 2
start=$(ticks $run)
sleep "$idle_seconds"
used=$(( $(ticks $run) - start ))
awk -v t="$used" -v hz="$hz" -v s="$idle_seconds" \
    'BEGIN { printf "idle between schedule times, status page on: %.3f s CPU in %d s = %.3f %% of one core\n", t/hz, s, 100*t/hz/s }'
start=$(ticks $run)
for _ in $(seq "$idle_seconds"); do
    curl -sf -o /dev/null "http://127.0.0.1:$port/" || echo "the status page did not answer"
    sleep 1
done
used=$(( $(ticks $run) - start ))
kill $run
wait $run 2>/dev/null || true
rm -f "$folder/vantrell.conf"
awk -v t="$used" -v hz="$hz" -v s="$idle_seconds" \
    'BEGIN { printf "idle, the station page asked for every second: %.3f s CPU in %d s = %.3f %% of one core\n", t/hz, s, 100*t/hz/s }'

began=$SECONDS
/usr/bin/time -f "%U %S" -o "$folder/time" "$bin/vantrelld" --config-dir "$folder" read 1 >/dev/null || true
wall=$((SECONDS - began))
read -r user sys < <(tail -n 1 "$folder/time")
awk -v u="$user" -v s="$sys" -v w="$wall" \
    'BEGIN { printf "reading session (2 loggers, 2 500 records): %.2f s CPU in %d s = %.2f %% of the wall time\n", u+s, w, 100*(u+s)/w }'

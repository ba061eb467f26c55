#!/usr/bin/env bash
# The station's main job against a simulated station: a line switch with two loggers of
# different models on a pseudo-terminal, reached through the real serial port code.
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/install-deps.sh
cmake --preset release >/dev/null
cmake --build --preset release -j2 --target vantrelld vantrell-sim
bin=build/release/app

demo="$(mktemp -d /tmp/vantrell-demo.XXXXXX)"
sim_pid=""
cleanup() {
    [ -n "$sim_pid" ] && kill "$sim_pid" 2>/dev/null && wait "$sim_pid" 2>/dev/null
    true
}
trap cleanup EXIT

echo "== Configuration folder: $demo"
"$bin/vantrelld" --config-dir "$demo" init >/dev/null
sed -i "s|<device>/dev/ttyS0</device>|<device>$demo/line</device>|" "$demo/comports.xml"

echo "== Simulated station: a line switch with a model 3 logger at 1 and a model 5 logger at 3"
"$bin/vantrell-sim" --link "$demo/line" --switch \
    --logger serial=KV12345678,model=3,records=200,interval=600,position=1 \
    --logger serial=KV87654321,model=5,records=50,offset=1200,position=3 \
    >"$demo/sim.log" 2>&1 &
sim_pid=$!
for _ in $(seq 50); do [ -e "$demo/line" ] && break; sleep 0.1; done

for logger in 1 3; do
    echo
    echo "== Logger $logger"
    "$bin/vantrelld" --config-dir "$demo" probe --switch --logger "$logger"
done

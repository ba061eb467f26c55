#!/usr/bin/env bash
# The station's main job against a simulated station: a line switch with two loggers of
# different models on a pseudo-terminal, device 1 configured on it, schedule time 1 at the
# current hour; `vantrelld run` reads the station as the schedule says, then the data files are
# shown. vantrell.conf turns on the journal, the outbox, the silent alarm, the metrics file, the
# status page and MQTT to a local broker, and what they hold is shown at the end.
set -euo pipefail
cd "$(dirname "$0")/.."
. scripts/demo-station.sh

scripts/install-deps.sh
cmake --preset release >/dev/null
cmake --build --preset release -j2 --target vantrelld vantrell-sim
bin=build/release/app

demo="$(mktemp -d /tmp/vantrell-demo.XXXXXX)"
pids=()
cleanup() {
    for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null || true; done
    wait 2>/dev/null || true
}
trap cleanup EXIT

echo "== Configuration folder: $demo"
"$bin/vantrelld" --config-dir "$demo" init >/dev/null
mkdir -p "$demo/data" "$demo/mail"

echo "== A local mail server receives the data files, alarms and run reports"
/usr/bin/python3 tests/servers/smtp_sink.py "$demo/mail/inbox" >"$demo/mail/port" 2>"$demo/mail/log" &
pids+=($!)
for _ in $(seq 100); do grep -q PORT "$demo/mail/port" 2>/dev/null && break; sleep 0.1; done
smtp="127.0.0.1:$(awk '/PORT/ {print $2}' "$demo/mail/port")"
echo "   listening on $smtp"

echo "== Simulated station: a line switch with a model 3 logger at 1 (its channel 1 crosses its"
echo "   own high limit) and a model 5 rain logger at 3 whose clock is 20 minutes fast"
"$bin/vantrell-sim" --link "$demo/line" --switch \
    --logger serial=1201KV0326,model=3,records=200,interval=600,position=1,alarms=1000,high1=5.05 \
    --logger serial=1202YR0526,model=5,records=50,offset=1200,position=3 \
    >"$demo/sim.log" 2>&1 &
pids+=($!)
for _ in $(seq 50); do [ -e "$demo/line" ] && break; sleep 0.1; done

echo "== The line, schedule time 1 at the current hour and device 1, with vantrelld's commands"
configure_demo_station "$bin/vantrelld" "$demo" "$demo/line" "$smtp" "$(date +%-H)" | sed 's/^/   /'

free_port() { /usr/bin/python3 -c 'import socket; s = socket.socket(); s.bind(("127.0.0.1", 0)); print(s.getsockname()[1])'; }
mqtt_port=$(free_port)
web_port=$(free_port)
echo "== A local MQTT broker on 127.0.0.1:$mqtt_port receives the readings"
printf 'listener %s 127.0.0.1\nallow_anonymous true\nuser root\n' "$mqtt_port" >"$demo/mosquitto.conf"
/usr/sbin/mosquitto -c "$demo/mosquitto.conf" >"$demo/mosquitto.log" 2>&1 &
pids+=($!)
cat >"$demo/vantrell.conf" <<CONF
[journal]
[outbox]
[silence]
[metrics]
textfile = vantrell.prom
[web]
listen = 127.0.0.1:$web_port
[mqtt]
url = mqtt://127.0.0.1:$mqtt_port
station = demo
CONF
echo "   vantrell.conf:"; sed 's/^/   | /' "$demo/vantrell.conf"

"$bin/vantrelld" --config-dir "$demo" status || true
echo
echo "== vantrelld run (stops once schedule time 1 is done)"
# Through a process substitution, so that $! is the station and not the filter.
"$bin/vantrelld" --config-dir "$demo" run > >(grep --line-buffered -v " block no. ") &
station=$!
pids+=("$station")

# Schedule time 1 is done when its slot mark is set, or when the day has been closed (the
# schedule day has moved on to tomorrow).
today="$(date +%d/%m/%Y)"
time1_done() {
    grep -q '<run>X</run>' "$demo/schtitbl.xml" && return 0
    local day
    day="$(sed -n 's:.*<date>\(.*\)</date>.*:\1:p' "$demo/schtitbl.xml")"
    [ -n "$day" ] && [ "$day" != "$today" ]
}
deadline=$((SECONDS + 240))
until time1_done; do
    if ((SECONDS > deadline)); then echo "The station did not finish in time." >&2; exit 1; fi
    sleep 2
done
echo
echo "== The status page while the station runs: http://127.0.0.1:$web_port/"
curl -fsS "http://127.0.0.1:$web_port/" | sed -n 's/<[^>]*>/ /g; s/  */ /g; /X /p' | head -5
curl -fsS "http://127.0.0.1:$web_port/api/readings?device=1&serial=1201KV0326&channel=1&points=5" |
    head -c 300
echo
kill -TERM "$station"
wait "$station" || true

echo
echo "== vantrelld status (exit 0: every active device last read \"X\", nothing pending)"
"$bin/vantrelld" --config-dir "$demo" status | tail -4 || true
echo
echo "== vantrelld export --format csv (the first readings of the journal)"
# head stops reading early: the pipe's end is no failure of the demo.
"$bin/vantrelld" --config-dir "$demo" export --format csv | head -5 || true
echo
echo "== The metrics file for Prometheus"
grep -v '^#' "$demo/vantrell.prom" | head -8 || true

echo
echo "== Data files in $demo/data"
for file in "$demo"/data/*.dat; do
    echo "-- $file ($(stat -c %s "$file") bytes)"
    # Records end in a carriage return and are padded to 62 bytes; record 3 is left empty.
    head -c $((62 * 6)) "$file" | tr -d '\000' | tr '\r' '\n' | iconv -f WINDOWS-1252 -t UTF-8 |
        sed -n '1,5p'
done

echo
echo "== Mail received by the local server"
for message in $(ls "$demo/mail/inbox" 2>/dev/null | sort -n); do
    m="$demo/mail/inbox/$message"
    echo "-- $(cat "$m/from") -> $(cat "$m/to"): $(cat "$m/subject")"
    [ -n "$(ls "$m/attachments")" ] && echo "   attachment: $(ls "$m/attachments")"
    [ -f "$m/body" ] && sed 's/\r$//; s/^/   | /' "$m/body" | head -12
    echo
done

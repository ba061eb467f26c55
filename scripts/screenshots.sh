#!/usr/bin/env bash
# Screenshots of the desktop program for review: vantrell runs under a virtual X server with
# a notification area (trayer), once per window, over a demo configuration whose line is a
# simulated station, and each screen is saved as a PNG in a folder printed at the end. Then the
# Readings window, over a journal that one read of the simulated station filled. Last, the
# properties dialog and the folder picker (over a data folder many levels deep) as on a
# 1366 x 768 laptop screen at 125 %, under a window manager.
#
#   scripts/screenshots.sh            builds vantrell (release) first
#   VANTRELL_BIN=DIR scripts/...      takes vantrell, vantrelld and vantrell-sim from DIR
set -euo pipefail
cd "$(dirname "$0")/.."
. scripts/demo-station.sh

missing=()
for pair in Xvfb:xvfb xauth:xauth xdpyinfo:x11-utils trayer:trayer import:imagemagick \
    openbox:openbox chromium:chromium curl:curl; do
    command -v "${pair%%:*}" >/dev/null || missing+=("${pair#*:}")
done
if ((${#missing[@]})); then
    sudo=""
    [ "$(id -u)" -eq 0 ] || sudo="sudo"
    $sudo apt-get update -qq
    $sudo apt-get install -y -qq "${missing[@]}" >/dev/null
fi

if [ -n "${VANTRELL_BIN:-}" ]; then
    bin="$VANTRELL_BIN"
else
    scripts/install-deps.sh
    cmake --preset release >/dev/null
    cmake --build --preset release -j2 --target vantrell vantrelld vantrell-sim
    bin=build/release/app
fi

out="$(mktemp -d /tmp/vantrell-screens.XXXXXX)"
config="$out/config"
mkdir -p "$config/data"
pids=()
cleanup() {
    for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null || true; done
    wait 2>/dev/null || true
}
trap cleanup EXIT

# The demo station, with its schedule time an hour ahead so that no reading starts while the
# screens are taken.
"$bin/vantrelld" --config-dir "$config" init >/dev/null
configure_demo_station "$bin/vantrelld" "$config" "$config/line" 127.0.0.1:25 \
    "$(( ($(date +%-H) + 1) % 24 ))" >/dev/null
"$bin/vantrell-sim" --link "$config/line" --switch \
    --logger serial=1201KV0326,model=3,records=200,position=1 >"$out/sim.log" 2>&1 &
pids+=($!)
for _ in $(seq 50); do [ -e "$config/line" ] && break; sleep 0.1; done

# A virtual screen of the given size with a notification area at its foot (and, asked for, a
# window manager that draws title bars); its pids join the ones ended at exit.
start_screen() {
    local size="$1" manager="$2"
    display=":$((90 + RANDOM % 100))"
    Xvfb "$display" -screen 0 "${size}x24" -nolisten tcp >"$out/xvfb-$size.log" 2>&1 &
    pids+=($!)
    export DISPLAY="$display"
    for _ in $(seq 50); do xdpyinfo >/dev/null 2>&1 && break; sleep 0.1; done
    if [ "$manager" = yes ]; then
        openbox >"$out/openbox.log" 2>&1 &
        pids+=($!)
    fi
    trayer --edge bottom --align right --widthtype request --height 32 --tint 0xc0c0c0 \
        --transparent true --alpha 0 >"$out/trayer-$size.log" 2>&1 &
    pids+=($!)
    sleep 1
}

# Takes screen shot NAME while vantrell shows WINDOW, then ends vantrell as a stop signal does.
shoot() {
    local name="$1" window="$2" settle="$3"
    shift 3
    "$@" "$bin/vantrell" --config-dir "$config" --show "$window" >"$out/$name.log" 2>&1 &
    local pid=$!
    sleep "$settle"
    import -window root "$out/$name.png"
    kill -TERM "$pid"
    for _ in $(seq 50); do kill -0 "$pid" 2>/dev/null || break; sleep 0.1; done
    if kill -0 "$pid" 2>/dev/null; then
        echo "vantrell did not end on SIGTERM while showing $window" >&2
        kill -KILL "$pid"
    fi
    wait "$pid" 2>/dev/null || true
}

start_screen 1280x800 no
# The splash is taken while it shows; every other window once the station has started. The
# setup window reads its file with the station's pauses (three seconds).
for window in splash main properties setup phonebook progress path menu; do
    case "$window" in
        splash) settle=1.5 ;;
        setup) settle=8 ;;
        *) settle=5 ;;
    esac
    shoot "$window" "$window" "$settle" env
done

# The journal on for one read of device 1 (about a minute on the simulated line), the Readings
# window over what it brought, and the journal off again: the dialog below stays as it always was.
sed -i 's/^;\[journal\]$/[journal]/' "$config/vantrell.conf"
"$bin/vantrelld" --config-dir "$config" read 1 >"$out/read.log" 2>&1 ||
    echo "the read of device 1 did not end with X (see $out/read.log)" >&2
# Absolute limits on logger 1's channels 1 and 3 that its newest readings lie above and below.
/usr/bin/python3 - "$config" <<'PY'
import sys, xml.etree.ElementTree as ET
path = f"{sys.argv[1]}/DeviceSetup/dvcsetup1.xml"
tree = ET.parse(path)
for place, (low, high) in {"1": ("0", "10"), "3": ("0", "30")}.items():
    channel = tree.getroot().find(f"./channel[@place='{place}']")
    for name, text in (("absAlarmOn", "1"), ("absMinimum", low), ("absMaximum", high)):
        channel.find(name).text = text
tree.write(path, encoding="UTF-8", xml_declaration=True)
PY
shoot readings readings 5 env
sed -i 's/^\[journal\]$/;[journal]/' "$config/vantrell.conf"

# Device 1 forwarding by FTP with neither host nor root stored: the dialog shows its tallest
# frame, and the two boxes offer their defaults in the inactive colour.
/usr/bin/python3 - "$config" <<'PY'
import sys, xml.etree.ElementTree as ET
path = f"{sys.argv[1]}/prop.xml"
tree = ET.parse(path)
values = list(tree.getroot().find("./*[@place='1']"))
for position, text in {21: "1", 22: "", 30: ""}.items():
    values[position].text = text
tree.write(path, encoding="UTF-8", xml_declaration=True)
PY
start_screen 1366x768 yes
shoot properties-1366x768-125 properties 5 env QT_SCALE_FACTOR=1.25

# Device 1's data folder a dozen levels deep: the picker stays within the screen and shows the
# path with its middle left out.
deep="$config/data"
for level in $(seq 12); do deep="$deep/station archive, folder level $level"; done
mkdir -p "$deep"
/usr/bin/python3 - "$config" "$deep" <<'PY'
import sys, xml.etree.ElementTree as ET
path = f"{sys.argv[1]}/prop.xml"
tree = ET.parse(path)
list(tree.getroot().find("./*[@place='1']"))[19].text = sys.argv[2]
tree.write(path, encoding="UTF-8", xml_declaration=True)
PY
shoot path-1366x768-125 path 5 env QT_SCALE_FACTOR=1.25

# The status page of the daemon after it has read device 1 from the simulated line: the station
# page and the device's page with its plots, as headless Chromium draws them.
port=$(/usr/bin/python3 -c 'import socket; s=socket.socket(); s.bind(("127.0.0.1", 0)); print(s.getsockname()[1])')
printf '[web]\nlisten = 127.0.0.1:%s\n' "$port" >"$config/vantrell.conf"
"$bin/vantrelld" --config-dir "$config" read 1 >"$out/read.log" 2>&1 || true
"$bin/vantrelld" --config-dir "$config" run >"$out/vantrelld.log" 2>&1 &
pids+=($!)
for _ in $(seq 50); do curl -sf -o /dev/null "http://127.0.0.1:$port/" && break; sleep 0.1; done
for page in "/:status-page" "/device/1:status-page-device"; do
    chromium --headless --no-sandbox --disable-gpu --log-level=3 --virtual-time-budget=5000 \
        --user-data-dir="$out/chromium" --window-size=1280,900 \
        --screenshot="$out/${page#*:}.png" "http://127.0.0.1:$port${page%%:*}" \
        >"$out/chromium.log" 2>&1
done
# Headless Chromium's window is at least 500 pixels wide: a phone's 360 are a frame's, in a page
# of the same site (in a file's frame the plots' script does not run).
frames=$(/usr/bin/python3 -c 'import socket; s=socket.socket(); s.bind(("127.0.0.1", 0)); print(s.getsockname()[1])')
mkdir -p "$out/frames"
/usr/bin/python3 -m http.server "$frames" --bind 127.0.0.1 --directory "$out/frames" >/dev/null 2>&1 &
pids+=($!)
for page in "/:status-page-360" "/device/1:status-page-device-360"; do
    printf '<!DOCTYPE html><body style="margin:0"><iframe src="http://127.0.0.1:%s%s" width="360" height="3400"></iframe>' \
        "$port" "${page%%:*}" >"$out/frames/${page#*:}.html"
    for _ in $(seq 50); do curl -sf -o /dev/null "http://127.0.0.1:$frames/" && break; sleep 0.1; done
    chromium --headless --no-sandbox --disable-gpu --log-level=3 --virtual-time-budget=5000 \
        --user-data-dir="$out/chromium" --window-size=500,3410 \
        --screenshot="$out/${page#*:}.png" "http://127.0.0.1:$frames/${page#*:}.html" \
        >"$out/chromium.log" 2>&1
done

echo "Screenshots in $out:"
ls "$out"/*.png

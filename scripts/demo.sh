#!/usr/bin/env bash
# What the tool is for, on a simulated tracker instead of a real one: the settings by name,
# reading and writing them, a profile of all of them, then the Windows window under Wine.
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/install-deps.sh
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build --target tarnwick-cli tarnwick-devsim | tail -n 1

cli="$PWD/build/app/tarnwick-cli"
devsim_bin="$PWD/build/sim/tarnwick-devsim"
work="$(mktemp -d /tmp/tarnwick-demo.XXXXXX)"
port="$(mktemp -u /tmp/ttyTRK.XXXX)"
build/sim/tarnwick-devsim --link "$port" --connect-delay 300 >/dev/null &
devsim=$!
trap 'kill "$devsim" 2>/dev/null || true; wait "$devsim" 2>/dev/null || true' EXIT
for _ in $(seq 50); do [[ -e "$port" ]] && break; sleep 0.1; done
cd "$work"

step() { printf '\n== %s\n' "$1"; }
run() { # the command as typed, then what it printed (the log lines are its stderr)
    echo "\$ tarnwick-cli $*"
    "$cli" "$@" >out.txt 2>&1 || true
}

step "The settings the tool knows (the first 8 of $("$cli" names | wc -l))"
run names
head -n 8 out.txt
step "Read three of them from the tracker on $port"
run --port "$port" get mqtt-broker mqtt-port lora-band
cat out.txt
step "Write one, then read it back"
run --port "$port" set mqtt-port=8883
cat out.txt
run --port "$port" get mqtt-port
cat out.txt
step "Read every setting into a profile (mode 0600: it holds passwords)"
run --port "$port" read-all --output tracker.profile
tail -n 2 out.txt
echo "\$ head -n 6 tracker.profile"
head -n 6 tracker.profile
step "Load the profile into the tracker"
run --port "$port" load-all tracker.profile
tail -n 3 out.txt
step "Verify: a write the tracker acknowledged but did not keep (a simulated fault)"
echo "\$ tarnwick-cli --simulate --sim-fault 0x020F:stale set mqtt-port=8883 --verify"
status=0
"$cli" --simulate --sim-fault 0x020F:stale set mqtt-port=8883 --verify >out.txt 2>&1 || status=$?
cat out.txt
echo "exit status $status (3: a field differs)"

step "Provision a batch: three trackers at once, each with its own row, an audit of each"
fleet="$work/trk"
"$devsim_bin" --count 3 --link-prefix "$fleet" --baud 115200 >fleet.txt &
fleetsim=$!
trap 'kill "$devsim" "$fleetsim" 2>/dev/null || true; wait 2>/dev/null || true' EXIT
for _ in $(seq 50); do [[ $(wc -l <fleet.txt) -ge 3 ]] && break; sleep 0.1; done
cut -d' ' -f2-3 fleet.txt
sed 's|^mqtt-topic-pub=.*|mqtt-topic-pub=trk/{device-id}/data|' tracker.profile >batch.profile
printf 'imei,mqtt-username,lora-dev-eui\n356938035643817,"site 2, north",70B3D57ED0051A99\n' \
    >rows.csv
cat rows.csv
run provision batch.profile --port "${fleet}1" --port "${fleet}2" --port "${fleet}3" \
    --overrides rows.csv --audit audit.jsonl
grep -E 'provisioned|provision:' out.txt
run --port "${fleet}2" get mqtt-username mqtt-topic-pub lora-dev-eui
grep = out.txt
echo "\$ head -c 300 audit.jsonl  # one JSON record per device, mode $(stat -c %a audit.jsonl)"
head -c 300 audit.jsonl
echo
kill "$fleetsim" 2>/dev/null || true
cd - >/dev/null
kill "$devsim" 2>/dev/null || true

# The window drives the same simulated tracker through the picker, read all, load all,
# About, the device tests and pulling the port; without a display it runs on a private Xvfb
# and saves a screenshot of every page.
step "Tarnwick.exe under Wine, against the simulator"
cmake --preset windows -DTARNWICK_DEVSIM="$PWD/build/sim/tarnwick-devsim" >/dev/null
cmake --build --preset windows --target Tarnwick tarnwick-gui-e2e-test | tail -n 1
shots="$PWD/build-windows/screenshots"
visible=()
[[ -n "${DISPLAY:-}" ]] && visible=(--visible)
tests/win32/gui/run-gui-e2e.sh build-windows --devsim build/sim/tarnwick-devsim \
    --screenshots "$shots" "${visible[@]}" | tail -n 3
echo "screenshots of every page: $shots (docs/screenshots/ holds copies shown in the README)"

#!/usr/bin/env bash
# Builds the tool and talks to the simulated tracker over a pseudo-terminal, the way it talks
# to a real one over /dev/ttyUSB0: connect (two replies), then read the master flag. Then the
# same with the Windows window, Tarnwick.exe, under Wine.
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/install-deps.sh
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build --target tarnwick-cli tarnwick-devsim

port="$(mktemp -u /tmp/tarnwick-demo-port.XXXXXX)"
build/sim/tarnwick-devsim --link "$port" --connect-delay 1500 >/dev/null &
devsim=$!
trap 'kill "$devsim" 2>/dev/null || true; wait "$devsim" 2>/dev/null || true' EXIT
for _ in $(seq 50); do [[ -e "$port" ]] && break; sleep 0.1; done

run() {
    echo "\$ tarnwick-cli $*"
    build/app/tarnwick-cli "$@"
}
run --port "$port" raw 0x0000 --await 1
run --port "$port" raw 0x0009

# The Windows window against the same simulated tracker, under Wine: the end-to-end test
# drives it through the picker, read-all, load-all, About, the device tests and pulling the
# port. With a display you watch it; without one it runs on a private Xvfb and saves a
# screenshot of every page, the port picker and the About box.
kill "$devsim" 2>/dev/null || true
echo
echo "\$ Tarnwick.exe under Wine, against the simulator"
cmake --preset windows -DTARNWICK_DEVSIM="$PWD/build/sim/tarnwick-devsim" >/dev/null
cmake --build --preset windows --target Tarnwick tarnwick-gui-e2e-test
shots="$PWD/build-windows/screenshots"
if [[ -n "${DISPLAY:-}" ]]; then
    tests/win32/gui/run-gui-e2e.sh build-windows --devsim build/sim/tarnwick-devsim \
        --screenshots "$shots" --visible
else
    tests/win32/gui/run-gui-e2e.sh build-windows --devsim build/sim/tarnwick-devsim \
        --screenshots "$shots"
fi
echo "screenshots: $shots"

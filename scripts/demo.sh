#!/usr/bin/env bash
# Builds the tool and talks to the simulated tracker over a pseudo-terminal, the way it talks
# to a real one over /dev/ttyUSB0: connect (two replies), then read the master flag.
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/install-deps.sh
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build --target tarnwick-cli tarnwick-devsim

port="$(mktemp -u /tmp/tarnwick-demo-port.XXXXXX)"
build/sim/tarnwick-devsim --link "$port" --connect-delay 1500 >/dev/null &
devsim=$!
trap 'kill "$devsim" 2>/dev/null; wait "$devsim" 2>/dev/null || true' EXIT
for _ in $(seq 50); do [[ -e "$port" ]] && break; sleep 0.1; done

run() {
    echo "\$ tarnwick-cli $*"
    build/app/tarnwick-cli "$@"
}
run --port "$port" raw 0x0000 --await 1
run --port "$port" raw 0x0009

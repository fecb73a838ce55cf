#!/usr/bin/env bash
# Tarnwick.exe end to end under Wine, against the simulated tracker.
#
#   tests/win32/gui/run-gui-e2e.sh BUILD_WIN --devsim PATH [--screenshots DIR] [--visible]
#
# Starts a private Xvfb (or, with --visible, uses $DISPLAY), a Wine server on a prefix of its
# own (BUILD_WIN/gui-e2e/wine-prefix: a server shared with console tests may have started
# Wine's desktop without a display), the simulator on a pseudo-terminal mapped as COM8 and
# registered with SetupAPI, then runs tarnwick-gui-e2e-test.exe, which starts and drives the
# window. While it runs, this script answers its requests: "shot NAME GEOMETRY" saves a PNG
# of that part of the screen in the screenshots folder (default BUILD_WIN/screenshots);
# "remove-port" pulls the port. Everything started here is stopped here, by PID.
# Exits with the test program's status. GUI_E2E_TRACE=1 traces this script.
set -u
[ -n "${GUI_E2E_TRACE:-}" ] && set -x

usage() {
    echo "usage: $0 BUILD_WIN --devsim PATH [--screenshots DIR] [--visible] [test args...]" >&2
    exit 2
}

[ $# -ge 3 ] || usage
build=$(cd "$1" && pwd) || usage
shift
devsim=""
shots=""
visible=""
test_args=()
while [ $# -gt 0 ]; do
    case "$1" in
    --devsim) devsim=${2:-}; shift 2 || usage ;;
    --screenshots) shots=${2:-}; shift 2 || usage ;;
    --visible) visible=1; shift ;;
    *) test_args+=("$1"); shift ;;
    esac
done
[ -x "$devsim" ] || { echo "run-gui-e2e: no tarnwick-devsim at '$devsim'" >&2; exit 2; }
shots=${shots:-$build/screenshots}
mkdir -p "$shots" && shots=$(cd "$shots" && pwd)

app="$build/app/win32/Tarnwick.exe"
bin="$build/app/win32/gui-driver"
for file in "$app" "$bin/tarnwick-gui-e2e-test.exe" "$bin/tarnwick-gui-port.exe" \
    "$bin/tarnwick-gui-probe.dll"; do
    [ -f "$file" ] || { echo "run-gui-e2e: $file is missing (build the windows preset)" >&2; exit 2; }
done
for tool in Xvfb import wine wineserver; do
    command -v "$tool" >/dev/null || { echo "run-gui-e2e: $tool not installed" >&2; exit 2; }
done

com_name=COM8
instance='ROOT\PORTS\TARNWICKE2E'
deadline_seconds=${GUI_E2E_DEADLINE:-300}

work=$(mktemp -d /tmp/tarnwick-gui-e2e.XXXXXX)
xvfb_pid=""
sim_pid=""
test_pid=""
port_registered=""
wine_up=""

log() { echo "run-gui-e2e: $*" >&2; }
winpath() { local p=${1//\//\\}; echo "Z:$p"; }
stop_pid() { # pid: TERM, then KILL after 5 s
    [ -n "$1" ] || return 0
    kill "$1" 2>/dev/null || return 0
    for _ in $(seq 50); do kill -0 "$1" 2>/dev/null || break; sleep 0.1; done
    kill -9 "$1" 2>/dev/null
    wait "$1" 2>/dev/null
}

remove_port() {
    stop_pid "$sim_pid"
    sim_pid=""
    rm -f "$com_link"
    if [ -n "$port_registered" ]; then
        wine "$bin/tarnwick-gui-port.exe" remove "$instance" </dev/null >/dev/null 2>>"$work/wine.err" ||
            return 1
        port_registered=""
    fi
}

cleanup() {
    stop_pid "$test_pid"
    [ -n "$wine_up" ] && remove_port
    stop_pid "$sim_pid"
    [ -n "$wine_up" ] && wine_env_stop
    stop_pid "$xvfb_pid"
    rm -rf "$work"
}
trap cleanup EXIT
trap 'exit 130' INT TERM HUP

# The display: a private Xvfb on the first free display number, found by the server itself.
if [ -n "$visible" ] && [ -n "${DISPLAY:-}" ]; then
    log "using the display $DISPLAY"
else
    Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp 3>"$work/display" \
        </dev/null >"$work/xvfb.log" 2>&1 &
    xvfb_pid=$!
    for _ in $(seq 100); do
        [ -s "$work/display" ] && break
        kill -0 "$xvfb_pid" 2>/dev/null || break
        sleep 0.1
    done
    [ -s "$work/display" ] || { log "Xvfb did not start"; cat "$work/xvfb.log" >&2; exit 1; }
    export DISPLAY=":$(tr -dc 0-9 <"$work/display")"
    log "Xvfb on $DISPLAY"
fi

# Wine: its server in the foreground of this session before the pseudo-terminal exists.
mkdir -p "$build/gui-e2e"
# shellcheck source=scripts/wine-env.sh
. "$(cd "$(dirname "$0")/../../.." && pwd)/scripts/wine-env.sh" "$build/gui-e2e" gui-e2e
wine_up=1
wine_env_start || { log "Wine did not start"; exit 1; }
com_link="$WINEPREFIX/dosdevices/${com_name,,}"

# GUI_E2E_SIM_ARGS: extra simulator options, to watch the test catch a scripted fault.
# shellcheck disable=SC2086
"$devsim" --link "$work/tracker" --connect-delay 300 --log-requests ${GUI_E2E_SIM_ARGS:-} \
    </dev/null >"$work/sim.out" 2>"$work/requests.log" &
sim_pid=$!
pty=""
for _ in $(seq 100); do
    if read -r word path <"$work/sim.out" 2>/dev/null && [ "$word" = PORT ]; then
        pty=$path
        break
    fi
    kill -0 "$sim_pid" 2>/dev/null || break
    sleep 0.1
done
[ -n "$pty" ] && [ -e "$pty" ] || { log "the simulator reported no port"; cat "$work/requests.log" >&2; exit 1; }
ln -sfn "$pty" "$com_link"
wine "$bin/tarnwick-gui-port.exe" add "$instance" "$com_name" "Tarnwick simulated tracker" \
    </dev/null >/dev/null 2>>"$work/wine.err" || { log "SetupAPI registration failed"; cat "$work/wine.err" >&2; exit 1; }
port_registered=1
log "$com_name -> $pty, registered as $instance"

answer() { # text
    echo "$1" >"$work/answer.tmp" && mv "$work/answer.tmp" "$work/answer.txt"
}

handle_request() { # line
    local verb name geometry
    read -r verb name geometry <<<"$1"
    case "$verb" in
    shot)
        if [[ ! "$name" =~ ^[a-z0-9-]+\.png$ ]] || [[ ! "$geometry" =~ ^[0-9]+x[0-9]+\+-?[0-9]+\+-?[0-9]+$ ]]; then
            answer "bad shot request: $1"
        elif import -window root -crop "$geometry" +repage "$shots/$name" 2>>"$work/import.err"; then
            answer ok
        else
            answer "import failed: $(tail -n 1 "$work/import.err")"
        fi
        ;;
    remove-port)
        if remove_port; then answer ok; else answer "removal failed"; fi
        ;;
    *) answer "unknown request: $1" ;;
    esac
}

TARNWICK_E2E_APP=$(winpath "$app") TARNWICK_E2E_COM=$com_name TARNWICK_E2E_DIR=$(winpath "$work") \
    wine "$bin/tarnwick-gui-e2e-test.exe" "${test_args[@]}" </dev/null >"$work/test.out" 2>&1 &
test_pid=$!

start=$SECONDS
while kill -0 "$test_pid" 2>/dev/null; do
    if [ -f "$work/request.txt" ]; then
        request=$(head -n 1 "$work/request.txt" | tr -d '\r')
        rm -f "$work/request.txt"
        handle_request "$request"
    fi
    if [ $((SECONDS - start)) -ge "$deadline_seconds" ]; then
        log "the test program ran longer than ${deadline_seconds}s; stopping it"
        stop_pid "$test_pid"
        break
    fi
    sleep 0.05
done
wait "$test_pid" 2>/dev/null
status=$?
test_pid=""
tr -d '\r' <"$work/test.out"
if [ "$status" -ne 0 ]; then
    log "failed ($status); simulator request log:"
    cat "$work/requests.log" >&2
fi
log "screenshots in $shots"
exit "$status"

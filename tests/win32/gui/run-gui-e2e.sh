#!/usr/bin/env bash
# A Windows test program under Wine, against tarnwick-devsim on a pseudo-terminal mapped as COM8.
#
#   tests/win32/gui/run-gui-e2e.sh BUILD_WIN --devsim PATH [--screenshots DIR] [--visible]
#                                  [--lang ru|en [--auto]] [--locale LOCALE] [--dpi N] [--texts]
#   tests/win32/gui/run-gui-e2e.sh BUILD_WIN --devsim PATH --serial
#   tests/win32/gui/run-gui-e2e.sh BUILD_WIN --devsim PATH --station [--cli PATH] [--screenshots DIR]
#
# By default Tarnwick.exe end to end (tarnwick-gui-e2e-test.exe) on a private Xvfb (with
# --visible, on $DISPLAY), answering the test's "SHOT NAME GEOMETRY" lines with a PNG of that
# part of the screen in the screenshots folder (default BUILD_WIN/screenshots); --lang starts the
# window in that language (default ru) with /lang or, with --auto, expects it chosen from the
# user's language, which --locale sets for the test and the window (LC_ALL); --dpi runs Wine
# at that DPI (its LogPixels; default 96),
# and --texts first checks the dialogs' texts in both languages, and that each fits its control
# at that DPI (tarnwick-resource-texts-test.exe). With --serial,
# tests/win32_test.exe with the device faults serial_win32_test.cpp expects. With --station, the
# provisioning station (tarnwick-station-e2e-test.exe) against six trackers mapped as
# COM11..COM16, each in a simulator of its own (its own request log), with a profile read from
# tracker 1 by the native tarnwick-cli (default: app/tarnwick-cli beside the devsim's sim/), which
# afterwards reads the profile's value back from trackers 1..3. Wine gets a prefix
# of its own (a server shared with console tests may have started Wine's desktop without a
# display). Stops all it started, by PID; exits with the test's status.
set -u
usage() { echo "usage: $0 BUILD_WIN --devsim PATH [--screenshots DIR] [--visible|--serial|--station [--cli PATH]]" >&2; exit 2; }
build=$(cd "${1:-}" 2>/dev/null && pwd) || usage
shift
devsim="" cli="" shots="$build/screenshots" visible="" serial="" station="" test_args=()
lang=ru dpi=96 texts="" locale="" auto=""
while [ $# -gt 0 ]; do
    case "$1" in
    --devsim) devsim=${2:-}; shift 2 || usage ;;
    --screenshots) shots=${2:-}; shift 2 || usage ;;
    --visible) visible=1; shift ;;
    --serial) serial=1; shift ;;
    --station) station=1; shift ;;
    --cli) cli=${2:-}; shift 2 || usage ;;
    --lang) lang=${2:-}; shift 2 || usage ;;
    --dpi) dpi=${2:-}; shift 2 || usage ;;
    --locale) locale=${2:-}; shift 2 || usage ;;
    --auto) auto=user; shift ;;
    --texts) texts=1; shift ;;
    *) test_args+=("$1"); shift ;;
    esac
done
app="$build/app/win32/Tarnwick.exe"
test_exe="$build/app/win32/gui-driver/tarnwick-gui-e2e-test.exe"
[ -n "$serial" ] && test_exe="$build/tests/win32_test.exe"
[ -n "$station" ] && test_exe="$build/app/win32/gui-driver/tarnwick-station-e2e-test.exe"
[ -n "$cli" ] || cli="$(dirname "$devsim")/../app/tarnwick-cli"
[ -z "$station" ] || [ -x "$cli" ] || { echo "run-gui-e2e: no tarnwick-cli at $cli" >&2; exit 2; }
[ -x "$devsim" ] && [ -f "$app" ] && [ -f "$test_exe" ] || { echo "run-gui-e2e: no devsim, $app or $test_exe" >&2; exit 2; }
[[ $dpi =~ ^[1-9][0-9]*$ ]] && [[ $lang =~ ^(ru|en)$ ]] || usage
texts_exe="$build/app/win32/gui-driver/tarnwick-resource-texts-test.exe"
lists="$(cd "$(dirname "$0")" && pwd)"
mkdir -p "$shots" && shots=$(cd "$shots" && pwd)

work=$(mktemp -d /tmp/tarnwick-gui-e2e.XXXXXX)
xvfb_pid="" sim_pid="" test_pid="" fleet_pids=()
log() { echo "run-gui-e2e: $*" >&2; }
stop() { [ -n "$1" ] && kill "$1" 2>/dev/null && wait "$1" 2>/dev/null; }
cleanup() {
    stop "$test_pid"
    stop "$sim_pid"
    for pid in "${fleet_pids[@]}"; do stop "$pid"; done
    rm -f "${WINEPREFIX:-/nonexistent}"/dosdevices/com{8,11,12,13,14,15,16}
    declare -F wine_env_stop >/dev/null && wine_env_stop
    stop "$xvfb_pid"
    rm -rf "$work"
}
trap cleanup EXIT
trap 'exit 130' INT TERM HUP

if [ -z "$serial" ] && { [ -z "$visible" ] || [ -z "${DISPLAY:-}" ]; }; then
    # As large as a 1024x768 screen at 96 DPI, so that the window fits at any DPI.
    Xvfb -displayfd 3 -screen 0 "$((1024 * dpi / 96))x$((768 * dpi / 96))x24" -nolisten tcp 3>"$work/display" </dev/null >/dev/null 2>&1 &
    xvfb_pid=$!
    for _ in $(seq 100); do [ -s "$work/display" ] && break; sleep 0.1; done
    [ -s "$work/display" ] || { log "Xvfb did not start"; exit 1; }
    export DISPLAY=":$(tr -dc 0-9 <"$work/display")"
fi

# The server runs in this session's foreground before the pseudo-terminal exists.
mkdir -p "$build/gui-e2e"
# shellcheck source=scripts/wine-env.sh
. "$(dirname "$0")/../../../scripts/wine-env.sh" "$build/gui-e2e" gui-e2e
wine_env_start || { log "Wine did not start"; exit 1; }
# Set on every run, so that a run killed before its cleanup leaves the next at its own DPI.
wine reg add 'HKCU\Control Panel\Desktop' /v LogPixels /t REG_DWORD /d "$dpi" /f >/dev/null 2>&1 ||
    { log "cannot set the DPI"; exit 1; }
texts_status=0
if [ -n "$texts" ]; then
    wine "$texts_exe" "Z:${app//\//\\}" "Z:${lists//\//\\}\\russian-texts.txt" \
        "Z:${lists//\//\\}\\english-texts.txt" </dev/null || texts_status=1
fi

# Runs the test program on the app, answering its SHOT lines; sets status.
drive() {
    coproc TEST {
        env ${locale:+LC_ALL=$locale LANG=$locale} wine "$test_exe" "Z:${app//\//\\}" "$@" \
            "${test_args[@]}" 2>&1
    }
    test_pid=$TEST_PID
    exec {from_test}<&"${TEST[0]}" {to_test}>&"${TEST[1]}"
    # A step that prints nothing for 240 s has hung.
    while IFS= read -r -t 240 line <&"$from_test" || { [ $? -gt 128 ] && log "no output" && stop "$test_pid"; false; }; do
        line=${line%$'\r'}
        if [[ "$line" =~ ^SHOT\ ([a-z0-9-]+\.png)\ ([0-9]+x[0-9]+\+-?[0-9]+\+-?[0-9]+)$ ]]; then
            import -window root -crop "${BASH_REMATCH[2]}" +repage "$shots/${BASH_REMATCH[1]}" 2>&1 &&
                echo ok >&"$to_test" || echo "import failed" >&"$to_test"
        else
            echo "$line"
        fi
    done
    wait "$test_pid"
    status=$?
    test_pid=""
    log "screenshots in $shots"
}

# Tracker K of a fleet of K, alone in its simulator (so its identity and request log are its
# own), mapped as COM(10+K).
fleet_tracker() {
    local k=$1 link
    shift
    "$devsim" --count "$k" --link-prefix "$work/sim$k-" --log-requests "$@" </dev/null >"$work/sim-$k.out" 2>"$work/sim-$k.log" &
    fleet_pids+=($!)
    for _ in $(seq 100); do
        link=$(sed -n "${k}s/^PORT \([^ ]*\) .*/\1/p" "$work/sim-$k.out" 2>/dev/null)
        [ -n "$link" ] && break
        sleep 0.1
    done
    [ -n "$link" ] && ln -sfn "$(readlink -f "$link")" "$WINEPREFIX/dosdevices/com$((10 + k))"
}

if [ -n "$station" ]; then
    # 2 answers its mqtt-port write slowly once, 3 refuses it once; 4..6 connect slowly.
    fleet=("" "--connect-delay 300" "--connect-delay 300 --fault 0x020F:gap=400"
        "--connect-delay 300 --fault 0x020F:status=1" "--connect-delay 3000" "--connect-delay 3000"
        "--connect-delay 3000")
    for k in 1 2 3 4 5 6; do
        # shellcheck disable=SC2086
        fleet_tracker "$k" ${fleet[k]} || { log "simulator $k reported no port"; exit 1; }
    done
    "$cli" --port "$work/sim1-1" read-all --output "$work/profile.txt" >/dev/null 2>"$work/cli.log" &&
        sed -i 's/^mqtt-port=.*/mqtt-port=8883/' "$work/profile.txt" &&
        grep -qx mqtt-port=8883 "$work/profile.txt" || { log "no profile read"; cat "$work/cli.log" >&2; exit 1; }
    drive "Z:${work//\//\\}"
    for k in 1 2 3; do
        value=$("$cli" --port "$work/sim$k-$k" get mqtt-port 2>>"$work/cli.log")
        [ "$value" = mqtt-port=8883 ] || { log "tracker $k holds '$value'"; status=1; }
    done
    [ "$status" -eq 0 ] || { log "failed ($status); simulator request logs:"; tail -n 5 "$work"/sim-*.log >&2; }
    exit "$status"
fi

faults=(--fault 0x0105:silent --fault 0x0300:delay=1000)
"$devsim" --connect-delay 300 --log-requests ${serial:+"${faults[@]}"} </dev/null >"$work/sim.out" 2>"$work/requests.log" &
sim_pid=$!
for _ in $(seq 100); do
    read -r word pty <"$work/sim.out" 2>/dev/null && [ "$word" = PORT ] && break
    pty=""
    sleep 0.1
done
[ -n "$pty" ] || { log "the simulator reported no port"; exit 1; }
ln -sfn "$pty" "$WINEPREFIX/dosdevices/com8"
if [ -n "$serial" ]; then
    TARNWICK_TEST_COM=COM8 wine "$test_exe" "${test_args[@]}" </dev/null
    status=$?
else
    drive "Z:${work//\//\\}\\requests.log" "$lang" ${auto:+"$auto"}
fi
[ "$texts_status" -eq 0 ] || { log "the dialogs' texts failed their check"; [ "$status" -ne 0 ] || status=1; }
[ "$status" -eq 0 ] || { log "failed ($status); simulator request log:"; cat "$work/requests.log" >&2; }
exit "$status"

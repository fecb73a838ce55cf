#!/usr/bin/env bash
# The driver's layout check of every page, the port picker and the About box, under Wine on a
# private Xvfb display, with no device. Given the simulator, then also the pictures of
# docs/screenshots: the eleven pages after a read, the picker listing the simulated port and
# the About box with its versions, taken by the end-to-end run (run-gui-e2e.sh).
#
#   tests/win32/gui/screenshots.sh BUILD_DIR [DEVSIM [OUT_DIR]] [DISPLAY_NUMBER]
#
# Needs Xvfb and ImageMagick's import. Starts and stops its own Xvfb, Wine server and
# Tarnwick.exe, by PID.
set -u
build=$(cd "${1:?build directory}" && pwd)
devsim=${2:-}
out=${3:-docs/screenshots}
display=${4:-97}
here=$(cd "$(dirname "$0")" && pwd)

app="$build/app/win32/Tarnwick.exe"
driver="$build/app/win32/gui-driver/tarnwick-gui-driver.exe"
[ -f "$app" ] && [ -f "$driver" ] || { echo "build Tarnwick and tarnwick-gui-driver first" >&2; exit 2; }

Xvfb ":$display" -screen 0 1024x768x24 -nolisten tcp >/dev/null 2>&1 &
xvfb_pid=$!
export DISPLAY=":$display"
sleep 1

# shellcheck source=/dev/null
. "$here/../../../scripts/wine-env.sh" "$build" screenshots
app_pid=""
cleanup() {
    [ -n "$app_pid" ] && kill "$app_pid" 2>/dev/null
    wine_env_stop
    kill "$xvfb_pid" 2>/dev/null
    wait "$xvfb_pid" 2>/dev/null
}
trap cleanup EXIT
wine_env_start || exit 1

drive() { wine "$driver" "$@" </dev/null 2>/dev/null | tr -d '\r'; }

wine "$app" </dev/null >/dev/null 2>&1 &
app_pid=$!
drive wait 20000 >/dev/null || exit 1
sleep 1

status=0
drive layout || status=1

drive post 32782 # the port picker
drive dialog "Выбор COM-порта" 10000 >/dev/null && sleep 0.5
drive dialog-layout "Выбор COM-порта" || status=1
drive dialog-click "Выбор COM-порта" 20004
sleep 0.5

drive post 32789 # About: its six queries fail at once without a port
drive dialog "О программе Tarnwick" 20000 >/dev/null && sleep 0.5
drive dialog-layout "О программе Tarnwick" || status=1
drive dialog-click "О программе Tarnwick" 10007
sleep 0.5

drive close # ends the program as "Выход" does
for _ in $(seq 50); do
    kill -0 "$app_pid" 2>/dev/null || break
    sleep 0.2
done
if kill -0 "$app_pid" 2>/dev/null; then
    echo "Tarnwick.exe did not end on IDCANCEL" >&2
    status=1
else
    wait "$app_pid"
    code=$?
    [ "$code" -eq 0 ] || { echo "Tarnwick.exe ended with $code" >&2; status=1; }
    app_pid=""
fi
cleanup
trap - EXIT
if [ -n "$devsim" ]; then
    bash "$here/run-gui-e2e.sh" "$build" --devsim "$devsim" --screenshots "$out" || status=1
fi
exit $status

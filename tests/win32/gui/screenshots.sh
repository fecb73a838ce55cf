#!/usr/bin/env bash
# Screenshots of the main window's eleven pages, the port picker and the About box, taken
# under Wine on a private Xvfb display, plus the driver's layout check of every page.
#
#   tests/win32/gui/screenshots.sh BUILD_DIR [OUT_DIR] [DISPLAY_NUMBER]
#
# Needs Xvfb and ImageMagick's import. Starts and stops its own Xvfb, Wine server and
# Tarnwick.exe, by PID.
set -u
build=$(cd "${1:?build directory}" && pwd)
out=${2:-docs/screenshots}
display=${3:-97}
here=$(cd "$(dirname "$0")" && pwd)
mkdir -p "$out"

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
shoot() { # geometry file
    import -window root -crop "$1" +repage "$2"
}

wine "$app" </dev/null >/dev/null 2>&1 &
app_pid=$!
drive wait 20000 >/dev/null || exit 1
sleep 1

status=0
drive layout || status=1
for page in 0 1 2 3 4 5 6 7 8 9 10; do
    drive tab "$page" >/dev/null
    sleep 0.5
    shoot "$(drive rect)" "$out/page-$(printf %02d "$page").png"
done
drive tab 0 >/dev/null

drive post 32782 # the port picker
drive dialog "Выбор COM-порта" 10000 >/dev/null && sleep 0.5
drive dialog-layout "Выбор COM-порта" || status=1
shoot "$(drive dialog-rect "Выбор COM-порта")" "$out/picker.png"
drive dialog-click "Выбор COM-порта" 20004
sleep 0.5

drive post 32789 # About: its six queries fail at once without a port
drive dialog "О программе Tarnwick" 20000 >/dev/null && sleep 0.5
drive dialog-layout "О программе Tarnwick" || status=1
shoot "$(drive dialog-rect "О программе Tarnwick")" "$out/about.png"
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
exit $status

#!/usr/bin/env bash
# Under Wine and a private Xvfb: silent install, the installed window starts, the installed
# command line answers, silent uninstall leaves nothing behind.
# usage: nsis-test.sh WINDOWS_BUILD_DIR SETUP.exe
set -uo pipefail
setup=$(realpath "$2")
. "$(dirname "$0")/../../scripts/wine-env.sh" "$1" install
failures=0
check() { # DESCRIPTION COMMAND...
    if "${@:2}"; then echo "ok: $1"; else echo "FAILED: $1"; failures=$((failures + 1)); fi
}
waits_for() { # SECONDS COMMAND...: true once COMMAND succeeds
    local tries=$(($1 * 10))
    while ((tries-- > 0)); do "${@:2}" && return 0; sleep 0.1; done
    false
}

display=":$((90 + RANDOM % 100))"
Xvfb "$display" -screen 0 1024x768x24 -nolisten tcp >/dev/null 2>&1 &
xvfb=$!
export DISPLAY=$display
trap 'wine_env_stop; kill "$xvfb" 2>/dev/null; wait "$xvfb" 2>/dev/null' EXIT
wine_env_start || exit 1
dir="$WINEPREFIX/drive_c/Program Files/Tarnwick"
uninstall_key='HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall\Tarnwick'
registered() { wine reg query "$uninstall_key" /v UninstallString >/dev/null 2>&1; }
unregistered() { ! registered; }

wine "$setup" /S </dev/null >/dev/null 2>&1
check "installs the two programs and the uninstaller, nothing else" \
    test "$(cd "$dir" 2>/dev/null && find . -type f | sort | tr '\n' ' ')" = \
    "./Tarnwick.exe ./Uninstall.exe ./tarnwick-cli.exe "
shortcut() { find "$WINEPREFIX/drive_c" -path '*Start Menu*' -name Tarnwick.lnk | grep -q .; }
no_shortcut() { ! shortcut; }
check "Start menu shortcut" shortcut
check "registered under Apps" registered
check "command line version" \
    test "$(wine "$dir/tarnwick-cli.exe" --version </dev/null 2>/dev/null | tr -d '\r')" = "tarnwick-cli 4.3.4"
wine "$dir/Tarnwick.exe" </dev/null >/dev/null 2>&1 &
window=$!
window_shows() { xdotool search --name '^Tarnwick$' >/dev/null; }
check "the installed window shows" waits_for 30 window_shows
kill "$window" 2>/dev/null
wineserver -k
wait "$window" 2>/dev/null
wine_env_start_server

wine "$dir/Uninstall.exe" /S </dev/null >/dev/null 2>&1
check "uninstall leaves no file behind" waits_for 20 test ! -e "$dir"
check "uninstall unregisters" unregistered
check "uninstall removes the shortcut" no_shortcut
echo "nsis-test: $failures failed"
((failures == 0))

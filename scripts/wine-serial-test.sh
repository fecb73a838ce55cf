#!/usr/bin/env bash
# Runs the Windows test program under Wine against the simulated device on a pseudo-terminal
# that Wine sees as COM7.
#
#   scripts/wine-serial-test.sh BUILD_WIN BUILD_NATIVE [test program arguments...]
#   scripts/wine-serial-test.sh BUILD_WIN --devsim PATH [test program arguments...]
#
# BUILD_WIN holds the cross build (tests/win32_test.exe), BUILD_NATIVE the Linux build with
# tarnwick-devsim. Exits with the test program's status.
set -u
# WINE_SERIAL_TRACE=1 shows every step, for a failure on a CI machine.
[ -n "${WINE_SERIAL_TRACE:-}" ] && set -x

usage() {
    echo "usage: $0 BUILD_WIN (BUILD_NATIVE | --devsim PATH) [test arguments...]" >&2
    exit 2
}

[ $# -ge 2 ] || usage
build_win=$(cd "$1" && pwd) || usage
shift
if [ "$1" = "--devsim" ]; then
    [ $# -ge 2 ] || usage
    devsim=$2
    shift 2
else
    build_native=$(cd "$1" && pwd) || usage
    shift
    devsim=""
    for candidate in "$build_native/sim/tarnwick-devsim" "$build_native/tarnwick-devsim"; do
        if [ -x "$candidate" ]; then
            devsim=$candidate
            break
        fi
    done
    if [ -z "$devsim" ]; then
        devsim=$(find "$build_native" -name tarnwick-devsim -type f -perm -u+x 2>/dev/null | head -n 1)
    fi
fi
if [ ! -x "$devsim" ]; then
    echo "wine-serial-test: no tarnwick-devsim (build the native tree first)" >&2
    exit 2
fi
test_exe="$build_win/tests/win32_test.exe"
if [ ! -f "$test_exe" ]; then
    echo "wine-serial-test: $test_exe is missing (build the windows preset first)" >&2
    exit 2
fi

# The faults the test program relies on (see tests/win32/serial_win32_test.cpp).
sim_faults=(--fault 0x0105:silent --fault 0x0300:delay=1000)
com_name=COM7

script_dir=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
# shellcheck source=scripts/wine-env.sh
. "$script_dir/wine-env.sh" "$build_win" serial-test

work_dir=$(mktemp -d)
sim_pid=""
com_link="$WINEPREFIX/dosdevices/${com_name,,}"

cleanup() {
    if [ -n "$sim_pid" ]; then
        kill "$sim_pid" 2>/dev/null
        wait "$sim_pid" 2>/dev/null
    fi
    rm -f "$com_link"
    wine_env_stop
    rm -rf "$work_dir"
}
trap cleanup EXIT
trap 'exit 130' INT TERM

# The server must be up before the device opens its pseudo-terminal.
wine_env_start || { echo "wine-serial-test: Wine did not start" >&2; exit 1; }

"$devsim" --link "$work_dir/tracker" "${sim_faults[@]}" >"$work_dir/sim.out" 2>"$work_dir/sim.err" &
sim_pid=$!

pty=""
for _ in $(seq 100); do
    if read -r word path <"$work_dir/sim.out" 2>/dev/null && [ "$word" = "PORT" ]; then
        pty=$path
        break
    fi
    if ! kill -0 "$sim_pid" 2>/dev/null; then
        break
    fi
    sleep 0.1
done
if [ -z "$pty" ] || [ ! -e "$pty" ]; then
    echo "wine-serial-test: the simulated device did not report its port" >&2
    cat "$work_dir/sim.err" >&2
    exit 1
fi

mkdir -p "$WINEPREFIX/dosdevices"
ln -sfn "$pty" "$com_link"
echo "wine-serial-test: $com_name -> $pty" >&2

TARNWICK_TEST_COM=$com_name wine "$test_exe" "$@" </dev/null
status=$?
if [ $status -ne 0 ]; then
    echo "wine-serial-test: test program failed ($status); device log:" >&2
    cat "$work_dir/sim.err" >&2
fi
exit $status

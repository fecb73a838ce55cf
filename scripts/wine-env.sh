# Sourced, not run: sets up a private Wine environment for one build directory.
#
#   . scripts/wine-env.sh build-windows
#   wine_env_start          # prefix (created once), persistent server, warm-up
#   wine some.exe ...
#   wine_env_stop
#
# An optional second argument names the user of the server (its PID file), so that ctest's
# fixture and a script can each stop only the server they started.
# The server is started here, in the foreground of this shell's session, before anything
# opens a pseudo-terminal: a server that Wine starts on its own detaches, takes the first pty
# it opens as controlling terminal and dies of SIGHUP when the other end closes.

wine_env_build_dir=${1:-${WINE_ENV_BUILD_DIR:-build-windows}}
wine_env_build_dir=$(cd "$wine_env_build_dir" 2>/dev/null && pwd || echo "$wine_env_build_dir")

export WINEPREFIX="$wine_env_build_dir/wine-prefix"
export WINEARCH=win64
export WINEDEBUG=-all
# No Mono or Gecko installer prompts; no crash debugger popping up for every failing program.
export WINEDLLOVERRIDES="mscoree,mshtml=;winedbg.exe=d"

WINE_ENV_SERVER_PID=""
WINE_ENV_SERVER_PID_FILE="$wine_env_build_dir/wineserver${2:+-$2}.pid"

wine_env_log() { echo "wine-env: $*" >&2; }

# Creates the prefix once; later calls find it ready.
wine_env_init() {
    if [ -f "$WINEPREFIX/system.reg" ] && [ -d "$WINEPREFIX/dosdevices" ]; then
        return 0
    fi
    mkdir -p "$wine_env_build_dir" || return 1
    wine_env_log "creating prefix $WINEPREFIX"
    wineboot --init </dev/null >/dev/null 2>&1
    wineserver -w
    [ -f "$WINEPREFIX/system.reg" ]
}

# The server socket for a server directory name, newer than the file $2 when given. Wine
# keeps it under /tmp/.wine-UID or, on some builds, a /tmp/wine-XXXXXX directory.
wine_env_socket() {
    local candidate
    for candidate in /tmp/.wine-"$(id -u)"/"$1"/socket /tmp/wine-*/"$1"/socket; do
        if [ -S "$candidate" ] && { [ -z "${2:-}" ] || [ "$candidate" -nt "$2" ]; }; then
            echo "$candidate"
            return 0
        fi
    done
    return 1
}

# Starts `wineserver -f -p` in the background and remembers its PID (also in a file, for a
# later shell or a test fixture to stop it).
wine_env_start_server() {
    if [ -n "$WINE_ENV_SERVER_PID" ] && kill -0 "$WINE_ENV_SERVER_PID" 2>/dev/null; then
        return 0
    fi
    # The server is up once it has made a fresh socket, in a directory named after the
    # prefix's device and inode numbers (a socket left by a killed server is stale).
    local server_dir marker="$wine_env_build_dir/.wineserver-start" tries=0
    # shellcheck disable=SC2046
    server_dir=$(printf 'server-%x-%x' $(stat -c '%d %i' "$WINEPREFIX"))
    touch "$marker"
    sleep 0.05
    wineserver -f -p </dev/null >/dev/null 2>&1 &
    WINE_ENV_SERVER_PID=$!
    echo "$WINE_ENV_SERVER_PID" >"$WINE_ENV_SERVER_PID_FILE"
    while [ $tries -lt 50 ]; do
        if ! kill -0 "$WINE_ENV_SERVER_PID" 2>/dev/null; then
            wait "$WINE_ENV_SERVER_PID" 2>/dev/null
            WINE_ENV_SERVER_PID=""
            rm -f "$WINE_ENV_SERVER_PID_FILE"
            # A server of someone else's already serves this prefix: use it, never stop it.
            if wine_env_socket "$server_dir" >/dev/null; then
                return 0
            fi
            wine_env_log "wineserver exited at once"
            return 1
        fi
        if [ "$(wine_env_socket "$server_dir" "$marker")" ]; then
            return 0
        fi
        sleep 0.1
        tries=$((tries + 1))
    done
    return 0
}

# The first program after a server start spawns background services that keep its output
# open; run a throw-away one so that they never hold a test runner's pipe.
wine_env_warm_up() {
    wine cmd /c exit </dev/null >/dev/null 2>&1
}

wine_env_start() {
    wine_env_init || { wine_env_log "prefix creation failed"; return 1; }
    wine_env_start_server || return 1
    wine_env_warm_up
}

# Stops the server only if this user started it.
wine_env_stop() {
    local pid=$WINE_ENV_SERVER_PID
    if [ -z "$pid" ] && [ -f "$WINE_ENV_SERVER_PID_FILE" ]; then
        pid=$(cat "$WINE_ENV_SERVER_PID_FILE")
    fi
    if [ -n "$pid" ]; then
        wineserver -k >/dev/null 2>&1
        local tries=0
        while kill -0 "$pid" 2>/dev/null; do
            if [ $tries -ge 50 ]; then
                kill "$pid" 2>/dev/null
                break
            fi
            sleep 0.1
            tries=$((tries + 1))
        done
        wait "$pid" 2>/dev/null
    fi
    rm -f "$WINE_ENV_SERVER_PID_FILE"
    WINE_ENV_SERVER_PID=""
}

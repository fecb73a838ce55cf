#!/usr/bin/env bash
# Installs the .deb with apt-get, uses what it installed, then removes it.
# usage: deb-test.sh PACKAGE.deb
set -uo pipefail
deb=$(realpath "$1")
failures=0
check() { # DESCRIPTION COMMAND...
    if "${@:2}"; then echo "ok: $1"; else echo "FAILED: $1"; failures=$((failures + 1)); fi
}
completes() { # WORDS... EXPECTED: what bash completion offers for the last word
    local expected=${*: -1} words=("${@:1:$#-1}")
    local offered
    offered=$(bash -c 'source /usr/share/bash-completion/bash_completion
        source /usr/share/bash-completion/completions/tarnwick-cli
        COMP_WORDS=("$@"); COMP_CWORD=$(($# - 1)); COMP_LINE="$*"; COMP_POINT=${#COMP_LINE}
        _tarnwick_cli; echo "${COMPREPLY[*]}"' _ "${words[@]}")
    [[ $offered == "$expected" ]] || { echo "  offered '$offered', expected '$expected'"; false; }
}

DEBIAN_FRONTEND=noninteractive apt-get install -y --no-install-recommends "$deb" >/dev/null ||
    { echo "FAILED: apt-get install $deb"; exit 1; }
check "installed version" test "$(tarnwick-cli --version)" = "tarnwick-cli 4.3.4"
check "devsim version" test "$(tarnwick-devsim --version)" = "tarnwick-devsim 4.3.4"
check "reads the simulated master flag" \
    test "$(tarnwick-cli --simulate get master-flag 2>/dev/null)" = "master-flag=1"
check "man pages" test -s /usr/share/man/man1/tarnwick-cli.1 -a -s /usr/share/man/man1/tarnwick-devsim.1
check "completes commands" completes tarnwick-cli read "read-all"
check "completes options" completes tarnwick-cli --si "--simulate --sim-fault"
check "completes setting names" completes tarnwick-cli --simulate get mqtt-p "mqtt-password mqtt-port"
check "completes provision options" completes tarnwick-cli provision --ov "--overrides --overrides-required"
check "declares its libraries" bash -c "dpkg-query -W -f='\${Depends}' tarnwick | grep -q libstdc++6"

DEBIAN_FRONTEND=noninteractive apt-get remove -y tarnwick >/dev/null
check "removed" test ! -e /usr/bin/tarnwick-cli -a ! -e /usr/share/man/man1/tarnwick-cli.1
echo "deb-test: $failures failed"
((failures == 0))

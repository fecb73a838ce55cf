# bash completion for tarnwick-cli: commands, options, and the setting names, which the
# installed tool itself lists, so they never go out of step with it.
_tarnwick_cli() {
    local cur prev words cword
    _init_completion -n = || return
    local commands="ports raw get set names read-all load-all diff test versions provision"
    local options="--port --simulate --sim-fault --json --trace --help --version"
    case $prev in
    --port)
        COMPREPLY=($(compgen -f -- "$cur"))
        return
        ;;
    --output | load-all | --overrides | --audit)
        _filedir
        return
        ;;
    test)
        COMPREPLY=($(compgen -W "led-green led-red voice vibro" -- "$cur"))
        return
        ;;
    esac
    local word command=""
    for word in "${words[@]:1:cword-1}"; do
        case " $commands " in *" $word "*) command=$word ;; esac
    done
    case $command in
    "")
        COMPREPLY=($(compgen -W "$commands $options" -- "$cur"))
        ;;
    get | set)
        local names
        names=$("${words[0]}" names 2>/dev/null | awk '{ print $1 }')
        [[ $command == set ]] && compopt -o nospace
        COMPREPLY=($(compgen -W "$names" -S "$([[ $command == set ]] && echo =)" -- "$cur"))
        ;;
    read-all)
        COMPREPLY=($(compgen -W "--output --help" -- "$cur"))
        ;;
    provision)
        COMPREPLY=($(compgen -W "--port --all-usb --jobs --overrides --overrides-required
            --audit --require-fw --watch --retry --help" -- "$cur"))
        [[ $cur == -* ]] || _filedir
        ;;
    *)
        COMPREPLY=($(compgen -W "--help" -- "$cur"))
        ;;
    esac
}
complete -F _tarnwick_cli tarnwick-cli

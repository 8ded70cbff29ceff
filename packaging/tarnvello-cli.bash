# SPDX-License-Identifier: GPL-3.0-or-later
# bash completion for tarnvello-cli: commands, options, coin data files (.cdt) and serial
# devices (or Com1..Com9, as the program's settings map them) after --port.
_tarnvello_cli()
{
    local cur prev words cword
    _init_completion || return

    case $prev in
        --port)
            local devices
            devices=$(compgen -G '/dev/ttyUSB*'; compgen -G '/dev/ttyACM*'; compgen -G '/dev/ttyS*';
                      compgen -G '/dev/serial/by-id/*')
            COMPREPLY=($(compgen -W "Com1 Com2 Com3 Com4 Com9 $devices" -- "$cur"))
            return
            ;;
        -o | --output)
            _filedir cdt
            return
            ;;
        --since)
            return
            ;;
    esac

    local command="" word
    for word in "${words[@]:1:cword-1}"; do
        case $word in
            read | program | diff | show | ports | log | check | help) command=$word; break ;;
        esac
    done

    if [[ $cur == -* ]]; then
        local options="--json --trace --help --version"
        case $command in
            read) options+=" --port -o --output" ;;
            program) options+=" --port --verify" ;;
            diff | check) options+=" --port" ;;
            log) options+=" --since" ;;
        esac
        COMPREPLY=($(compgen -W "$options" -- "$cur"))
    elif [[ -z $command ]]; then
        COMPREPLY=($(compgen -W "read program diff show ports log check help" -- "$cur"))
    elif [[ $command != read && $command != ports && $command != log && $command != check && $command != help ]]; then
        _filedir cdt
    fi
} &&
    complete -F _tarnvello_cli tarnvello-cli

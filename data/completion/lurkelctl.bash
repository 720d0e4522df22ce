# bash completion for lurkelctl                                         -*- shell-script -*-

_lurkelctl()
{
    local cur prev words cword
    _init_completion || return

    local commands="search copy move trash hide unhide hidden memory disk login version"
    if ((cword == 1)); then
        COMPREPLY=($(compgen -W "$commands --help --version" -- "$cur"))
        return
    fi

    local command=${words[1]}
    case $prev in
        --filter)
            # a comma-separated list: complete the part after the last comma
            local listed=""
            [[ $cur == *,* ]] && listed=${cur%,*},
            COMPREPLY=($(compgen -P "$listed" -W "regular hidden package" -- "${cur##*,}"))
            compopt -o nospace 2>/dev/null
            return
            ;;
        --from0 | --results)
            _filedir
            return
            ;;
    esac

    if [[ $cur == -* ]]; then
        local options="--help"
        case $command in
            search) options+=" -0 --json --filter --count --" ;;
            copy | move | trash) options+=" --print -0 --from0 --results --" ;;
            hide | unhide) options+=" --print -0 --" ;;
            memory) options+=" --purge" ;;
            disk) options+=" --json" ;;
        esac
        COMPREPLY=($(compgen -W "$options" -- "$cur"))
        return
    fi

    case $command in
        hidden)
            ((cword == 2)) && COMPREPLY=($(compgen -W "status toggle show hide" -- "$cur"))
            ;;
        login)
            ((cword == 2)) && COMPREPLY=($(compgen -W "on off status" -- "$cur"))
            ;;
        disk)
            # WHAT, then a folder after "size"
            if [[ $prev == size ]]; then
                _filedir -d
            elif [[ " ${words[*]:2:cword-2} " != *" "@(junk|apps|large|duplicates|size)" "* ]]; then
                COMPREPLY=($(compgen -W "junk apps large duplicates size" -- "$cur"))
            fi
            ;;
        memory | version) ;;
        search)
            # TEXT first, then the folder
            local i args=0
            for ((i = 2; i < cword; i++)); do
                [[ ${words[i]} == -* || ${words[i - 1]} == --filter ]] || ((args++))
            done
            ((args >= 1)) && _filedir -d
            ;;
        *)
            _filedir
            ;;
    esac
} &&
    complete -F _lurkelctl lurkelctl

# ex: filetype=sh

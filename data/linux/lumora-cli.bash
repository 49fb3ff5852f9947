# Bash completion for lumora-cli. The commands and their options are read
# from the program's own help, so they stay in step with it.

_lumora_cli_words() {
    "$1" "${@:2}" --help 2>/dev/null | grep -oE -- '(^|[ ,])--?[A-Za-z0-9][A-Za-z0-9-]*' |
        sed -E 's/^[ ,]//' | sort -u
}

_lumora_cli_commands() {
    "$1" --help 2>/dev/null | sed -n '/^Subcommands:/,$p' | awk 'NR > 1 && /^  [a-z]/ {print $1}'
}

_lumora_cli() {
    local cur prev cmd="" i
    COMPREPLY=()
    cur=${COMP_WORDS[COMP_CWORD]}
    prev=${COMP_WORDS[COMP_CWORD - 1]}
    local prog=${COMP_WORDS[0]}
    for ((i = 1; i < COMP_CWORD; i++)); do
        case ${COMP_WORDS[i]} in
        -*) ;;
        *) cmd=${COMP_WORDS[i]}; break ;;
        esac
    done
    if [[ -z $cmd ]]; then
        if [[ $cur == -* ]]; then
            mapfile -t COMPREPLY < <(compgen -W "$(_lumora_cli_words "$prog")" -- "$cur")
        else
            mapfile -t COMPREPLY < <(compgen -W "$(_lumora_cli_commands "$prog")" -- "$cur")
        fi
        return
    fi
    case $prev in
    -o | --output | --log)
        mapfile -t COMPREPLY < <(compgen -f -- "$cur")
        return ;;
    -d | --dir)
        mapfile -t COMPREPLY < <(compgen -d -- "$cur")
        return ;;
    --align) mapfile -t COMPREPLY < <(compgen -W "left right" -- "$cur"); return ;;
    --filter-mode) mapfile -t COMPREPLY < <(compgen -W "contains exact" -- "$cur"); return ;;
    --design) mapfile -t COMPREPLY < <(compgen -W "1 2 3 4" -- "$cur"); return ;;
    esac
    if [[ $cur == -* ]]; then
        mapfile -t COMPREPLY < <(compgen -W "$(_lumora_cli_words "$prog" "$cmd")" -- "$cur")
    else
        mapfile -t COMPREPLY < <(compgen -f -- "$cur")
    fi
}

complete -o filenames -o bashdefault -F _lumora_cli lumora-cli

# bash completion for quil: its options, the values some of them take, and
# files and folders for the rest.
_quil() {
    local cur=${COMP_WORDS[COMP_CWORD]} prev=${COMP_WORDS[COMP_CWORD-1]}
    # "--color=al" arrives as three words: --color, =, al.
    if [[ $prev == = && $COMP_CWORD -ge 2 ]]; then
        prev=${COMP_WORDS[COMP_CWORD-2]}
    elif [[ $cur == = ]]; then
        cur=""
    fi
    COMPREPLY=()
    case $prev in
        -d | --max-depth | --start | --step | --replace)
            return ;;
        --scope)
            mapfile -t COMPREPLY < <(compgen -W 'name ext full path' -- "$cur")
            return ;;
        --color | --colour)
            mapfile -t COMPREPLY < <(compgen -W 'auto always never' -- "$cur")
            return ;;
        --filter)
            mapfile -t COMPREPLY < <(compgen -c -- "$cur")
            return ;;
    esac
    if [[ $cur == -* ]]; then
        mapfile -t COMPREPLY < <(compgen -W '-a --all -d --max-depth -D --folders --from -0 --null -n
            --dry-run -y --yes --list --apply --replace --scope -i --ignore-case --start --step --per-folder
            --filter --permanent --undo --history --json --color --no-git -h --help --version' -- "$cur")
        return
    fi
    # PATHs, and the files of --from and --apply: names with spaces kept
    # whole, folders ending in a slash.
    compopt -o filenames 2>/dev/null
    mapfile -t COMPREPLY < <(compgen -f -- "$cur")
}
complete -F _quil quil

#!/usr/bin/env bash
# The shell completions of quil, run by each shell for a few prefixes in a
# folder made for them: options, option values, and paths with spaces.
# Every long option quil --help names is offered by each shell.
# Usage: completions_test.sh COMPLETIONS_FOLDER QUIL
set -uo pipefail
completions=$(cd "$1" && pwd)
options=$("$2" --help | grep -oE -- '--[a-z][a-z-]+' | sort -u)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
mkdir -p "$work/photos 2024" "$work/pics"
touch "$work/notes.txt"
cd "$work" || exit 1
failures=0

expect() {  # SHELL PREFIX ACTUAL EXPECTED...
    local shell=$1 prefix=$2 actual=$3
    shift 3
    for wanted in "$@"; do
        if ! grep -qxF -- "$wanted" <<<"$actual"; then
            echo "FAIL $shell: '$prefix' does not offer '$wanted'; it offers:"
            sed 's/^/    /' <<<"$actual"
            failures=$((failures + 1))
        fi
    done
}

bash_offers() {
    bash -c 'source "$1/quil.bash"
             [ "$(complete -p quil)" = "complete -F _quil quil" ] || echo "not registered"
             shift; COMP_WORDS=(quil "$@"); COMP_CWORD=$#; _quil; printf "%s\n" "${COMPREPLY[@]}"' \
        bash "$completions" "$@"
}
# shellcheck disable=SC2086  # one word per option
expect bash "--" "$(bash_offers --)" $options
expect bash "--sc" "$(bash_offers --sc)" --scope
expect bash "--no" "$(bash_offers --no)" --no-git
expect bash "--scope e" "$(bash_offers --scope e)" ext
expect bash "--color=al" "$(bash_offers --color = al)" always
expect bash "pho" "$(bash_offers pho)" "photos 2024"

fish_offers() { fish -c "source '$completions/quil.fish'; complete -C '$1'" | cut -f1; }
# shellcheck disable=SC2086
expect fish "quil --" "$(fish_offers 'quil --')" $options
expect fish "quil --sc" "$(fish_offers 'quil --sc')" --scope
expect fish "quil --color " "$(fish_offers 'quil --color ')" auto always never
expect fish "quil pho" "$(fish_offers 'quil pho')" "photos 2024/"

# zsh completes only inside its line editor: an interactive zsh in a
# pseudo-terminal runs a completion widget that records what it offers.
zsh_offers() {
    local out="$work/zsh-offers"
    rm -f "$out"
    zsh -f -c '
        zmodload zsh/zpty
        zpty z zsh -f -i
        zpty -w z "fpath=($1 \$fpath); autoload -Uz compinit; compinit -u -D; PROMPT=\"\""
        zpty -w z "record() { compadd() { builtin compadd -O found \"\$@\"; print -rl -- \$found >>$2; builtin compadd \"\$@\" }; _main_complete }"
        zpty -w z "zle -C record-them complete-word record; bindkey \"^T\" record-them"
        zpty -w z "$3"$'"'"'\024'"'"'
        for i in {1..50}; do [[ -s $2 ]] && break; sleep 0.1; done
        sleep 0.2
        zpty -d z' zsh "$completions" "$out" "$1"
    sort -u "$out" 2>/dev/null
}
# shellcheck disable=SC2086
expect zsh "quil --" "$(zsh_offers 'quil --')" $options
expect zsh "quil --sc" "$(zsh_offers 'quil --sc')" --scope
expect zsh "quil --color=" "$(zsh_offers 'quil --color=')" auto always never
expect zsh "quil pho" "$(zsh_offers 'quil pho')" "photos 2024"

[ "$failures" -eq 0 ] && echo "completions: all offered"
exit "$((failures > 0))"

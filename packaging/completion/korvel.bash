# Bash completion for korvel and korvel-dm: commands, options, and the library names of the installation
# the command line names. Installed under both names, so that either command loads it.

# Prints the library names of the installation named by --dm on the command line so far, else by
# $KORVEL_DM, else of the demo installation; nothing when that file cannot be read.
_korvel_libraries()
{
    local file=${KORVEL_DM:-${XDG_DATA_HOME:-$HOME/.local/share}/korvel/demo/installation.ini} i
    for ((i = 1; i < COMP_CWORD; i++)); do
        [[ ${COMP_WORDS[i]} == --dm ]] && file=${COMP_WORDS[i + 1]}
    done
    file=${file/#\~/$HOME}
    [[ -r $file ]] || return 0
    sed -n '/^\[Installation\]/,/^\[/s/^[[:space:]]*Libraries[[:space:]]*=//p' "$file" |
        sed 's/;.*//' | tr ',' '\n' | sed 's/^[[:space:]]*//; s/[[:space:]]*$//; /^$/d'
}

# Sets COMPREPLY to the words of the list "$1" (blank-separated) that start with the current word.
_korvel_reply()
{
    COMPREPLY=($(compgen -W "$1" -- "${COMP_WORDS[COMP_CWORD]}"))
}

_korvel_files()
{
    compopt -o filenames 2>/dev/null
    local IFS=$'\n'
    COMPREPLY=($(compgen "$@" -- "${COMP_WORDS[COMP_CWORD]}"))
}

# The words before the current one that are neither options nor option values: the command and its
# operands.
_korvel_operands()
{
    local i word
    operands=()
    for ((i = 1; i < COMP_CWORD; i++)); do
        word=${COMP_WORDS[i]}
        case $word in
        --dm | --report | --size | --user | --postgresql) ((i++)) ;;
        -* | /*) ;;
        *) operands+=("$word") ;;
        esac
    done
}

_korvel()
{
    local cur=${COMP_WORDS[COMP_CWORD]} prev=${COMP_WORDS[COMP_CWORD - 1]} operands
    COMPREPLY=()
    case $prev in
    --dm | --report)
        _korvel_files -f
        return
        ;;
    esac
    if [[ $cur == -* ]]; then
        _korvel_reply "--dm --batch --yes --dry-run --verbose --log-verbose --log-quiet --report --help --version"
        return
    fi
    [[ " ${COMP_WORDS[*]} " == *" --batch "* ]] || return
    _korvel_operands
    case ${#operands[@]}:${operands[0]} in
    0:*) _korvel_reply "move-folder move-category move-library" ;;
    1:*) _korvel_reply "$(_korvel_libraries)" ;;
    2:move-category) _korvel_reply "public shared" ;;
    2:move-library | 3:move-folder | 3:move-category) _korvel_reply "$(_korvel_libraries)" ;;
    esac
}

_korvel_dm()
{
    local cur=${COMP_WORDS[COMP_CWORD]} prev=${COMP_WORDS[COMP_CWORD - 1]} operands
    COMPREPLY=()
    if ((COMP_CWORD == 1)); then
        _korvel_reply "init-demo tree check sql add-indexes --help --version"
        return
    fi
    case $prev in
    --dm)
        _korvel_files -f
        return
        ;;
    --size)
        _korvel_reply "small large huge"
        return
        ;;
    --user | --postgresql) return ;;
    esac
    local command=${COMP_WORDS[1]}
    if [[ $cur == -* ]]; then
        case $command in
        init-demo) _korvel_reply "--size --user --postgresql" ;;
        tree | check | sql | add-indexes) _korvel_reply "--dm" ;;
        esac
        return
    fi
    _korvel_operands
    case $command:${#operands[@]} in
    init-demo:1) _korvel_files -d ;;
    tree:1 | sql:1) _korvel_reply "$(_korvel_libraries)" ;;
    esac
}

complete -F _korvel korvel
complete -F _korvel_dm korvel-dm

# bash completion for mervo(1) and mervo-split(1)

# Completes the path of -oPATH, the value being part of the same word: folders
# (to go on typing into) and existing PDFs (to append to).
_mervo_output_path()
{
    local path=${1//\\ / } IFS=$'\n' item quoted
    local -a found=()
    for item in $(compgen -d -- "$path"); do
        printf -v quoted %q "$item"
        found+=("-o$quoted/")
    done
    for item in $(compgen -f -X '!*.@(pdf|PDF)' -- "$path"); do
        [[ -d $item ]] && continue
        printf -v quoted %q "$item"
        found+=("-o$quoted")
    done
    # A single finished PDF gets its blank; a folder is typed on into.
    if ((${#found[@]} == 1)) && [[ ${found[0]} != */ ]]; then
        found[0]+=" "
    fi
    COMPREPLY=("${found[@]}")
    compopt -o nospace
}

_mervo()
{
    local cur prev words cword
    _init_completion || return

    case $cur in
        -o*)
            _mervo_output_path "${cur:2}"
            return
            ;;
        -p*)
            COMPREPLY=($(compgen -W '-pall -podd -peven' -- "$cur"))
            return
            ;;
        -*)
            COMPREPLY=($(compgen -W '-a -b -c -d -e -f -n -o -p -q -r -s --dry-run --verbose --help --version' -- "$cur"))
            [[ ${#COMPREPLY[@]} == 1 && ${COMPREPLY[0]} == -[op] ]] && compopt -o nospace
            return
            ;;
    esac
    # Source PDFs and batch files.
    _filedir '@(pdf|PDF|app)'
}
complete -F _mervo mervo

_mervo_split()
{
    local cur prev words cword
    _init_completion || return

    if [[ $prev == -d ]]; then
        _filedir -d
        return
    fi
    if [[ $cur == -* ]]; then
        COMPREPLY=($(compgen -W '-d --help' -- "$cur"))
        return
    fi
    # mervo-split [-d FOLDER] N JOB.app: the batch file comes after the count.
    local i count_seen=
    for ((i = 1; i < cword; i++)); do
        [[ ${words[i]} == -d ]] && { ((i++)); continue; }
        [[ ${words[i]} == +([0-9]) ]] && count_seen=1
    done
    [[ $count_seen ]] && _filedir app
}
complete -F _mervo_split mervo-split

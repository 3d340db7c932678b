# bash completion for Kiv and KivS (installed as both names for the
# bash-completion loader): a word that begins with - completes to the
# options, any other word to file names for Kiv and to nothing for KivS,
# which reads and writes only its standard streams.

_kiv()
{
    local cur prev words cword
    _init_completion || return

    if [[ $cur == -* ]]; then
        COMPREPLY=($(compgen -W '-z -a -r -t -sr -ss -p -sk -st -kr -% -k -rk
            -ek -gk -C -P -J -B -S -D -Du -l -h -H -E -A' -- "$cur"))
        # A name that begins with - but is no option is a file name.
        [[ ${#COMPREPLY[@]} -gt 0 ]] && return
    fi
    [[ ${words[0]##*/} == KivS ]] && return
    _filedir
} &&
    complete -F _kiv Kiv KivS

# SPDX-License-Identifier: MIT
# bash completion for zorvan: commands, options, example names and files.
# Example and format names come from the zorvan being completed, so they are
# never stale.

_zorvan_reply() {
    mapfile -t COMPREPLY < <(compgen "$@")
}

_zorvan_files() {  # [pattern to keep] — folders always, to walk into
    compopt -o filenames 2>/dev/null
    _zorvan_reply -d -- "$cur"
    local files
    mapfile -t files < <(compgen -f ${1:+-X "!$1"} -- "$cur")
    local f
    for f in "${files[@]}"; do [[ -d $f ]] || COMPREPLY+=("$f"); done
}

_zorvan() {
    local cur=${COMP_WORDS[COMP_CWORD]} prev=${COMP_WORDS[COMP_CWORD - 1]}
    COMPREPLY=()
    if ((COMP_CWORD == 1)); then
        _zorvan_reply -W 'apply check eval controls studio demo examples --help --version' -- "$cur"
        return
    fi
    local -A options=(
        [apply]='-r -g -b -a -e -f --filter -x --example --ctl --quality --frames --force --in-place
                 --codec --crf --fps --total
                 -o --out-dir --compression --png-level --lossless --format --no-auto-orient
                 --threads -q --quiet -v --verbose --help'
        [check]='-f --filter --help'
        [eval]='-f --filter -x --example --at --channel --ctl --image --help'
        [controls]='-f --filter -x --example --help'
        [studio]='-f --filter -x --example --port --address --help'
        [demo]='-o --out --threads -q --quiet -v --verbose --help'
        [examples]='--help'
    )
    local command=${COMP_WORDS[1]}
    case $prev in
        -x | --example) [[ $command != check ]] && _zorvan_examples; return ;;
        --image) _zorvan_files; return ;;
        -f | --filter) _zorvan_files '*.zvf'; return ;;
        --format) _zorvan_formats; return ;;
        -o | --out | --out-dir) compopt -o filenames 2>/dev/null; _zorvan_reply -d -- "$cur"; return ;;
        --channel) _zorvan_reply -W '0 1 2 3' -- "$cur"; return ;;
        --codec) _zorvan_reply -W 'h264 h264rgb vp9 ffv1' -- "$cur"; return ;;
        -r | -g | -b | -a | -e | --ctl | --at | --quality | --frames | --threads | --port | --address | --compression | --png-level | --crf | --fps | --total) return ;;
    esac
    if [[ $cur == -* ]]; then
        _zorvan_reply -W "${options[$command]}" -- "$cur"
        return
    fi
    case $command in
        apply | studio) _zorvan_files ;;
        # Every word after check's -f is a filter file.
        check) [[ " ${COMP_WORDS[*]:2:COMP_CWORD-2} " =~ \ (-f|--filter)\  ]] && _zorvan_files '*.zvf' ;;
        examples) _zorvan_examples ;;
    esac
}

_zorvan_examples() {
    local names
    names=$("${COMP_WORDS[0]}" examples 2>/dev/null | cut -d ' ' -f 1)
    _zorvan_reply -W "$names" -- "$cur"
}

_zorvan_formats() {  # as apply --help lists them: --format TEXT:{png,jpg,...}
    local names
    names=$("${COMP_WORDS[0]}" apply --help 2>/dev/null |
        sed -n 's/.*--format TEXT:{\([^}]*\)}.*/\1/p' | tr , ' ')
    _zorvan_reply -W "$names" -- "$cur"
}

complete -F _zorvan zorvan

#!/usr/bin/env bash
# Runs the bash completion for quorix as bash-completion runs it, on command
# lines a person types, and compares the candidates it offers.
# Usage: quorix-completion-test.sh COMPLETION_FILE QUORIX_PROGRAM
set -uo pipefail

completion_file=$1
program=$2
bash_completion=/usr/share/bash-completion/bash_completion
if [[ ! -r $bash_completion ]]; then
    echo "SKIP: $bash_completion is not installed (package bash-completion)"
    exit 77
fi
# shellcheck source=/dev/null
source "$bash_completion"
# shellcheck source=/dev/null
source "$completion_file"

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cd "$work" || exit 1
mkdir albums
touch holiday.jpg hat.jpg notes.txt albums/beach.jpg

failures=0

# complete LINE: the sorted candidates for the end of LINE (a trailing space
# means a new, empty word).
complete_line()
{
    local line=$1
    read -ra COMP_WORDS <<<"$line"
    [[ $line == *" " ]] && COMP_WORDS+=("")
    COMP_CWORD=$((${#COMP_WORDS[@]} - 1))
    COMP_LINE=$line
    COMP_POINT=${#line}
    COMPREPLY=()
    _quorix quorix "${COMP_WORDS[COMP_CWORD]}" "${COMP_WORDS[COMP_CWORD - 1]}"
    printf '%s\n' "${COMPREPLY[@]}" | sort | paste -sd' ' -
}

expect()
{
    local line=$1 wanted=$2 got
    got=$(complete_line "$line")
    if [[ $got != "$wanted" ]]; then
        echo "FAIL: '$line': expected [$wanted], got [$got]"
        failures=$((failures + 1))
    else
        echo "ok: '$line' -> [$got]"
    fi
}

# The subcommands and the program's own options.
expect "quorix " "info places settings"
expect "quorix i" "info"
expect "quorix --" "--help --version"

# info: its options, then the files and folders of the current folder.
expect "quorix info --" "-- --csv --help --jobs --json --recursive"
expect "quorix info --r" "--recursive"
expect "quorix info -j " "$(seq 1 "$(nproc)" | paste -sd' ' -)"
expect "quorix info --jobs 1" "1"
expect "quorix info -r -j 2 " "albums hat.jpg holiday.jpg notes.txt"
expect "quorix info h" "hat.jpg holiday.jpg"
expect "quorix info --json " "albums hat.jpg holiday.jpg notes.txt"
expect "quorix info holiday.jpg albums/" "albums/beach.jpg"
expect "quorix info -- --" ""
# places: the same, without info's output forms.
expect "quorix p" "places"
expect "quorix places --" "-- --help --jobs --recursive"
expect "quorix places -r -j 2 " "albums hat.jpg holiday.jpg notes.txt"

# settings: the three names, then the two values, then nothing.
expect "quorix settings " "quorix_mapsapp_querylocation quorix_mapview_retrieveaddress quorix_stamp_enabled"
expect "quorix settings quorix_s" "quorix_stamp_enabled"
expect "quorix settings quorix_stamp_enabled " "false true"
expect "quorix settings quorix_stamp_enabled t" "true"
expect "quorix settings quorix_stamp_enabled true " ""
expect "quorix settings --" "--help"

# The names offered are the names the program knows, in any order.
known=$(XDG_CONFIG_HOME="$work/config" "$program" settings | cut -d' ' -f1 | sort | paste -sd' ' -)
expect "quorix settings " "$known"

if ((failures)); then
    echo "$failures completion(s) wrong"
    exit 1
fi

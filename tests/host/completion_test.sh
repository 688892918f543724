#!/usr/bin/env bash
# The bash completion of devgroup, as bash calls it: the words offered for
# a command line with the cursor at its end.
#   completion_test.sh COMPLETION_FILE
set -uo pipefail
source "$1" || exit 1
cd "$(mktemp -d)" || exit 1
trap 'rm -rf "$PWD"' EXIT
mkdir folder
touch file.csv

failures=0
cases=0
# expect "WORDS OF THE LINE" "what COMPREPLY should hold"; the last word of
# the line is the one being completed ("" for a new word).
expect() {
    local line=$1 want=$2
    cases=$((cases + 1))
    read -ra COMP_WORDS <<< "$line"
    [[ $line == *" " ]] && COMP_WORDS+=("")
    COMP_CWORD=$(( ${#COMP_WORDS[@]} - 1 ))
    _devgroup
    local got="${COMPREPLY[*]}"
    if [[ $got != "$want" ]]; then
        echo "FAIL: '$line': got '$got', want '$want'"
        failures=$((failures + 1))
    fi
}

expect "devgroup st" "store"
expect "devgroup store " "status init copy"
expect "devgroup " "init export import log jobs sites history report store"
expect "devgroup --ro" "--root"
# Every option and its short form; only options after a '-'.
expect "devgroup --he" "--help"
expect "devgroup -V" "-V"
# An option's value is no command word, given apart or after '='.
expect "devgroup --root /tmp exp" "export"
expect "devgroup --root = /tmp exp" "export"
expect "devgroup --user ADAM store c" "copy"
# Values: a folder, a file, or nothing to offer.
expect "devgroup --root " "folder"
expect "devgroup --module fi" "file.csv"
expect "devgroup --user " ""
expect "devgroup import devices fi" "file.csv"
expect "devgroup log " ""

echo "$((cases - failures)) passed, $failures failed"
(( failures == 0 ))

#!/usr/bin/env bash
# Runs every `console` block of README.md and compares what it prints with
# what the README shows. Lines starting with "$ " are commands (a trailing
# backslash continues them); the lines up to the next command are its output.
# psql and mysql stand in for a catalog holding tests/data/job42.tsv.
#
# usage: tests/readme_recipes.sh DIRECTORY_OF_BUILT_TOOLS
set -euo pipefail

tools=$(cd "$1" && pwd)
here=$(cd "$(dirname "$0")" && pwd)
readme=$here/../README.md
export PATH="$tools:$PATH" CATALOG="$here/data/job42.tsv"
psql() { cat "$CATALOG"; }
mysql() { cat "$CATALOG"; }
export -f psql mysql

failures=0
checked=0
command=""
expected=""

check() {
    [ -n "$command" ] || return 0
    local actual
    actual=$(bash -o pipefail -c "$command" 2>&1) || actual+=$'\n'"(exit status $?)"
    checked=$((checked + 1))
    if [ "$actual" != "${expected%$'\n'}" ]; then
        failures=$((failures + 1))
        printf 'README recipe failed:\n%s\n--- expected\n%s--- got\n%s\n' "$command" "$expected" "$actual"
    fi
    command=""
    expected=""
}

in_block=false
continuing=false
while IFS= read -r line; do
    if ! $in_block; then
        [ "$line" = '```console' ] && in_block=true
        continue
    fi
    if [ "$line" = '```' ]; then
        check
        in_block=false
    elif $continuing; then
        command+=$'\n'"$line"
        [[ $line == *\\ ]] || continuing=false
    elif [[ $line == '$ '* ]]; then
        check
        command=${line#'$ '}
        [[ $line == *\\ ]] && continuing=true
    else
        expected+="$line"$'\n'
    fi
done < "$readme"

echo "README recipes: $checked run, $failures failed"
[ "$checked" -gt 0 ] && [ "$failures" -eq 0 ]

#!/usr/bin/env bash
# Runs the `console` blocks of README.md that use CLIENT and compares what
# each command prints with what the README shows. Lines starting with "$ "
# are commands (a trailing backslash continues them); the lines up to the
# next command are its output. A command belongs to psql, mysql or sqlite3
# when it runs that client, which then must reach a catalog holding
# the fixture (tests/catalog): a server, or for sqlite3 a database bacula.db
# in the working directory, which --catalog=sqlite:bacula.db reads too;
# every other command belongs to "none".
#
# usage: tests/readme_recipes.sh DIRECTORY_OF_BUILT_TOOLS psql|mysql|sqlite3|none
set -euo pipefail

tools=$(cd "$1" && pwd)
wanted=$2
here=$(cd "$(dirname "$0")" && pwd)
readme=$here/../README.md
export PATH="$tools:$PATH"

failures=0
checked=0
# Where the recipes run: a directory of their own, with the SQLite catalog
# of the working directory, if there is one.
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
[ -e bacula.db ] && ln -s "$PWD/bacula.db" "$scratch/bacula.db"
ln -s "$here/../contrib" "$scratch/contrib" # the README makes a catalog with it
command=""
expected=""

check() {
    # The client that the command runs first, where a command may start: at
    # the start, or after a pipe, a ;, a ( or a process substitution.
    local client=none
    if [[ $command =~ (^|[\|\(\;])[[:space:]]*(psql|mysql|sqlite3)[[:space:]] ]]; then
        client=${BASH_REMATCH[2]}
    elif [[ $command == *--catalog=sqlite:bacula.db* ]]; then
        client=sqlite3 # the tool reads the SQLite catalog itself
    fi
    if [ -n "$command" ] && [ "$client" = "$wanted" ]; then
        local actual
        # The sqlite3 recipes load the installed extension; tests load the
        # one they built.
        if [ "$client" = sqlite3 ] && [ -n "${B64NUM_SQLITE_EXTENSION:-}" ]; then
            command=${command//\/usr\/lib\/sqlite3\/b64num/$B64NUM_SQLITE_EXTENSION}
        fi
        # Every command of the pipeline must succeed; a SIGPIPE (status 141)
        # is how one upstream of `head` ends normally, and --diff exits 1
        # where its inputs differ, as diff does. The files that recipes
        # write go to a directory of their own.
        local differ=0
        [[ $command == *"b64num-lstat --"*diff* ]] && differ=1
        actual=$(cd "$scratch" && bash -c "$command"'
            for status in "${PIPESTATUS[@]}"; do
                [ "$status" = 0 ] || [ "$status" = 141 ] || [ "$status" = '"$differ"' ] || exit "$status"
            done' 2>&1) || actual+=$'\n'"(exit status $?)"
        checked=$((checked + 1))
        if [ "$actual" != "${expected%$'\n'}" ]; then
            failures=$((failures + 1))
            printf 'README recipe failed:\n%s\n--- expected\n%s--- got\n%s\n' "$command" "$expected" "$actual"
        fi
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

echo "README recipes for $wanted: $checked run, $failures failed"
[ "$checked" -gt 0 ] && [ "$failures" -eq 0 ]

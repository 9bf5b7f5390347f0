#!/usr/bin/env bash
# The progress line: with --progress, on standard error once the reading
# passes a second, erased at the end; never on standard output, which is
# what it is without it; and not shown where standard error is no terminal.
#
# usage: tests/progress_test.sh B64NUM_LSTAT
set -euo pipefail
lstat=$1
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cd "$work"
rows() { # $1 rows of files /p/N
    awk -v n="$1" -v from="$2" 'BEGIN { for (i = from; i < from + n; ++i) printf "/p/%d\tA A IGk B A A A BAA A A A A A\n", i }'
}
slow() { rows 5000 0; sleep 1.2; rows 5000 5000; }
failures=0
slow | "$lstat" --progress --du > shown.out 2> shown.err
slow | "$lstat" --du > quiet.out 2> quiet.err
cmp -s shown.out quiet.out || { echo "progress_test.sh: --progress changed standard output" >&2; failures=1; }
[ ! -s quiet.err ] || { echo "progress_test.sh: a progress line where standard error is a file" >&2; failures=1; }
# Shown after the second, at a row counted, and erased at the end.
if ! grep -q $'\r\e\\[Kb64num-lstat: 8192 rows, [0-9]* rows/s' shown.err ||
    [ "$(tail -c 4 shown.err | od -An -c | tr -d ' ')" != '\r033[K' ]; then
    echo "progress_test.sh: no progress line, or one left behind: $(od -c shown.err | head)" >&2
    failures=1
fi
[ "$failures" = 0 ]

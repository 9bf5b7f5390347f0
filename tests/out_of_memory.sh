#!/usr/bin/env bash
# A job larger than the memory allowed: b64num-lstat says "memory
# exhausted" and exits with status 1, as coreutils' xalloc_die does, where
# it aborted on std::bad_alloc and lost its buffered output. Not under the
# sanitizers, whose shadow memory cannot be mapped within such a limit.
#
# usage: tests/out_of_memory.sh B64NUM_LSTAT
set -euo pipefail
lstat=$1
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
value='gB FCsB IGk B Po Po A EAAA BAA gA BpOlsk BpOd3A BpOd3A A A C'
# 300,000 files in 1,000 directories: some 40 MiB of tree, past the 20 MiB
# of address space given below, where the program itself needs under 10.
awk -v value="$value" 'BEGIN { for (i = 0; i < 300000; i++) printf "/d/%d/f%d\t%s\n", i % 1000, i, value }' \
    > "$work/rows.tsv"
status=0
(ulimit -v 20000 && exec "$lstat" --du=0 "$work/rows.tsv") > "$work/out" 2> "$work/err" || status=$?
if [ "$status" != 1 ] || [ "$(cat "$work/err")" != "b64num-lstat: memory exhausted" ]; then
    echo "out_of_memory.sh: status $status, and on standard error: $(cat "$work/err")" >&2
    exit 1
fi
# Within the limit, the same program totals a small job.
(ulimit -v 20000 && exec "$lstat" --du=0 <(head -n 1000 "$work/rows.tsv")) > "$work/out"
[ "$(cat "$work/out")" = $'1048576000\t/d' ] || { echo "out_of_memory.sh: $(cat "$work/out")" >&2; exit 1; }
echo "b64num-lstat runs out of memory loudly"

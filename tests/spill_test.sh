#!/usr/bin/env bash
# The sort of the tree modes, spilled to temporary files with a tiny -S:
# the same reports as in memory, and no temporary file left behind after
# success, after a refused total, after SIGTERM and after SIGKILL (the
# files have no name while the run holds them open). A full disk is
# reported, and no report is printed. Mounts a tmpfs for the full disk, as
# root; needs python3.
#
# usage: tests/spill_test.sh B64NUM_LSTAT
set -euo pipefail
lstat=$1
contrib=$(cd "$(dirname "$0")/../contrib" && pwd)
command -v python3 > /dev/null || { echo "spill_test.sh: python3 is missing" >&2; exit 1; }
work=$(mktemp -d)
full=$work/full
cleanup() {
    mountpoint -q "$full" 2> /dev/null && umount "$full"
    rm -rf "$work"
}
trap cleanup EXIT
cd "$work"
mkdir spill "$full"
failures=0
fail() {
    echo "spill_test.sh: $*" >&2
    failures=$((failures + 1))
}
# No file is left in the directory of the runs.
left_nothing() {
    [ -z "$(ls -A spill)" ] || fail "$1: left $(ls -A spill)"
}

# Catalog rows of 4,000 files in 40 directories, in a shuffled order, the
# first five of each directory hard links of five inodes, and a job whose
# total passes 2^63 - 1.
python3 - "$contrib" <<'PY'
import random, sys
sys.path.insert(0, sys.argv[1])
from tree_catalog import lstat_value
def row(path, directory, size, ino, nlink=1):
    mode = 0o40755 if directory else 0o100644
    fields = [2049, ino, mode, nlink, 1000, 1000, 0, size, 4096, (size + 511) // 512, 0, 1700000000, 0]
    return path + "\t" + lstat_value(fields) + "\n"
random.seed(5)
rows = [row("/srv/", True, 4096, 1)]
for d in range(40):
    rows.append(row("/srv/d%d/" % d, True, 4096, 2 + d))
    rows += [row("/srv/d%d/f%d" % (d, f), False, 1000 + f, 50000 + f, 40) for f in range(5)]
    rows += [row("/srv/d%d/f%d" % (d, f), False, random.randrange(10**6), 100 + d * 100 + f)
             for f in range(5, 100)]
random.shuffle(rows)
open("rows.tsv", "w").writelines(rows)
open("huge.tsv", "w").writelines(rows + [row("/srv/big%d" % i, False, 2**62, 9 + i) for i in range(2)])
PY

# Over one job, and over the same rows twice (a path given twice is refused,
# or a later version): the same output, messages and status.
for mode in --du --du=1 --by=type,uid "--du --latest" "--du --all-versions" --treemap; do
    for inputs in rows.tsv "rows.tsv rows.tsv"; do
        # shellcheck disable=SC2086 # the mode's and the inputs' words
        in_memory=$("$lstat" $mode $inputs 2>&1; echo "status $?")
        # shellcheck disable=SC2086
        spilled=$("$lstat" $mode -S 1K -T spill $inputs 2>&1; echo "status $?")
        [ "$in_memory" = "$spilled" ] || fail "$mode over $inputs: spilled runs give another report"
        left_nothing "$mode"
    done
done

# --diff sorts both jobs together, and holds its report until it is whole.
for mode in --diff "--diff --summary" "--diff --json --latest"; do
    # shellcheck disable=SC2086 # the mode's words
    in_memory=$("$lstat" $mode rows.tsv huge.tsv 2>&1; echo "status $?")
    # shellcheck disable=SC2086
    spilled=$("$lstat" $mode -S 1K -T spill rows.tsv huge.tsv 2>&1; echo "status $?")
    [ "$in_memory" = "$spilled" ] || fail "$mode: spilled runs give another report"
    left_nothing "$mode"
done

# A report that fits in memory needs no temporary file, nor does a sort
# that fits in the buffer.
status=0
"$lstat" --diff -T "$work/none" rows.tsv huge.tsv > small 2> message || status=$?
if [ "$status" != 1 ] || [ "$(wc -l < small)" != 2 ]; then
    fail "--diff without a temporary directory: status $status, $(cat message)"
fi

status=0
"$lstat" --du -S 1K -T spill huge.tsv > refused 2> message || status=$?
if [ "$status" != 1 ] || [ -s refused ]; then
    fail "a total past 2^63 - 1: status $status, $(wc -c < refused) bytes printed"
fi
left_nothing "a refused total"

# Killed while it waits for more rows, with runs spilled: they were open
# in the run, and nothing is left.
for signal in TERM KILL; do
    mkfifo rows.fifo
    "$lstat" --du -S 1K -T spill < rows.fifo > /dev/null 2>&1 &
    pid=$!
    exec 3> rows.fifo
    cat rows.tsv >&3
    runs=0
    for _ in $(seq 1 400); do
        # find fails where a descriptor closes as it reads them: try again.
        runs=$({ find /proc/$pid/fd -lname "$work/spill/*" 2> /dev/null || true; } | wc -l)
        [ "$runs" -gt 0 ] && break
        sleep 0.05
    done
    [ "$runs" -gt 0 ] || fail "SIG$signal: no run held open before the signal"
    kill -s "$signal" "$pid"
    exec 3>&-
    { wait "$pid" || true; } 2> /dev/null
    left_nothing "SIG$signal"
    rm rows.fifo
done

# A disk too small for the runs.
mount -t tmpfs -o size=64k tmpfs "$full"
status=0
"$lstat" --du -S 1K -T "$full" rows.tsv > nothing 2> message || status=$?
grep -q "No space left on device" message || fail "a full disk: $(cat message)"
if [ "$status" != 1 ] || [ -s nothing ]; then
    fail "a full disk: status $status, $(wc -c < nothing) bytes printed"
fi
status=0
"$lstat" --diff -S 1K -T "$full" rows.tsv huge.tsv > nothing 2> message || status=$?
grep -q "No space left on device" message || fail "--diff, a full disk: $(cat message)"
if [ "$status" != 2 ] || [ -s nothing ]; then
    fail "--diff, a full disk: status $status, $(wc -c < nothing) bytes printed"
fi
[ -z "$(ls -A "$full")" ] || fail "a full disk: left $(ls -A "$full")"

[ "$failures" = 0 ]

#!/usr/bin/env bash
# Builds a small real tree with every kind of entry and name (see
# real_tree.sh), makes its catalog rows
# from lstat(2) in a shuffled order, and compares b64num-lstat --du with
# du -b at two depths, --du --disk-usage with du -B1 and du -h, and
# b64num-lstat --ncdu with ncdu -e -o-, entry by entry; then gdu opens the
# export, and its totals and directories are du's. The rows in path order
# give du's numbers with --sorted too, and --by's. Needs du, ncdu, gdu and
# python3.
#
# usage: tests/du_ncdu_test.sh B64NUM_LSTAT TREE_ROWS
set -euo pipefail
lstat=$1
tree_rows=$2
for program in du ncdu gdu python3; do
    command -v "$program" > /dev/null || { echo "du_ncdu_test.sh: $program is missing" >&2; exit 1; }
done
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
# shellcheck source=tests/real_tree.sh
source "$(dirname "$0")/real_tree.sh"

top=$work/top
make_real_tree "$top"
cd "$work"

"$tree_rows" "$top" > rows.tsv
rows=rows.tsv
failures=0
# --du beside du: OPTIONS of ours, --, du's.
compare_du() {
    local ours=()
    while [ "$1" != -- ]; do
        ours+=("$1")
        shift
    done
    shift
    "$lstat" "${ours[@]}" "$rows" > du.tsv
    du "$@" -0 "$top" > du.real
    python3 - du.tsv du.real <<'PY' || { echo "for ${ours[*]}" >&2; failures=$((failures + 1)); }
import re, sys
def unescape(path):  # as COPY escaped it
    table = {"\\": "\\", "n": "\n", "r": "\r", "t": "\t", "b": "\b", "f": "\f", "v": "\v"}
    return re.sub(rb"\\(.)", lambda m: table[m.group(1).decode()].encode(), path)
ours = {tuple(unescape(l).split(b"\t", 1)) for l in open(sys.argv[1], "rb").read().splitlines()}
real = {tuple(e.split(b"\t", 1)) for e in open(sys.argv[2], "rb").read().split(b"\0") if e}
if ours != real:
    print("--du and du differ:", sorted(ours ^ real), file=sys.stderr)
    sys.exit(1)
PY
}
compare_du --du=1 -- -b -d 1
compare_du --du=2 -- -b -d 2
compare_du --du --disk-usage -- -B1
compare_du --du --disk-usage -h -- -h

# The same rows in path order, with --sorted.
rows_in_path_order rows.tsv > sorted.tsv
rows=sorted.tsv
compare_du --sorted --du=1 -- -b -d 1
compare_du --sorted --du -- -b
compare_du --sorted --du --disk-usage -h -- -h
for by in type,uid kind,size; do
    if ! cmp -s <("$lstat" --by=$by rows.tsv) <("$lstat" --sorted --by=$by sorted.tsv); then
        echo "--by=$by counts otherwise with --sorted" >&2
        failures=$((failures + 1))
    fi
done

# Every tree mode gives the same report, byte for byte, whatever the order:
# shuffled, backwards, and in path order with --sorted.
tac sorted.tsv > backwards.tsv
for mode in --du --ncdu --qdirstat --treemap --by=type,kind; do
    "$lstat" "$mode" rows.tsv | sed 's/"timestamp":[0-9]*//' > shuffled.out
    "$lstat" "$mode" backwards.tsv | sed 's/"timestamp":[0-9]*//' > backwards.out
    "$lstat" --sorted "$mode" sorted.tsv | sed 's/"timestamp":[0-9]*//' > path-order.out
    if ! cmp -s shuffled.out backwards.out || ! cmp -s shuffled.out path-order.out; then
        echo "$mode reports otherwise in another order of the rows" >&2
        failures=$((failures + 1))
    fi
done

ncdu -e -o- "$top" > real.json
# --ncdu's export beside ncdu's: OPTIONS ROWS.
compare_ncdu() {
    "$lstat" --ncdu "$@" > ours.json
    python3 - ours.json real.json <<'PY' || { echo "for $*" >&2; failures=$((failures + 1)); }
import json, sys
def entries(export):
    found = {}
    def walk(node, parent):
        entry = node[0] if isinstance(node, list) else node
        path = entry["name"] if parent is None else parent + "/" + entry["name"]
        found[path] = {k: v for k, v in entry.items() if k != "name"}
        for child in node[1:] if isinstance(node, list) else []:
            walk(child, path)
    walk(json.loads(open(export, "rb").read().decode("utf-8", "surrogateescape"))[3], None)
    return found
ours, real = entries(sys.argv[1]), entries(sys.argv[2])
for path in sorted(set(ours) | set(real)):
    if ours.get(path) != real.get(path):
        print("--ncdu and ncdu differ at", ascii(path), ours.get(path), real.get(path), file=sys.stderr)
        sys.exit(1)
PY
}
compare_ncdu --sorted --under="$top" sorted.tsv
"$lstat" --ncdu --sorted sorted.tsv > sorted.json
compare_ncdu rows.tsv
# ncdu reports what it cannot read on standard error, and exits with 0.
reads_export() {
    if ! ncdu -f "$1" -o- > /dev/null 2> ncdu.err || [ -s ncdu.err ]; then
        echo "ncdu cannot read $1: $(cat ncdu.err)" >&2
        failures=$((failures + 1))
    fi
}
reads_export ours.json
reads_export sorted.json

# gdu opens the export too: its totals, apparent and on disk, and its
# directories below the top are du's.
gdu_totals="$(gdu -n -a -s --no-prefix -f ours.json) $(gdu -n -s --no-prefix -f ours.json)"
du_totals="$(du -b -s "$top" | cut -f 1) $(du -B1 -s "$top" | cut -f 1)"
if [ "$(echo "$gdu_totals" | awk '{print $1, $3}')" != "$du_totals" ]; then
    echo "gdu shows the totals $gdu_totals of the export, du $du_totals" >&2
    failures=$((failures + 1))
fi
gdu -n -a --no-prefix -f ours.json | awk '$2 ~ /^\/(docs|sub|music|empty)$/ {print $1 "\t" substr($2, 2)}' |
    sort > gdu.dirs
(cd "$top" && du -b -s docs sub music empty | sort) > du.dirs
cmp -s gdu.dirs du.dirs || { echo "gdu and du differ: $(diff gdu.dirs du.dirs)" >&2; failures=$((failures + 1)); }

# Rows that ncdu 1.18 cannot read back: an owner, group and mode past what
# it reads, a device and inode past 2^63, and the owner 4294967294 that
# ncdu writes itself as 18446744073709551614 and then refuses. The export
# leaves out what ncdu cannot read, says so once, and holds all the rest.
{
    head -n 1 rows.tsv
    printf '%s/odd\t-B -C IGk B -B B////// A BA BAA B A A A\n' "$top"
    printf '%s/nobody\tgB FCsB IGk B D////+ D////+ A BA BAA B A A A\n' "$top"
} > odd.tsv
status=0
"$lstat" --ncdu odd.tsv > odd.json 2> odd.err || status=$?
if [ "$status" != 0 ] || [ "$(cat odd.err)" != "b64num-lstat: 2 entries written without what ncdu cannot read: the uid -1 of line 2, and others" ]; then
    echo "--ncdu did not say once what it left out (status $status): $(cat odd.err)" >&2
    failures=$((failures + 1))
fi
reads_export odd.json

[ "$failures" -eq 0 ] && echo "--du and --ncdu agree with du, ncdu and gdu"

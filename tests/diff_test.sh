#!/usr/bin/env bash
# Builds a real tree, copies it with cp -a and changes the copy in every way
# a next backup sees (files added, removed, renamed, appended to, touched,
# chmod'ed and chown'ed, a file replaced by a directory, a symbolic link
# retargeted), with names that hold line feeds, TABs and bytes that are not
# UTF-8; takes both trees' rows under the same paths, as two backups of one
# client; and compares b64num-lstat --diff with what rsync -ani --delete
# itemizes, DELTA with the sizes on disk, --summary and --json with the
# lines, a stale OLD with the diff it must give, and --du --latest and
# --du --all-versions over both trees' rows with du. Run as root, for chown.
#
# usage: tests/diff_test.sh B64NUM_LSTAT TREE_ROWS
set -euo pipefail
lstat=$1
tree_rows=$2
for program in rsync du python3; do
    command -v "$program" > /dev/null || { echo "diff_test.sh: $program is missing" >&2; exit 1; }
done
here=$(cd "$(dirname "$0")" && pwd)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
export LC_ALL=C

mkdir -p "$work/old/top/sub/deeper" "$work/old/top/gone" "$work/old/top/odd"$'\n'"dir"
cd "$work/old/top"
printf 'hello' > a.txt
ln a.txt a-hard
ln -s a.txt link
printf 'x' > sub/f
printf 'yy' > $'tab\tname'
printf 'zz' > $'lf\nname'
printf 'q' > $'lat\xe9'
printf 'r' > gone/g
printf 's' > becomes-dir
printf 't' > renamed
printf 'u' > perm
printf 'v' > own
printf 'w' > touched
printf 'deep' > sub/deeper/file
printf 'in' > "odd"$'\n'"dir/in"$'\t'"side"
# Whole seconds, as LStat holds them, so that rsync's times compare alike.
find . -exec touch -h -d @1760000000 {} +

mkdir "$work/new"
cp -a "$work/old/top" "$work/new/top"
cd "$work/new/top"
rm -r gone
mv renamed $'renamed\xff'
printf 'more' >> a.txt
touch -h -d @1750000000 touched
chmod 600 perm
chown 1234:4321 own
rm becomes-dir
mkdir becomes-dir
printf 'i' > becomes-dir/inner
ln -sfn sub/f link
printf 'new' > $'new\nfile'
printf 'deeper' >> "odd"$'\n'"dir/in"$'\t'"side"
find . -newermt @1760000001 -exec touch -h -d @1760009999 {} +

cd "$work/old" && "$tree_rows" top > "$work/old.tsv"
cd "$work/new" && "$tree_rows" top > "$work/new.tsv"
cd "$work"
failures=0
fail() {
    echo "diff_test.sh: $*" >&2
    failures=$((failures + 1))
}
# --diff exits 1 where its inputs differ, as diff does.
differ() {
    local status=0
    "$@" || status=$?
    [ "$status" -eq 1 ]
}

differ "$lstat" --diff old.tsv new.tsv > diff.tsv || fail "--diff failed"
rsync -ani --delete old/top/ new/top/ > rsync.txt
python3 - diff.tsv rsync.txt old new <<'PY' || fail "--diff and rsync -ani --delete differ"
import os, re, sys
def unescape(path):  # as COPY escaped it
    table = {"\\": "\\", "n": "\n", "r": "\r", "t": "\t", "b": "\b", "f": "\f", "v": "\v"}
    return re.sub(rb"\\(.)", lambda m: table[m.group(1).decode()].encode(), path)
ours, deltas = {}, {}
for line in open(sys.argv[1], "rb").read().splitlines():
    status, delta, path = line.split(b"\t", 2)
    path = unescape(path).rstrip(b"/")
    assert path.startswith(b"top"), path
    path = path[4:]
    ours[path] = status.decode()
    deltas[path] = int(delta)
# rsync turns NEW into OLD: what it deletes is only in NEW, what it creates
# only in OLD, or in NEW with another type.
expected = {}
for line in open(sys.argv[2], "rb").read().splitlines():
    flags, name = line[:11].decode(), re.sub(rb"\\#([0-7]{3})", lambda m: bytes([int(m.group(1), 8)]), line[12:])
    name = name.split(b" -> ")[0].rstrip(b"/")
    name = b"" if name == b"." else name
    new_path = os.path.join(sys.argv[4].encode(), b"top", name)
    if flags.startswith("*deleting"):
        expected[name] = "+"
    elif "+++++++++" in flags:
        expected[name] = "T" if os.path.lexists(new_path) else "-"
    elif any(flag in flags[2:5] for flag in "cst"):
        expected[name] = "M"
    elif any(flag in flags[5:8] for flag in "pog"):
        expected[name] = "U"
if ours != expected:
    for path in sorted(set(ours) | set(expected)):
        if ours.get(path) != expected.get(path):
            print("at", ascii(path), "--diff says", ours.get(path), "and rsync", expected.get(path), file=sys.stderr)
    sys.exit(1)
def size(tree, path):
    full = os.path.join(tree.encode(), b"top", path).rstrip(b"/")
    return os.lstat(full).st_size if os.path.lexists(full) else 0
for path, delta in deltas.items():
    if delta != size(sys.argv[4], path) - size(sys.argv[3], path):
        print("DELTA of", ascii(path), "is", delta, file=sys.stderr)
        sys.exit(1)
kinds = set(ours.values())
if kinds != {"+", "-", "T", "M", "U"}:
    print("the trees do not show every kind of change:", kinds, file=sys.stderr)
    sys.exit(1)
PY

# Stale rows of OLD's paths first: the later rows stand.
python3 - new.tsv old.tsv > stale-then-old.tsv <<'PY'
import sys
old = open(sys.argv[2], "rb").read().splitlines(keepends=True)
paths = {line.split(b"\t")[0] for line in old}
stale = [line for line in open(sys.argv[1], "rb").read().splitlines(keepends=True) if line.split(b"\t")[0] in paths]
sys.stdout.buffer.write(b"".join(stale + old))
PY
differ "$lstat" --diff --latest - new.tsv < stale-then-old.tsv > stale.tsv || fail "--diff --latest failed"
cmp -s stale.tsv diff.tsv || fail "stale rows of OLD changed the diff"

# Both in path order, merged with --sorted: the same lines in the same order,
# a path that became a directory one line of status T.
# shellcheck source=tests/real_tree.sh
source "$here/real_tree.sh"
rows_in_path_order old.tsv > old.sorted
rows_in_path_order new.tsv > new.sorted
differ "$lstat" --diff --sorted old.sorted new.sorted > sorted.tsv || fail "--diff --sorted failed"
cmp -s diff.tsv sorted.tsv || fail "--diff --sorted and --diff differ"
grep -q "^T" diff.tsv || fail "no path changed its type between file and directory"

differ "$lstat" --diff --summary old.tsv new.tsv > summary.tsv || fail "--diff --summary failed"
awk -F '\t' '{n[$1]++; s[$1] += $2} END {for (k in n) print k "\t" n[k] "\t" s[k]}' diff.tsv |
    sort > summary.expected
for status in + - T M U; do
    grep -q "^$status	" summary.expected || printf '%s\t0\t0\n' "$status" >> summary.expected
done
sort summary.tsv | cmp -s - <(sort summary.expected) || fail "--summary does not add up the lines"
[ "$(cut -f 1 summary.tsv | tr -d '\n')" = "+-TMU" ] || fail "--summary is not in the order + - T M U"

differ "$lstat" --diff --json old.tsv new.tsv > diff.json || fail "--diff --json failed"
python3 - diff.json diff.tsv <<'PY' || fail "--json and the lines differ"
import json, re, sys
def unescape(path):
    table = {"\\": "\\", "n": "\n", "r": "\r", "t": "\t", "b": "\b", "f": "\f", "v": "\v"}
    return re.sub(rb"\\(.)", lambda m: table[m.group(1).decode()].encode(), path)
lines = [line.split(b"\t", 2) for line in open(sys.argv[2], "rb").read().splitlines()]
objects = [json.loads(line) for line in open(sys.argv[1], "rb").read().decode("utf-8", "surrogateescape").splitlines()]
assert len(lines) == len(objects)
for (status, delta, path), o in zip(lines, objects):
    side = o["old"] if status == b"-" else o["new"]
    name = side["columns"][0].encode("utf-8", "surrogateescape")
    assert (o["status"].encode(), o["delta"], name) == (status, int(delta), unescape(path)), (o, path)
    assert (o["old"] is None) == (status == b"+") and (o["new"] is None) == (status == b"-")
    for row in (o["old"], o["new"]):
        assert row is None or len(row) == 17, row  # columns and the 16 fields
PY

# Over both trees' rows: --latest totals what a restore would bring back,
# NEW's rows and OLD's rows of paths that NEW lacks; --all-versions every
# row, hard links not merged, as du -l counts the two trees together.
python3 - old.tsv new.tsv > restore.tsv <<'PY'
import sys
new = open(sys.argv[2], "rb").read().splitlines(keepends=True)
paths = {line.split(b"\t")[0].rstrip(b"/") for line in new}
old = [line for line in open(sys.argv[1], "rb").read().splitlines(keepends=True) if line.split(b"\t")[0].rstrip(b"/") not in paths]
sys.stdout.buffer.write(b"".join(new + old))
PY
cmp -s <("$lstat" --du --latest old.tsv new.tsv) <("$lstat" --du restore.tsv) ||
    fail "--du --latest over both is not the --du of the restore"
"$lstat" --du --all-versions old.tsv new.tsv > all.tsv || fail "--du --all-versions failed"
(cd old && du -bl -0 top) > du-old
(cd new && du -bl -0 top) > du-new
python3 - all.tsv du-old du-new old new <<'PY' || fail "--du --all-versions does not add up du -bl of both trees"
import os, re, sys
def unescape(path):
    table = {"\\": "\\", "n": "\n", "r": "\r", "t": "\t", "b": "\b", "f": "\f", "v": "\v"}
    return re.sub(rb"\\(.)", lambda m: table[m.group(1).decode()].encode(), path)
ours = {unescape(p): int(n) for n, p in (l.split(b"\t", 1) for l in open(sys.argv[1], "rb").read().splitlines())}
expected = {}
for listing in sys.argv[2:4]:
    for entry in open(listing, "rb").read().split(b"\0"):
        if entry:
            size, path = entry.split(b"\t", 1)
            expected[path] = expected.get(path, 0) + int(size)
# A path that is a file in one tree and a directory in the other is one
# path: its file's bytes count in its directory's total too.
for path in expected:
    for tree in sys.argv[4:6]:
        full = os.path.join(tree.encode(), path)
        if os.path.lexists(full) and not os.path.isdir(full):
            expected[path] += os.lstat(full).st_size
if ours != expected:
    print(sorted(set(ours.items()) ^ set(expected.items())), file=sys.stderr)
    sys.exit(1)
PY

[ "$failures" -eq 0 ] && echo "--diff agrees with rsync -ani --delete; --latest and --all-versions with du"

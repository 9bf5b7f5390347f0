#!/usr/bin/env bash
# Builds the real tree of real_tree.sh, gives some of its files other owners
# and older times, and compares what b64num-lstat selects with --type,
# --size, --newer, --older, --uid, --name and --under, and what it totals
# with --by, with what find -printf says of the same files: types, owners,
# sizes, times in local time, hard links counted once (at the link whose
# path sorts first), a sparse file, names with TAB, LF and bytes that are
# not UTF-8. Run as root, for chown. Needs find and python3.
#
# usage: tests/by_test.sh B64NUM_LSTAT TREE_ROWS
set -euo pipefail
lstat=$1
tree_rows=$2
command -v python3 > /dev/null || { echo "by_test.sh: python3 is missing" >&2; exit 1; }
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
# shellcheck source=tests/real_tree.sh
source "$(dirname "$0")/real_tree.sh"
export TZ=Europe/Berlin LC_ALL=C

make_real_tree "$work/top"
cd "$work"
chown 1001:100 top/music/a.flac top/docs/report3.pdf top/sub/b.txt
chown -h 1002:100 top/link
touch -h -d '2019-03-31 01:30' top/music/a.flac top/docs
touch -h -d '2023-10-29 02:30' top/docs/report3.pdf top/sub/b.txt
"$tree_rows" top > rows.tsv
find top -printf '%y\t%U\t%G\t%s\t%T@\t%D:%i\t%n\t%p\0' > find.out
failures=0

python3 - "$lstat" <<'PY' || failures=$((failures + 1))
import os, re, subprocess, sys, time
lstat = sys.argv[1]
entries = []
for record in open("find.out", "rb").read().split(b"\0")[:-1]:
    kind, uid, gid, size, mtime, inode, links, path = record.split(b"\t", 7)
    entries.append(dict(type=kind.decode(), uid=int(uid), gid=int(gid), size=int(size),
                        mtime=int(float(mtime)), inode=inode, links=int(links), path=path))

def unescape(path):  # as COPY escaped it
    table = {"\\": "\\", "n": "\n", "r": "\r", "t": "\t", "b": "\b", "f": "\f", "v": "\v"}
    return re.sub(rb"\\(.)", lambda m: table[m.group(1).decode()].encode(), path)

def ours(*options):
    run = subprocess.run([lstat, *options, "rows.tsv"], capture_output=True)
    if run.returncode != 0:
        sys.exit(f"{options}: status {run.returncode}: {run.stderr!r}")
    return run.stdout

problems = []

# Selections, against find's tests on the same files.
def selected(*options):
    return sorted(unescape(line.split(b"\t")[0]).rstrip(b"/")
                  for line in ours("-f", "ino", *options).splitlines())

def when(text):
    return int(time.mktime(time.strptime(text, "%Y-%m-%d %H:%M")))

def kind_of(name):  # the last extension that is not all digits, lower-cased
    parts = name.split(b".")
    for extension in reversed(parts[1:] if not name.startswith(b".") else parts[2:]):
        if extension and not extension.isdigit():
            return b"." + extension.lower()
    return b"(none)"

checks = [
    (["--type=f"], lambda e: e["type"] == "f"),
    (["--type=dl"], lambda e: e["type"] in "dl"),
    (["--type=f", "--size=+1K"], lambda e: e["type"] == "f" and e["size"] > 1024),
    (["--size=-1K", "--type=f"], lambda e: e["type"] == "f" and e["size"] < 1024),
    (["--size=3M"], lambda e: e["size"] == 3 << 20),
    (["--newer=2020-01-01 00:00"], lambda e: e["mtime"] > when("2020-01-01 00:00")),
    (["--older=2023-10-29 03:00", "--newer=2019-01-01 00:00"],
     lambda e: when("2019-01-01 00:00") < e["mtime"] <= when("2023-10-29 03:00")),
    (["--uid=1001,1002"], lambda e: e["uid"] in (1001, 1002)),
    (["--gid=100", "--type=f"], lambda e: e["gid"] == 100 and e["type"] == "f"),
    (["--name=*.PDF"], lambda e: False),
    (["--name=*.pdf", "--size=+100000"], lambda e: e["path"].endswith(b".pdf") and e["size"] > 100000),
    (["--name=*\n*"], lambda e: b"\n" in os.path.basename(e["path"])),
    (["--under=top/docs"], lambda e: e["path"] == b"top/docs" or e["path"].startswith(b"top/docs/")),
]
for options, test in checks:
    expected = sorted(e["path"] for e in entries if test(e))
    if selected(*options) != expected:
        problems.append(f"{options}: {selected(*options)} != {expected}")
# --newer as find -newermt: strictly newer, so that a file of that very
# second is not; --older takes the rest, and the two split the tree.
for when_text in ("2023-10-29 02:30", "2019-03-31 01:30"):
    newer = subprocess.run(["find", "top", "-newermt", when_text, "-print0"], capture_output=True,
                           check=True).stdout.split(b"\0")[:-1]
    if selected(f"--newer={when_text}") != sorted(newer):
        problems.append(f"--newer={when_text}: {selected(f'--newer={when_text}')} != {sorted(newer)}")
    older = selected(f"--older={when_text}")
    if sorted(older + selected(f"--newer={when_text}")) != sorted(e["path"] for e in entries):
        problems.append(f"--newer and --older={when_text} do not split the tree")

# Totals by class: each hard-linked inode once, at the link whose path
# sorts first; kind, year, month and size of regular files only.
counted, seen = [], set()
for e in sorted(entries, key=lambda e: e["path"]):
    if e["type"] != "d" and e["links"] > 1:
        if e["inode"] in seen:
            continue
        seen.add(e["inode"])
    counted.append(e)

def key_of(e, key):
    local = time.localtime(e["mtime"])
    return {"type": e["type"].encode(), "uid": str(e["uid"]).encode(), "gid": str(e["gid"]).encode(),
            "kind": kind_of(os.path.basename(e["path"])), "year": str(local.tm_year).encode(),
            "month": b"%d-%02d" % (local.tm_year, local.tm_mon),
            "size": str(1 << (e["size"].bit_length() - 1) if e["size"] else 0).encode()}[key]

for keys in (["type"], ["uid"], ["kind"], ["uid", "kind"], ["year"], ["month"], ["size"], ["type", "gid"]):
    regular = any(k in ("kind", "year", "month", "size") for k in keys)
    totals = {}
    for e in counted:
        if regular and e["type"] != "f":
            continue
        group = tuple(key_of(e, k) for k in keys)
        n, b = totals.get(group, (0, 0))
        totals[group] = (n + 1, b + e["size"])
    expected = {group + (str(n).encode(), str(b).encode()) for group, (n, b) in totals.items()}
    got = [tuple(line.split(b"\t")) for line in ours("--by=" + ",".join(keys)).splitlines()]
    if set(got) != expected or len(got) != len(expected):
        problems.append(f"--by={','.join(keys)}: {sorted(set(got) ^ expected)}")
    if all(k in ("year", "month", "size") for k in keys):
        order = [tuple(int(v) if k != "month" else v for k, v in zip(keys, g)) for g in got]
    else:
        order = [(-int(g[-1]), g[:-2]) for g in got]
    if order != sorted(order):
        problems.append(f"--by={','.join(keys)} is not in its order: {got}")
print(f"{len(checks)} selections and 8 sets of classes checked against find")
for problem in problems:
    print(problem, file=sys.stderr)
sys.exit(1 if problems else 0)
PY

[ "$failures" -eq 0 ] && echo "the selections and --by agree with find"

#!/usr/bin/env bash
# --catalog over SQLite catalogs of both schemas (File.Filename, and the
# older Filename table), built here with sqlite3 from the public column
# names: a Full and an Incremental in which a directory became a file, a
# hard link, and names with a TAB, a line feed and a backslash. Each mode
# gives what the hand-written pipeline gives over the same rows in job
# order, deleted files left out as --latest leaves them; a missing job, a
# pruned one, a missing file or table and a bad URI each give a message,
# status 2 and nothing on standard output.
#
# usage: tests/catalog_sqlite_test.sh B64NUM_LSTAT
set -euo pipefail
lstat=$1
contrib=$(cd "$(dirname "$0")/../contrib" && pwd)
for program in sqlite3 python3; do
    command -v "$program" > /dev/null || { echo "catalog_sqlite_test.sh: $program is missing" >&2; exit 1; }
done
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cd "$work"
failures=0
fail() {
    echo "catalog_sqlite_test.sh: $*" >&2
    failures=$((failures + 1))
}
# What --catalog printed, and its status, against the pipeline's.
agrees() {
    [ "$2" = "$3" ] || fail "$1: otherwise than the pipeline:
$2
--- the pipeline:
$3"
}

# The same jobs in both schemas; the names as X'' literals, any byte.
python3 - "$contrib" <<'PY'
import sys, time
sys.path.insert(0, sys.argv[1])
from tree_catalog import lstat_value
def lstat(mode, size, ino, nlink=1):
    return lstat_value([2049, ino, mode, nlink, 0, 0, 0, size, 4096, (size + 511) // 512, 0,
                        1700000000, 0, 0])
d, f = 0o40755, 0o100644
# JobId: rows of (path, name, mode, size, inode, links, FileIndex)
jobs = {
    1: [("/srv/", "", d, 4096, 1, 1), ("/srv/a/", "", d, 4096, 2, 1), ("/srv/a/", "big", f, 10**6, 3, 1),
        ("/srv/", "ztab\there", f, 7, 4, 1), ("/srv/", "zlf\nhere", f, 11, 5, 1),
        ("/srv/", "back\\slash", f, 13, 6, 1), ("/srv/", "link1", f, 5000, 7, 2),
        ("/srv/", "link2", f, 5000, 7, 2), ("/srv/d/", "", d, 4096, 10, 1), ("/srv/d/", "f", f, 300, 11, 1)],
    2: [("/srv/", "", d, 4096, 1, 1), ("/srv/", "a", f, 10, 8, 1), ("/srv/", "ztab\there", f, 70, 4, 1)],
}
# Client c3's jobs: 10 holds job 1's rows, 11 failed, 12 (a Differential
# with warnings) holds job 2's, 13 holds none, 14 is still running.
jobs[10], jobs[11], jobs[12] = jobs[1], [("/srv/", "failed", f, 99, 20, 1)], jobs[2]
jobs[14] = [("/srv/", "running", f, 99, 21, 1)]
# 20: client clone, a copy of job 1's machine, devices and inodes alike;
# 21: client win, with two drives.
jobs[20] = jobs[1]
jobs[21] = [("C:/", "", d, 0, 1, 1), ("C:/", "a.txt", f, 100, 2, 1), ("D:/", "", d, 0, 3, 1),
            ("D:/", "b.txt", f, 200, 4, 1)]
# JobId: client, Type, Level, JobStatus, JobTDate, PurgedFiles; 3, a pruned
# job; 4, a restore; 5, a deleted file's record; 6, a backup of another
# client.
meta = {1: (1, 'B', 'F', 'T', 1700000000, 0), 2: (1, 'B', 'I', 'T', 1700086400, 0),
        3: (1, 'B', 'I', 'T', 1700100000, 1), 4: (1, 'R', 'F', 'T', 1700100000, 0),
        5: (1, 'B', 'I', 'T', 1700200000, 0), 6: (2, 'B', 'F', 'T', 1700200000, 0),
        10: (3, 'B', 'F', 'T', 1700300000, 0), 11: (3, 'B', 'I', 'E', 1700310000, 0),
        12: (3, 'B', 'D', 'W', 1700320000, 0), 13: (3, 'B', 'I', 'T', 1700330000, 0),
        14: (3, 'B', 'I', 'R', 1700340000, 0), 20: (4, 'B', 'F', 'T', 1700400000, 0),
        21: (5, 'B', 'F', 'T', 1700400000, 0)}
def x(text):
    return "X'" + text.encode().hex() + "'"
for schema in ("new", "old"):
    out = ["BEGIN;",
           "CREATE TABLE Job (JobId INTEGER PRIMARY KEY, Name TEXT, Type TEXT, Level TEXT, "
           "JobStatus TEXT, StartTime TEXT, JobTDate INTEGER, PurgedFiles INTEGER, "
           "JobFiles INTEGER, JobBytes INTEGER, ClientId INTEGER, FileSetId INTEGER);",
           "CREATE TABLE Client (ClientId INTEGER PRIMARY KEY, Name TEXT);",
           "CREATE TABLE FileSet (FileSetId INTEGER PRIMARY KEY, FileSet TEXT);",
           "INSERT INTO Client VALUES (1, 'c1'), (2, 'c2'), (3, 'c3'), (4, 'clone'), (5, 'win');",
           "INSERT INTO FileSet VALUES (1, 'Full Set');",
           "CREATE TABLE Path (PathId INTEGER PRIMARY KEY, Path BLOB);"]
    if schema == "new":
        out.append("CREATE TABLE File (FileId INTEGER PRIMARY KEY, FileIndex INTEGER, JobId INTEGER, "
                   "PathId INTEGER, Filename BLOB, LStat TEXT);")
    else:
        out.append("CREATE TABLE Filename (FilenameId INTEGER PRIMARY KEY, Name BLOB);")
        out.append("CREATE TABLE File (FileId INTEGER PRIMARY KEY, FileIndex INTEGER, JobId INTEGER, "
                   "PathId INTEGER, FilenameId INTEGER, LStat TEXT);")
    paths, names = {}, {}
    # Job 5 found the file /srv/a and the directory /srv/d deleted.
    rows = [(job, row) for job in jobs for row in jobs[job]] + [
        (5, ("/srv/", "a", f, 10, 8, 1)), (5, ("/srv/d/", "", d, 4096, 10, 1))]
    for job, (client, kind, level, status, tdate, purged) in meta.items():
        start = time.strftime("%Y-%m-%d %H:%M:%S", time.gmtime(tdate))
        out.append(f"INSERT INTO Job VALUES ({job}, 'x', '{kind}', '{level}', '{status}', '{start}', "
                   f"{tdate}, {purged}, {len(jobs.get(job, []))}, 0, {client}, 1);")
    for index, (job, (path, name, mode, size, ino, nlink)) in enumerate(rows):
        path_id = paths.setdefault(path, len(paths) + 1)
        file_index = 0 if job == 5 else index + 1
        value = lstat(mode, size, ino, nlink)
        if schema == "new":
            out.append(f"INSERT INTO File (FileIndex, JobId, PathId, Filename, LStat) VALUES "
                       f"({file_index}, {job}, {path_id}, {x(name)}, '{value}');")
        else:
            name_id = names.setdefault(name, len(names) + 1)
            out.append(f"INSERT OR IGNORE INTO Filename VALUES ({name_id}, {x(name)});")
            out.append(f"INSERT INTO File (FileIndex, JobId, PathId, FilenameId, LStat) VALUES "
                       f"({file_index}, {job}, {path_id}, {name_id}, '{value}');")
    for path, path_id in paths.items():
        out.append(f"INSERT INTO Path VALUES ({path_id}, {x(path)});")
    out.append("COMMIT;")
    open(f"{schema}.sql", "w").write("\n".join(out) + "\n")
PY
for schema in new old; do
    sqlite3 "$schema.db" < "$schema.sql"
done

# The hand-written pipeline: the rows in job order, but those whose names
# hold a TAB or a line feed, which sqlite3 cannot escape (they start with
# z, and --name leaves them out on both sides).
pipeline() {
    sqlite3 -separator $'\t' new.db "SELECT CAST(Path.Path AS TEXT) || CAST(File.Filename AS TEXT),
        File.LStat FROM File JOIN Job USING (JobId) JOIN Path USING (PathId)
        WHERE JobId IN ($1) AND instr(File.Filename, char(9)) = 0 AND instr(File.Filename, char(10)) = 0
        ORDER BY Job.JobTDate, JobId, FileId" | sed 's/\\/\\\\/g'
}
plain="--name=[!z]*"
for mode in --du "--du --latest" "--du --all-versions" --ncdu "--by=kind" "-f size,nlink"; do
    for jobs in 1 1,2 2,1; do
        ordered=$([ "$jobs" = 2,1 ] && echo 1,2 || echo "$jobs")
        # The output and the status: the messages name lines of other inputs.
        # shellcheck disable=SC2086 # the mode's words
        expected=$(pipeline "$ordered" | { "$lstat" $mode "$plain" 2> /dev/null; echo "status $?"; } |
            grep -v '"timestamp"')
        for schema in new old; do
            # shellcheck disable=SC2086
            got=$({ "$lstat" $mode "$plain" --catalog="sqlite:$schema.db" --job="$jobs" 2> /dev/null;
                echo "status $?"; } | grep -v '"timestamp"')
            agrees "$mode --job=$jobs ($schema schema)" "$got" "$expected"
        done
    done
done

# --diff: OLD's selection, then NEW's, each a job or a chain.
for pair in "1 2" "1 1,2" "2 1"; do
    read -r old new <<< "$pair"
    pipeline "$old" > old.tsv
    pipeline "$new" > new.tsv
    for mode in --diff "--diff --latest --summary"; do
        # shellcheck disable=SC2086 # the mode's words
        expected=$({ "$lstat" $mode "$plain" old.tsv new.tsv 2> /dev/null; echo "status $?"; })
        for schema in new old; do
            # shellcheck disable=SC2086
            got=$({ "$lstat" $mode "$plain" --catalog="sqlite:$schema.db" --job="$old" --job="$new" \
                2> /dev/null; echo "status $?"; })
            agrees "$mode --job=$old --job=$new ($schema schema)" "$got" "$expected"
        done
    done
done

# --client: a client's good jobs; with --chain those a restore uses (the
# failed job 11 and the running job 14 left out, the running one named);
# --before for an earlier state. Each reads what its jobs given by --job do.
export TZ=UTC
while IFS='|' read -r jobs words; do
    IFS=';' read -r -a selection <<< "$words"
    for mode in "--du --latest" "--du --all-versions" "-f size"; do
        # shellcheck disable=SC2086 # the mode's words
        expected=$({ "$lstat" $mode --catalog=sqlite:new.db --job="$jobs" 2> /dev/null; echo "status $?"; })
        # shellcheck disable=SC2086
        got=$({ "$lstat" $mode --catalog=sqlite:new.db "${selection[@]}" 2> err; echo "status $?"; })
        agrees "$mode $words" "$got" "$expected"
        if [[ $words != *--before* ]] && ! grep -q "job 14 .*running" err; then
            fail "$words: the running job 14 is not named: $(cat err)"
        fi
    done
    listed=$("$lstat" --jobs --catalog=sqlite:old.db "${selection[@]}" 2> /dev/null | cut -f 1 | paste -sd ,)
    [ "$listed" = "JobId,$jobs" ] || fail "--jobs $words lists $listed"
done <<'SELECTIONS'
10,12,13|--client=c3;--chain
10,12,13|--client=c3
10|--client=c3;--chain;--before=2023-11-18 15:06:40
10,12,13|--client=c3;--chain;--fileset=Full Set
SELECTIONS

# Deleted files: job 5 found /srv/a (a file since job 2) and /srv/d (a
# directory) deleted. --latest and --diff read the chain as the pipeline
# reads it without what lies at or below those paths; --all-versions counts
# the records 0 bytes; -f and --json mark them.
pipeline 1,2 > chain.tsv
grep -v -e $'^/srv/a\t' -e '^/srv/a/' -e '^/srv/d/' chain.tsv > restored.tsv
for mode in "--du --latest" "--ncdu --latest" "--by=kind --latest" "--du --all-versions"; do
    input=restored.tsv
    [[ $mode == *--all-versions* ]] && input=chain.tsv
    # shellcheck disable=SC2086 # the mode's words
    expected=$({ "$lstat" $mode "$plain" "$input" 2> /dev/null; echo "status $?"; } | grep -v '"timestamp"')
    for schema in new old; do
        # shellcheck disable=SC2086
        got=$({ "$lstat" $mode "$plain" --catalog="sqlite:$schema.db" --job=1,2,5 2> /dev/null;
            echo "status $?"; } | grep -v '"timestamp"')
        agrees "$mode --job=1,2,5 ($schema schema)" "$got" "$expected"
    done
done
# shellcheck disable=SC2086
expected=$({ "$lstat" --diff --latest "$plain" chain.tsv restored.tsv 2> /dev/null; echo "status $?"; })
got=$({ "$lstat" --diff --latest "$plain" --catalog=sqlite:new.db --job=1,2 --job=1,2,5 2> /dev/null;
    echo "status $?"; })
agrees "--diff --latest --job=1,2 --job=1,2,5" "$got" "$expected"
deleted=$("$lstat" -f size,mode --catalog=sqlite:new.db --job=5)
[ "$deleted" = $'/srv/a\tdeleted\tdeleted\n/srv/d\tdeleted\tdeleted' ] ||
    fail "-f does not mark the deleted files: $deleted"
"$lstat" --json --catalog=sqlite:new.db --job=5 | grep -q '^{"columns":\["/srv/a"\],"deleted":true}$' ||
    fail "--json does not mark the deleted files"

# Several clients: each under a top named after it, its totals its own
# although the clone's devices and inodes (and hard links) are job 1's; a
# Windows client's drives are tops below its own. ncdu's export numbers
# each client's devices, so that ncdu counts no link across clients.
"$lstat" --du --catalog=sqlite:new.db --job=1,20,21 > together.txt 2> /dev/null
for client in c1:1 clone:20 win:21; do
    alone=$("$lstat" --du --catalog=sqlite:new.db --job="${client#*:}" 2> /dev/null |
        grep -v $'\ttotal$' | sed -E "s#\t/?#\t${client%:*}/#")
    # The client's top, which its rows alone do not have, left out.
    agrees "--du of client ${client%:*} among three" "$(grep $'\t'"${client%:*}/" together.txt)" "$alone"
done
"$lstat" --ncdu --catalog=sqlite:new.db --job=1,20,21 | python3 -c '
import json, sys
def devices(entry, found):
    if isinstance(entry, list):
        found.add(entry[0].get("dev"))
        for child in entry[1:]:
            devices(child, found)
tops = json.load(sys.stdin)[3][1:]
found = [set() for top in tops]
for top, seen in zip(tops, found):
    devices(top, seen)
    seen.discard(None)
sys.exit(len(tops) != 3 or any(a & b for a in found for b in found if a is not b))' ||
    fail "--ncdu gives two clients one device, where ncdu would merge their links"

# Monitoring: --du --json and --diff --summary --json hold the figures of
# the lines, the names' real bytes, and the total of several tops.
for selection in 1,2 1,20,21; do
    "$lstat" --du --latest --catalog=sqlite:new.db --job="$selection" > du.txt
    "$lstat" --du --latest --json --catalog=sqlite:new.db --job="$selection" > du.json
    python3 - du.txt du.json <<'PY' || fail "--du --json of --job=$selection is not --du's listing"
import json, sys
lines = [line.split("\t") for line in open(sys.argv[1]).read().splitlines()]
document = json.load(open(sys.argv[2]))
listed = [[str(d["bytes"]), d["path"]] for d in document["directories"]]
total = lines.pop()[0] if lines[-1][1] == "total" else lines[-1][0]
sys.exit(listed != [[size, path.replace("\\\\", "\\")] for size, path in lines]
         or str(document["total"]) != total)
PY
done
"$lstat" --diff --summary --catalog=sqlite:new.db --job=1 --job=1,2,5 --latest > summary.txt || true
"$lstat" --diff --summary --json --catalog=sqlite:new.db --job=1 --job=1,2,5 --latest > summary.json || true
python3 - summary.txt summary.json <<'PY' || fail "--diff --summary --json holds other figures than --summary"
import json, sys
names = {"+": "added", "-": "removed", "T": "type", "M": "modified", "U": "attributes"}
lines = [line.split("\t") for line in open(sys.argv[1]).read().splitlines()]
document = json.load(open(sys.argv[2]))
sys.exit({names[s]: {"paths": int(p), "delta": int(d)} for s, p, d in lines} != document)
PY

# Every byte of a name comes through, as COPY escapes it.
"$lstat" --json -f size --catalog=sqlite:old.db --job=1 > names.json
for name in 'ztab\\there' 'zlf\\nhere' 'back\\\\slash'; do
    grep -q "\"/srv/$name\"" names.json || fail "the name $name does not come through: $(cat names.json)"
done

# Trouble: a message, status 2, nothing on standard output.
while IFS='|' read -r what args; do
    status=0
    # shellcheck disable=SC2086 # the arguments' words
    "$lstat" --du $args > out 2> err || status=$?
    if [ "$status" != 2 ] || [ -s out ] || [ ! -s err ]; then
        fail "$what: status $status, $(wc -c < out) bytes out, message: $(cat err)"
    fi
done <<'CASES'
a job not in the catalog|--catalog=sqlite:new.db --job=1,99
a pruned job|--catalog=sqlite:new.db --job=3
a job that is no backup|--catalog=sqlite:old.db --job=4
a missing file|--catalog=sqlite:missing.db --job=1
an engine no URI names|--catalog=bacula --job=1
--job without --catalog|--job=1
a job given twice, which --all-versions would count twice|--catalog=sqlite:new.db --job=1,2,1 --all-versions
a client the catalog does not know|--catalog=sqlite:new.db --client=c9
a --before past the years a StartTime holds|--catalog=sqlite:new.db --client=c3 --before=@999999999999
a chain with no Full before --before|--catalog=sqlite:new.db --client=c3 --chain --before=2000-01-01
a chain through a pruned job|--catalog=sqlite:new.db --client=c1 --chain
--chain without --client|--catalog=sqlite:new.db --job=1 --chain
--job and --client at once|--catalog=sqlite:new.db --job=1 --client=c1
--diff of one selection|--catalog=sqlite:new.db --job=1 --diff
a missing job on NEW's side|--catalog=sqlite:new.db --job=1 --job=99 --diff
CASES
sqlite3 new.db "DROP TABLE Path"
status=0
"$lstat" --du --catalog=sqlite:new.db --job=1 > out 2> err || status=$?
if [ "$status" != 2 ] || [ -s out ]; then
    fail "a dropped table: status $status, $(cat err)"
fi
[ "$failures" = 0 ]

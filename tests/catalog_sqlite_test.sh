#!/usr/bin/env bash
# --catalog over SQLite catalogs of both schemas (File.Filename, and the
# older Filename table), built here with sqlite3 from the public column
# names: a Full and an Incremental in which a directory became a file, a
# hard link, and names with a TAB, a line feed and a backslash. Each mode
# gives what the hand-written pipeline gives over the same rows in job
# order; a missing job, a pruned one, a missing file or table, a bad URI
# and a deleted file's record each give a message, status 2 and nothing on
# standard output.
#
# usage: tests/catalog_sqlite_test.sh B64NUM_LSTAT
set -euo pipefail
lstat=$1
support=$(cd "$(dirname "$0")/support" && pwd)
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
python3 - "$support" <<'PY'
import sys
sys.path.insert(0, sys.argv[1])
from lstat_text import lstat_value
def lstat(mode, size, ino, nlink=1):
    return lstat_value([2049, ino, mode, nlink, 0, 0, 0, size, 4096, (size + 511) // 512, 0,
                        1700000000, 0, 0])
d, f = 0o40755, 0o100644
# JobId: rows of (path, name, mode, size, inode, links, FileIndex)
jobs = {
    1: [("/srv/", "", d, 4096, 1, 1), ("/srv/a/", "", d, 4096, 2, 1), ("/srv/a/", "big", f, 10**6, 3, 1),
        ("/srv/", "ztab\there", f, 7, 4, 1), ("/srv/", "zlf\nhere", f, 11, 5, 1),
        ("/srv/", "back\\slash", f, 13, 6, 1), ("/srv/", "link1", f, 5000, 7, 2),
        ("/srv/", "link2", f, 5000, 7, 2)],
    2: [("/srv/", "", d, 4096, 1, 1), ("/srv/", "a", f, 10, 8, 1), ("/srv/", "ztab\there", f, 70, 4, 1)],
}
times = {1: 1700000000, 2: 1700086400}
def x(text):
    return "X'" + text.encode().hex() + "'"
for schema in ("new", "old"):
    out = ["BEGIN;",
           "CREATE TABLE Job (JobId INTEGER PRIMARY KEY, Name TEXT, Type TEXT, Level TEXT, "
           "JobTDate INTEGER, PurgedFiles INTEGER DEFAULT 0, JobFiles INTEGER, JobBytes INTEGER, "
           "ClientId INTEGER DEFAULT 1);",
           "CREATE TABLE Path (PathId INTEGER PRIMARY KEY, Path BLOB);"]
    if schema == "new":
        out.append("CREATE TABLE File (FileId INTEGER PRIMARY KEY, FileIndex INTEGER, JobId INTEGER, "
                   "PathId INTEGER, Filename BLOB, LStat TEXT);")
    else:
        out.append("CREATE TABLE Filename (FilenameId INTEGER PRIMARY KEY, Name BLOB);")
        out.append("CREATE TABLE File (FileId INTEGER PRIMARY KEY, FileIndex INTEGER, JobId INTEGER, "
                   "PathId INTEGER, FilenameId INTEGER, LStat TEXT);")
    paths, names = {}, {}
    # JobId 3, a pruned job; JobId 4, a restore; JobId 5, a deleted file's
    # record; JobId 6, a backup of another client.
    out.append("INSERT INTO Job VALUES (3, 'x', 'B', 'I', 1700100000, 1, 0, 0, 1);")
    out.append("INSERT INTO Job VALUES (4, 'x', 'R', 'F', 1700100000, 0, 0, 0, 1);")
    out.append("INSERT INTO Job VALUES (5, 'x', 'B', 'I', 1700200000, 0, 1, 0, 1);")
    out.append("INSERT INTO Job VALUES (6, 'y', 'B', 'F', 1700200000, 0, 0, 0, 2);")
    rows = [(job, row) for job in jobs for row in jobs[job]] + [(5, ("/srv/", "gone", f, 0, 9, 1))]
    for job in jobs:
        out.append(f"INSERT INTO Job VALUES ({job}, 'x', 'B', '{'F' if job == 1 else 'I'}', "
                   f"{times[job]}, 0, {len(jobs[job])}, 0, 1);")
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
a deleted file's record|--catalog=sqlite:new.db --job=1,5
a missing file|--catalog=sqlite:missing.db --job=1
an engine no URI names|--catalog=bacula --job=1
--job without --catalog|--job=1
a job given twice, which --all-versions would count twice|--catalog=sqlite:new.db --job=1,2,1 --all-versions
jobs of two clients, whose paths would merge|--catalog=sqlite:new.db --job=1,6 --latest
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

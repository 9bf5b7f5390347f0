#!/usr/bin/env bash
# --catalog over SQLite catalogs of both schemas, built here with sqlite3
# from chain_fixture.py: the checks of reading_checks.sh, which the
# PostgreSQL and MariaDB tests run too, then trouble: a missing job, a
# pruned one, a missing file or table and a bad URI each give a message,
# status 2 and nothing on standard output.
#
# usage: tests/catalog_sqlite_test.sh B64NUM_LSTAT
set -euo pipefail
lstat=$1
here=$(cd "$(dirname "$0")" && pwd)
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
"$here/catalog/chain_fixture.py" .
for schema in new old; do
    sqlite3 "$schema.db" < "sqlite-$schema.sql"
done
uri_new=sqlite:new.db
uri_old=sqlite:old.db

# The hand-written pipeline: the rows in job order, but those whose names
# hold a TAB or a line feed, which sqlite3 cannot escape (they start with
# z, and --name leaves them out on both sides).
pipeline() {
    sqlite3 -separator $'\t' new.db "SELECT CAST(Path.Path AS TEXT) || CAST(File.Filename AS TEXT),
        File.LStat FROM File JOIN Job USING (JobId) JOIN Path USING (PathId)
        WHERE JobId IN ($1) AND instr(File.Filename, char(9)) = 0 AND instr(File.Filename, char(10)) = 0
        ORDER BY Job.JobTDate, JobId, FileId" | sed 's/\\/\\\\/g'
}
# shellcheck source=tests/catalog/reading_checks.sh
. "$here/catalog/reading_checks.sh"

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

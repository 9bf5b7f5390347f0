#!/usr/bin/env bash
# Loads the catalog fixture into the PostgreSQL server that the PG*
# variables point to, in a database bacula of encoding SQL_ASCII as catalogs
# have it, and runs the catalog checks and the README's psql recipes.
#
# usage: tests/catalog/postgresql.sh CATALOG_FIXTURE DIRECTORY_OF_BUILT_TOOLS
set -euo pipefail
[ -n "${PGHOST:-}" ] || {
    echo "postgresql.sh: no PostgreSQL server: run under tests/catalog/with_servers.sh" >&2
    exit 1
}

engine=postgresql
client=psql
escapes=copy
full_name="Path.Path || File.Filename"
line_feed="chr(10)"
catalog_uri="postgresql:///bacula" # the server of the PG* variables
wrong_password_uri="postgresql://${PGUSER:-postgres}:wrong@localhost/bacula"

load_fixture() {
    psql -X -q -v ON_ERROR_STOP=1 -d postgres -c "DROP DATABASE IF EXISTS bacula" \
        -c "CREATE DATABASE bacula ENCODING 'SQL_ASCII' LC_COLLATE 'C' LC_CTYPE 'C' TEMPLATE template0"
    psql -X -q -v ON_ERROR_STOP=1 -d bacula <<SQL
CREATE TABLE Path (PathId integer PRIMARY KEY, Path text NOT NULL);
CREATE TABLE File (FileId bigint PRIMARY KEY, JobId integer NOT NULL,
                   PathId integer NOT NULL REFERENCES Path, Filename text NOT NULL,
                   LStat text NOT NULL, FileIndex integer NOT NULL);
CREATE TABLE Job (JobId integer PRIMARY KEY, JobBytes bigint NOT NULL, JobFiles integer NOT NULL,
                  Type char(1) NOT NULL, JobTDate bigint NOT NULL, PurgedFiles smallint NOT NULL,
                  ClientId integer NOT NULL, Level char(1) NOT NULL, JobStatus char(1) NOT NULL,
                  StartTime timestamp without time zone, FileSetId integer NOT NULL);
CREATE TABLE Client (ClientId integer PRIMARY KEY, Name text NOT NULL);
CREATE TABLE FileSet (FileSetId integer PRIMARY KEY, FileSet text NOT NULL);
\copy Path FROM '$1/path.tsv'
\copy File FROM '$1/file.tsv'
\copy Job FROM '$1/job.tsv'
\copy Client FROM '$1/client.tsv'
\copy FileSet FROM '$1/fileset.tsv'
SQL
}
# The catalog of chain_fixture.py, a database for each schema.
load_chain() {
    local schema
    for schema in new old; do
        psql -X -q -v ON_ERROR_STOP=1 -d postgres -c "DROP DATABASE IF EXISTS chain_$schema" \
            -c "CREATE DATABASE chain_$schema ENCODING 'SQL_ASCII' LC_COLLATE 'C' LC_CTYPE 'C' TEMPLATE template0"
        psql -X -q -v ON_ERROR_STOP=1 -d "chain_$schema" -f "$1/postgresql-$schema.sql"
    done
}
chain_uri="postgresql:///chain_"
chain_rows() {
    psql -X -d chain_new -c "COPY (SELECT Path.Path || File.Filename, File.LStat FROM File
        JOIN Job USING (JobId) JOIN Path USING (PathId) WHERE JobId IN ($1)
        ORDER BY Job.JobTDate, JobId, FileId) TO STDOUT"
}
rows() { psql -X -d bacula -c "COPY ($1) TO STDOUT"; }
raw_rows() { psql -X -At -F $'\t' -d bacula -c "$1"; }
header_rows() { psql -X -d bacula -c "COPY ($1) TO STDOUT WITH (HEADER)"; }
value() { psql -X -At -d bacula -c "$1"; }
csv_rows() { psql -X --csv -d bacula -c "$1"; }

# Names of every byte but NUL and '/', read as CSV and written with COPY's
# escapes, come back whole through psql's COPY ... FROM.
copy_reads_every_name() {
    python3 - "$work/names.csv" "$work/names.hex" <<'PY'
import sys
names = [b"n" + bytes([b]) + b"x" for b in range(1, 256) if b != ord("/")]
value = b"gB FCsB IGk B Po Po A EAAA BAA gA BpOlsk BpOd3A BpOd3A A A C"
open(sys.argv[1], "wb").write(b"".join(b'"' + n.replace(b'"', b'""') + b'",' + value + b"\n" for n in names))
open(sys.argv[2], "w").write("".join(n.hex() + "\n" for n in names))
PY
    b64num-lstat --csv -f size "$work/names.csv" > "$work/names.tsv" || fail "--csv -f size of every byte"
    local unread
    unread=$(psql -X -q -At -v ON_ERROR_STOP=1 -d bacula <<SQL
CREATE TEMPORARY TABLE names (name text, size bigint);
\copy names FROM '$work/names.tsv'
CREATE TEMPORARY TABLE expected (hex text);
\copy expected FROM '$work/names.hex'
SELECT count(*) FROM expected WHERE hex NOT IN (SELECT encode(convert_to(name, 'SQL_ASCII'), 'hex') FROM names);
SQL
    )
    [ "$unread" = 0 ] || fail "psql's COPY reads $unread of 254 names otherwise than they were"
}

# The b64num extension, when the build staged it: SQL decodes every text as
# the b64num tool prints it.
engine_checks() {
    copy_reads_every_name
    [[ ${PGOPTIONS:-} == *extension_destdir* ]] || return 0
    psql -X -q -v ON_ERROR_STOP=1 -d bacula -c "CREATE EXTENSION b64num" || fail "CREATE EXTENSION b64num"
    # Bytes, not characters: in a UTF-8 locale, read takes a line feed after
    # a stray lead byte for part of a character.
    local numeral
    while LC_ALL=C IFS= read -r numeral; do
        b64num "$numeral"
        echo
    done < "$work/numerals.txt" | paste "$work/numerals.copy" - > "$work/numerals.tsv"
    local disagreements
    disagreements=$(psql -X -q -At -v ON_ERROR_STOP=1 -d bacula <<SQL
CREATE TEMPORARY TABLE numerals (numeral text, printed bigint);
\copy numerals FROM '$work/numerals.tsv'
SELECT count(*) || ' of ' || (SELECT count(*) FROM numerals)
FROM numerals WHERE b64num(numeral) IS DISTINCT FROM printed;
SQL
    )
    [ "$disagreements" = "0 of 2000" ] || fail "b64num() and b64num disagree on $disagreements texts"
    dump_and_restore
    load
    session_memory
}

# A catalog with an expression index on lstat_field survives pg_dump and
# pg_restore into a new database, and the index serves queries there.
dump_and_restore() {
    local query="SELECT FileId FROM File WHERE lstat_field(LStat, 'size') > 1000000000 ORDER BY FileId"
    psql -X -q -v ON_ERROR_STOP=1 -d bacula -c "CREATE INDEX file_size_dumped ON File ((lstat_field(LStat, 'size')))"
    pg_dump -Fc -d bacula -f "$work/bacula.dump" || fail "pg_dump"
    psql -X -q -v ON_ERROR_STOP=1 -d bacula -c "DROP INDEX file_size_dumped"
    psql -X -q -v ON_ERROR_STOP=1 -d postgres -c "DROP DATABASE IF EXISTS restored" \
        -c "CREATE DATABASE restored ENCODING 'SQL_ASCII' LC_COLLATE 'C' LC_CTYPE 'C' TEMPLATE template0"
    pg_restore -d restored --exit-on-error "$work/bacula.dump" || fail "pg_restore"
    psql -X -q -d restored -c "ANALYZE File"
    psql -X -At -d restored -c "EXPLAIN (COSTS OFF) $query" | grep -q "Index.* on file_size_dumped" ||
        fail "the restored index on lstat_field does not serve the query"
    [ "$(psql -X -At -d restored -c "$query")" = "$(psql -X -At -d bacula -c "$query")" ] ||
        fail "the restored catalog gives other rows"
}

# Eight clients call every function on random rows: no transaction fails,
# no backend crashes (a crash would end every client's session).
load() {
    cat > "$work/load.sql" <<'SQL'
\set id random(1, :files)
SELECT b64num(LStat), lstat_field(LStat, 'size'), lstat_field(LStat, 12), (lstat(LStat)).mtime,
       filemode(lstat_field(LStat, 'mode')) FROM File WHERE FileId = :id;
SQL
    pgbench -n -c 8 -j 2 -t 500 -D files="$(value "SELECT max(FileId) FROM File")" \
        -f "$work/load.sql" bacula > "$work/pgbench.out" 2>&1 || fail "pgbench failed"
    if ! grep -q "^number of transactions actually processed: 4000/4000$" "$work/pgbench.out" ||
        ! grep -q "^number of failed transactions: 0 " "$work/pgbench.out"; then
        fail "pgbench: $(grep -E "processed|failed|abort" "$work/pgbench.out")"
    fi
}

# One long session, with 20,000 errors caught for unknown fields among its
# calls: its memory does not grow after a warm-up.
session_memory() {
    local sizes
    sizes=$(psql -X -q -At -v ON_ERROR_STOP=1 -d bacula <<'SQL'
CREATE FUNCTION pg_temp.calls(n integer) RETURNS void LANGUAGE plpgsql AS $$
DECLARE
    value text := 'gB FCsB IGk B Po Po A EAAA BAA gA BpOlsk BpOd3A BpOd3A A A C';
BEGIN
    FOR i IN 1..n LOOP
        BEGIN
            PERFORM lstat_field(value, 'bogus' || i % 7);
        EXCEPTION WHEN invalid_parameter_value THEN
            NULL;
        END;
        PERFORM lstat_field(value, 'size'), (lstat(value)).mtime, b64num(value), filemode(i);
    END LOOP;
END
$$;
SELECT pg_temp.calls(2000);
SELECT sum(total_bytes) FROM pg_backend_memory_contexts;
SELECT pg_temp.calls(20000);
SELECT sum(total_bytes) FROM pg_backend_memory_contexts;
SQL
    )
    local warm grown
    { read -r; read -r warm; read -r; read -r grown; } <<< "$sizes"
    if [ -z "$grown" ] || [ "$grown" -gt $((warm + 65536)) ]; then
        fail "a session's memory grew from $warm to $grown bytes over 20,000 caught errors"
    fi
}

# shellcheck source=tests/catalog/checks.sh
source "$(dirname "$0")/checks.sh"

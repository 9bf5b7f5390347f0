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

load_fixture() {
    psql -X -q -v ON_ERROR_STOP=1 -d postgres -c "DROP DATABASE IF EXISTS bacula" \
        -c "CREATE DATABASE bacula ENCODING 'SQL_ASCII' LC_COLLATE 'C' LC_CTYPE 'C' TEMPLATE template0"
    psql -X -q -v ON_ERROR_STOP=1 -d bacula <<SQL
CREATE TABLE Path (PathId integer PRIMARY KEY, Path text NOT NULL);
CREATE TABLE File (FileId bigint PRIMARY KEY, JobId integer NOT NULL,
                   PathId integer NOT NULL REFERENCES Path, Filename text NOT NULL,
                   LStat text NOT NULL);
CREATE TABLE Job (JobId integer PRIMARY KEY, JobBytes bigint NOT NULL, JobFiles integer NOT NULL);
\copy Path FROM '$1/path.tsv'
\copy File FROM '$1/file.tsv'
\copy Job FROM '$1/job.tsv'
SQL
}
rows() { psql -X -d bacula -c "COPY ($1) TO STDOUT"; }
raw_rows() { psql -X -At -F $'\t' -d bacula -c "$1"; }
header_rows() { psql -X -d bacula -c "COPY ($1) TO STDOUT WITH (HEADER)"; }
value() { psql -X -At -d bacula -c "$1"; }

# The b64num extension, when the build staged it: SQL decodes every text as
# the b64num tool prints it.
engine_checks() {
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
}

# shellcheck source=tests/catalog/checks.sh
source "$(dirname "$0")/checks.sh"

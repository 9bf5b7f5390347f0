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
value() { psql -X -At -d bacula -c "$1"; }

source "$(dirname "$0")/checks.sh"

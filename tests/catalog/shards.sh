#!/usr/bin/env bash
# Spreads the catalog fixture's File table over two PostgreSQL shards behind
# postgres_fdw, each with the b64num extension, and checks that a coordinator
# decodes and sums on the shards, concurrently, to the sums of one server:
# the plan holds lstat_field in the remote SQL and Async Foreign Scans.
# Starts three throwaway clusters (pg_virtualenv within pg_virtualenv), on
# ports that nothing listens on, and loads the extension from STAGE.
#
# usage: tests/catalog/shards.sh CATALOG_FIXTURE STAGE
set -euo pipefail
fixture_program=$1
stage=$2

# Each level starts one cluster and runs this script again inside it; the
# third runs the checks, with the first two as shards.
level=${B64NUM_SHARD_LEVEL:-0}
if [ "$level" -gt 0 ]; then
    psql -X -q -v ON_ERROR_STOP=1 -d postgres \
        -c "ALTER SYSTEM SET extension_destdir = '$stage'" -c "SELECT pg_reload_conf()" > /dev/null
    export "B64NUM_SHARD_$level=host=$PGHOST port=$PGPORT user=$PGUSER password=$PGPASSWORD"
fi
if [ "$level" -lt 3 ]; then
    port=${B64NUM_SHARD_PORT:-5433}
    while (: < "/dev/tcp/127.0.0.1/$port") 2> /dev/null; do
        port=$((port + 1))
    done
    export B64NUM_SHARD_LEVEL=$((level + 1)) B64NUM_SHARD_PORT=$((port + 1))
    exec pg_virtualenv -t -c "-p $port" "$0" "$@"
fi

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
"$fixture_program" "$work"

schema="CREATE TABLE File (FileId bigint PRIMARY KEY, JobId integer NOT NULL,
                           PathId integer NOT NULL, Filename text NOT NULL, LStat text NOT NULL,
                           FileIndex integer NOT NULL)"
for shard in 1 2; do
    connection=B64NUM_SHARD_$shard
    psql -X -q -v ON_ERROR_STOP=1 "${!connection} dbname=postgres" \
        -c "CREATE DATABASE bacula ENCODING 'SQL_ASCII' LC_COLLATE 'C' LC_CTYPE 'C' TEMPLATE template0"
    job=$((41 + shard))
    awk -F '\t' -v job="$job" '$2 == job' "$work/file.tsv" > "$work/file-$job.tsv"
    psql -X -q -v ON_ERROR_STOP=1 "${!connection} dbname=bacula" -c "CREATE EXTENSION b64num" \
        -c "$schema" -c "\\copy File FROM '$work/file-$job.tsv'"
done

options() { # the postgres_fdw options of a shard's connection string
    local key value list=""
    for pair in $1; do
        key=${pair%%=*} value=${pair#*=}
        [ "$key" = user ] || [ "$key" = password ] || list+="$key '$value', "
    done
    echo "$list"
}
mapping() { # user and password of a shard's connection string
    local list=""
    for pair in $1; do
        case ${pair%%=*} in user | password) list+="${pair%%=*} '${pair#*=}', " ;; esac
    done
    echo "${list%, }"
}

psql -X -q -v ON_ERROR_STOP=1 -d postgres \
    -c "CREATE DATABASE bacula ENCODING 'SQL_ASCII' LC_COLLATE 'C' LC_CTYPE 'C' TEMPLATE template0"
psql -X -q -v ON_ERROR_STOP=1 -d bacula <<SQL
CREATE EXTENSION b64num;
CREATE EXTENSION postgres_fdw;
CREATE SERVER shard1 FOREIGN DATA WRAPPER postgres_fdw
    OPTIONS ($(options "$B64NUM_SHARD_1")dbname 'bacula', extensions 'b64num', async_capable 'true');
CREATE SERVER shard2 FOREIGN DATA WRAPPER postgres_fdw
    OPTIONS ($(options "$B64NUM_SHARD_2")dbname 'bacula', extensions 'b64num', async_capable 'true');
CREATE USER MAPPING FOR CURRENT_USER SERVER shard1 OPTIONS ($(mapping "$B64NUM_SHARD_1"));
CREATE USER MAPPING FOR CURRENT_USER SERVER shard2 OPTIONS ($(mapping "$B64NUM_SHARD_2"));
CREATE TABLE File (FileId bigint NOT NULL, JobId integer NOT NULL, PathId integer NOT NULL,
                   Filename text NOT NULL, LStat text NOT NULL, FileIndex integer NOT NULL)
    PARTITION BY LIST (JobId);
CREATE FOREIGN TABLE File_42 PARTITION OF File FOR VALUES IN (42)
    SERVER shard1 OPTIONS (table_name 'file');
CREATE FOREIGN TABLE File_43 PARTITION OF File FOR VALUES IN (43)
    SERVER shard2 OPTIONS (table_name 'file');
CREATE TABLE One_server (FileId bigint PRIMARY KEY, JobId integer NOT NULL,
                         PathId integer NOT NULL, Filename text NOT NULL, LStat text NOT NULL,
                         FileIndex integer NOT NULL);
\\copy One_server FROM '$work/file-42.tsv'
\\copy One_server FROM '$work/file-43.tsv'
SQL

sums() { echo "SELECT JobId, sum(lstat_field(LStat, 'size')) AS bytes, count(*) AS files FROM $1 GROUP BY JobId ORDER BY JobId"; }
failures=0
plan=$(psql -X -q -At -d bacula -c "SET enable_partitionwise_aggregate = on" \
    -c "EXPLAIN (VERBOSE, COSTS OFF) $(sums File)")
for expected in "Async Foreign Scan" "Remote SQL: SELECT jobid, sum(public.lstat_field(lstat, 8))"; do
    grep -qF "$expected" <<< "$plan" || {
        echo "shards: the plan lacks '$expected':" >&2
        echo "$plan" >&2
        failures=$((failures + 1))
    }
done
sharded=$(psql -X -q -At -d bacula -c "SET enable_partitionwise_aggregate = on" -c "$(sums File)")
single=$(psql -X -At -d bacula -c "$(sums One_server)")
if [ "$sharded" != "$single" ] || [ -z "$single" ]; then
    echo "shards: the shards sum to"$'\n'"$sharded"$'\n'"one server to"$'\n'"$single" >&2
    failures=$((failures + 1))
fi
[ "$failures" -eq 0 ] && echo "shards: two shards decode and sum as one server does:"$'\n'"$sharded"$'\n'"$plan"

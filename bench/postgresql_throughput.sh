#!/usr/bin/env bash
# Query times over one million generated catalog rows on a throwaway
# PostgreSQL server: the b64num extension beside PostgreSQL's own
# octet_length, a PL/pgSQL decoder of the kind written by hand, and
# COPY ... TO STDOUT | b64num-lstat; and b64num-lstat --catalog --du over a
# one-million-row job of a catalog beside the README's pipeline, COPY ... |
# b64num-lstat --du, with the peak memory of each. Each time is the median
# of 7 rounds in which the queries take turns, once with parallel workers
# off (max_parallel_workers_per_gather = 0) and once with the server's
# default. Exits 1 if a goal is missed.
#
# usage: bench/postgresql_throughput.sh [catalog build dir] [bench build dir]
#   (cmake --workflow --preset catalog; cmake --workflow --preset bench)
set -euo pipefail
# shellcheck source=bench/take_turns.sh
source "$(dirname "$0")/take_turns.sh"

catalog=$(cd "${1:-build/catalog}" && pwd)
bench=$(cd "${2:-build/bench}" && pwd)
for program in "$catalog/b64num-lstat" "$catalog/postgresql/b64num.so" "$bench/bench/lstat_gen"; do
    [ -e "$program" ] || {
        echo "postgresql_throughput.sh: no $program (cmake --workflow --preset catalog; cmake --workflow --preset bench)" >&2
        exit 2
    }
done

# Around a throwaway server: pg_virtualenv runs this script again inside.
if [ -z "${B64NUM_BENCH_SERVER:-}" ]; then
    export B64NUM_BENCH_SERVER=1
    exec pg_virtualenv -t -o shared_buffers=512MB "$0" "$catalog" "$bench"
fi

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
chmod 755 "$work" # the server, another user, loads the extension from here
DESTDIR=$work/stage cmake --install "$catalog" --component postgresql > /dev/null
export PGOPTIONS="-c extension_destdir=$work/stage" PGDATABASE=postgres

rows=1000000
"$bench/bench/lstat_gen" "$rows" > "$work/rows.tsv"
psql -X -q -v ON_ERROR_STOP=1 <<SQL
CREATE EXTENSION b64num;
CREATE TABLE File (Filename text NOT NULL, LStat text NOT NULL);
\copy File FROM '$work/rows.tsv'
VACUUM ANALYZE File;
CREATE DATABASE catalog ENCODING 'SQL_ASCII' LC_COLLATE 'C' LC_CTYPE 'C' TEMPLATE template0;

-- A decoder as administrators write one by hand: split out the numeral,
-- then look up each digit.
CREATE FUNCTION plpgsql_lstat_field(lstat text, field integer) RETURNS bigint
LANGUAGE plpgsql IMMUTABLE STRICT PARALLEL SAFE AS \$\$
DECLARE
    numeral text := split_part(lstat, ' ', field);
    value bigint := 0;
BEGIN
    IF numeral = '' THEN
        RETURN NULL;
    END IF;
    FOR i IN 1 .. length(numeral) LOOP
        value := value * 64 + greatest(strpos(
            'ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/',
            substr(numeral, i, 1)) - 1, 0);
    END LOOP;
    RETURN value;
END
\$\$;
SQL

declare -A queries=(
    [octet_length]="SELECT sum(octet_length(LStat)) FROM File"
    [lstat_field]="SELECT sum(lstat_field(LStat, 'size')) FROM File"
    [composite]="SELECT sum((lstat(LStat)).size) FROM File"
    [composite_lateral]="SELECT sum(l.size) FROM File, LATERAL lstat(LStat) l"
    [plpgsql]="SELECT sum(plpgsql_lstat_field(LStat, 8)) FROM File"
)
order=(octet_length lstat_field composite composite_lateral plpgsql)
default_workers=$(psql -X -At -c "SHOW max_parallel_workers_per_gather")

# The same rows as a job of a catalog.
mkdir "$work/tables"
"$(dirname "$0")/catalog_tables.py" "$work/rows.tsv" "$work/tables"
psql -X -q -v ON_ERROR_STOP=1 -d catalog <<SQL
CREATE TABLE Client (ClientId integer PRIMARY KEY, Name text);
CREATE TABLE FileSet (FileSetId integer PRIMARY KEY, FileSet text);
CREATE TABLE Job (JobId integer PRIMARY KEY, Name text, Type char(1), Level char(1),
                  JobStatus char(1), StartTime timestamp, JobTDate bigint, PurgedFiles smallint,
                  JobFiles integer, JobBytes bigint, ClientId integer, FileSetId integer);
CREATE TABLE Path (PathId integer PRIMARY KEY, Path text);
CREATE TABLE File (FileId bigint PRIMARY KEY, FileIndex integer, JobId integer, PathId integer,
                   Filename text, LStat text);
\copy Client FROM '$work/tables/Client.tsv'
\copy FileSet FROM '$work/tables/FileSet.tsv'
\copy Job FROM '$work/tables/Job.tsv'
\copy Path FROM '$work/tables/Path.tsv'
\copy File FROM '$work/tables/File.tsv'
CREATE INDEX file_job ON File (JobId);
VACUUM ANALYZE;
SQL
job_query="SELECT Path.Path || File.Filename, File.LStat FROM File JOIN Path USING (PathId) WHERE File.JobId = 1"

# Milliseconds of one run: psql's \timing of a query, with the number of
# workers after the comma of the key; the wall clock of the pipeline.
# shellcheck disable=SC2317 # called by take_turns
query_ms() {
    local name=${1%,*} workers=${1#*,} start end
    if [ "$name" = catalog_du ] || [ "$name" = pipeline_du ]; then
        start=$(date +%s%N)
        if [ "$name" = catalog_du ]; then
            "$catalog/b64num-lstat" --du --catalog=postgresql:///catalog --job=1 > /dev/null
        else
            psql -X -d catalog -c "COPY ($job_query) TO STDOUT" | "$catalog/b64num-lstat" --du > /dev/null
        fi
        end=$(date +%s%N)
        echo $(((end - start) / 1000000))
        return
    fi
    if [ "$name" = pipeline ]; then
        start=$(date +%s%N)
        psql -X -c "COPY (SELECT LStat FROM File) TO STDOUT" | "$catalog/b64num-lstat" -f size |
            awk '{ bytes += $1 } END { print bytes }' > /dev/null
        end=$(date +%s%N)
        echo $(((end - start) / 1000000))
        return
    fi
    psql -X -q -c "SET max_parallel_workers_per_gather = $workers" -c '\timing on' \
        -c "${queries[$name]}" | sed -n 's/^Time: \([0-9.]*\) ms.*/\1/p'
}

keys=("pipeline,0" "catalog_du,0" "pipeline_du,0")
for workers in 0 "$default_workers"; do
    for name in "${order[@]}"; do
        keys+=("$name,$workers")
    done
done
rounds=7
take_turns "$rounds" query_ms "${keys[@]}"
pipeline=${ms[pipeline,0]}
# Peak memory, KiB: --catalog's, and that of the same --du over a file of
# the job's rows, the tool's own.
catalog_kib=$(/usr/bin/time -f %M "$catalog/b64num-lstat" --du --catalog=postgresql:///catalog \
    --job=1 2>&1 > /dev/null | tail -n 1)
psql -X -d catalog -c "COPY ($job_query) TO STDOUT" > "$work/job.tsv"
file_kib=$(/usr/bin/time -f %M "$catalog/b64num-lstat" --du "$work/job.tsv" 2>&1 > /dev/null |
    tail -n 1)

machine
echo "server: $(psql -X -At -c 'SHOW server_version'), $rows rows, median of $rounds rounds"
printf '%-56s %12s %12s\n' "query" "0 workers" "$default_workers workers"
for name in "${order[@]}"; do
    printf '%-56s %9.0f ms %9.0f ms\n' "${queries[$name]}" "${ms[$name,0]}" "${ms[$name,$default_workers]}"
done
printf '%-56s %9.0f ms\n' "COPY (SELECT LStat ...) | b64num-lstat -f size | awk" "$pipeline"
printf '%-56s %9.0f ms, %d MiB\n' "b64num-lstat --du --catalog=postgresql:///catalog --job=1" \
    "${ms[catalog_du,0]}" $((catalog_kib / 1024))
printf '%-56s %9.0f ms\n' "COPY (SELECT Path.Path || ...) | b64num-lstat --du" "${ms[pipeline_du,0]}"
printf '%-56s %12s %d MiB\n' "b64num-lstat --du FILE" "" $((file_kib / 1024))

missed=0
for workers in 0 "$default_workers"; do
    base=${ms[octet_length,$workers]}
    field=$(ratio "${ms[lstat_field,$workers]}" "$base")
    composite=$(ratio "${ms[composite,$workers]}" "$base")
    by_hand=$(ratio "${ms[plpgsql,$workers]}" "${ms[lstat_field,$workers]}")
    # What decoding adds to a scan, per row: the decoders themselves.
    added=$(awk -v p="${ms[plpgsql,$workers]}" -v f="${ms[lstat_field,$workers]}" -v b="$base" \
        'BEGIN { printf "%.1f", (p - b) / (f - b) }')
    echo "$workers workers: lstat_field $field x octet_length (goal <= 1.4: $(goal "$field" "<=" 1.4))," \
        "composite $composite x (goal <= 6: $(goal "$composite" "<=" 6))," \
        "PL/pgSQL $by_hand x lstat_field (goal >= 15: $(goal "$by_hand" ">=" 15));" \
        "over the time of the octet_length scan, PL/pgSQL adds $added x what lstat_field adds"
    for check in "$(goal "$field" "<=" 1.4)" "$(goal "$composite" "<=" 6)" "$(goal "$by_hand" ">=" 15)"; do
        [ "$check" = met ] || missed=1
    done
done
against=$(ratio "${ms[catalog_du,0]}" "${ms[pipeline_du,0]}")
# The client library, its buffers, the reading thread and the batches it
# fills beside the tool's own memory: a constant, at most 32 MiB.
memory=$(ratio "$catalog_kib" "$((file_kib + 32768))")
echo "--catalog $against x the pipeline's time (goal <= 1: $(goal "$against" "<=" 1));" \
    "its memory $((catalog_kib / 1024)) MiB against $((file_kib / 1024)) MiB reading a file" \
    "(goal: at most 32 MiB more: $(goal "$memory" "<=" 1))"
for check in "$(goal "$against" "<=" 1)" "$(goal "$memory" "<=" 1)"; do
    [ "$check" = met ] || missed=1
done
exit "$missed"

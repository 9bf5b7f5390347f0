#!/usr/bin/env bash
# Query times over one million generated catalog rows in an SQLite database
# through the sqlite3 shell: the b64num extension beside SQLite's own
# length(); and b64num-lstat --catalog --du over a one-million-row job of a
# catalog beside the README's pipeline, sqlite3 -csv | b64num-lstat --csv
# --du, with the peak memory of each. Each time is the median of 7 rounds
# in which the queries take turns. Exits 1 if a goal is missed.
#
# usage: bench/sqlite_throughput.sh [catalog build dir] [bench build dir]
#   (cmake --workflow --preset catalog; cmake --workflow --preset bench)
set -euo pipefail
# shellcheck source=bench/take_turns.sh
source "$(dirname "$0")/take_turns.sh"

catalog=$(cd "${1:-build/catalog}" && pwd)
bench=$(cd "${2:-build/bench}" && pwd)
for program in "$catalog/sqlite/b64num.so" "$catalog/b64num-lstat" "$bench/bench/lstat_gen"; do
    [ -e "$program" ] || {
        echo "sqlite_throughput.sh: no $program (cmake --workflow --preset catalog; cmake --workflow --preset bench)" >&2
        exit 2
    }
done

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
rows=1000000
"$bench/bench/lstat_gen" "$rows" > "$work/rows.tsv"
shell=(sqlite3 -init /dev/null -cmd ".load $catalog/sqlite/b64num")
"${shell[@]}" "$work/bench.db" "CREATE TABLE File (Filename TEXT NOT NULL, LStat TEXT NOT NULL)" \
    ".mode tabs" ".import $work/rows.tsv File"

# The same rows as a job of a catalog.
mkdir "$work/tables"
"$(dirname "$0")/catalog_tables.py" "$work/rows.tsv" "$work/tables"
sqlite3 -init /dev/null "$work/catalog.db" \
    "CREATE TABLE Client (ClientId INTEGER PRIMARY KEY, Name TEXT)" \
    "CREATE TABLE FileSet (FileSetId INTEGER PRIMARY KEY, FileSet TEXT)" \
    "CREATE TABLE Job (JobId INTEGER PRIMARY KEY, Name TEXT, Type TEXT, Level TEXT, JobStatus TEXT,
        StartTime TEXT, JobTDate INTEGER, PurgedFiles INTEGER, JobFiles INTEGER, JobBytes INTEGER,
        ClientId INTEGER, FileSetId INTEGER)" \
    "CREATE TABLE Path (PathId INTEGER PRIMARY KEY, Path TEXT)" \
    "CREATE TABLE File (FileId INTEGER PRIMARY KEY, FileIndex INTEGER, JobId INTEGER,
        PathId INTEGER, Filename TEXT, LStat TEXT)" \
    ".mode tabs" ".import $work/tables/Client.tsv Client" ".import $work/tables/FileSet.tsv FileSet" \
    ".import $work/tables/Job.tsv Job" ".import $work/tables/Path.tsv Path" \
    ".import $work/tables/File.tsv File" "CREATE INDEX file_job ON File (JobId)"
job_query="SELECT Path.Path || File.Filename, File.LStat FROM File JOIN Path USING (PathId) WHERE File.JobId = 1"

declare -A queries=(
    [length]="SELECT sum(length(LStat)) FROM File"
    [lstat_field]="SELECT sum(lstat_field(LStat, 'size')) FROM File"
)
order=(length lstat_field)
# Milliseconds of one run of a query, as the shell's timer measures it, or
# of --catalog and the pipeline, as the wall clock does.
query_ms() {
    local start end
    if [ "$1" = catalog ] || [ "$1" = pipeline ]; then
        start=$(date +%s%N)
        if [ "$1" = catalog ]; then
            "$catalog/b64num-lstat" --du --catalog="sqlite:$work/catalog.db" --job=1 > /dev/null
        else
            sqlite3 -init /dev/null -csv "$work/catalog.db" "$job_query" |
                "$catalog/b64num-lstat" --csv --du > /dev/null
        fi
        end=$(date +%s%N)
        echo $(((end - start) / 1000000))
        return
    fi
    printf '.timer on\n%s;\n' "${queries[$1]}" | "${shell[@]}" "$work/bench.db" |
        sed -n 's/^Run Time: real \([0-9.]*\).*/\1/p' | awk '{ printf "%.0f\n", $1 * 1000 }'
}

rounds=7
take_turns "$rounds" query_ms "${order[@]}" catalog pipeline
# Peak memory, KiB: --catalog's, and that of the same --du over a file of
# the job's rows, the tool's own.
catalog_kib=$(/usr/bin/time -f %M "$catalog/b64num-lstat" --du --catalog="sqlite:$work/catalog.db" \
    --job=1 2>&1 > /dev/null | tail -n 1)
sqlite3 -init /dev/null -csv "$work/catalog.db" "$job_query" > "$work/job.csv"
file_kib=$(/usr/bin/time -f %M "$catalog/b64num-lstat" --csv --du "$work/job.csv" 2>&1 > /dev/null |
    tail -n 1)

machine
echo "SQLite $(sqlite3 --version | cut -d ' ' -f 1), $rows rows, median of $rounds rounds"
for name in "${order[@]}"; do
    printf '%-56s %9.0f ms\n' "${queries[$name]}" "${ms[$name]}"
done
printf '%-56s %9.0f ms, %d MiB\n' "b64num-lstat --du --catalog=sqlite:... --job=1" "${ms[catalog]}" \
    $((catalog_kib / 1024))
printf '%-56s %9.0f ms\n' "sqlite3 -csv ... | b64num-lstat --csv --du" "${ms[pipeline]}"
printf '%-56s %12s %d MiB\n' "b64num-lstat --csv --du FILE" "" $((file_kib / 1024))
field=$(ratio "${ms[lstat_field]}" "${ms[length]}")
met=$(goal "$field" "<=" 1.5)
against=$(ratio "${ms[catalog]}" "${ms[pipeline]}")
catalog_met=$(goal "$against" "<=" 1.0)
# The client library, its buffers, the reading thread and the batches it
# fills beside the tool's own memory: a constant, at most 32 MiB.
memory=$(ratio "$catalog_kib" "$((file_kib + 32768))")
memory_met=$(goal "$memory" "<=" 1.0)
echo "lstat_field $field x length (goal <= 1.5: $met);" \
    "--catalog $against x the pipeline's time (goal <= 1: $catalog_met);" \
    "--catalog's memory $((catalog_kib / 1024)) MiB against $((file_kib / 1024)) MiB reading a file" \
    "(goal: at most 32 MiB more: $memory_met)"
[ "$met" = met ] && [ "$catalog_met" = met ] && [ "$memory_met" = met ]

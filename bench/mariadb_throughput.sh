#!/usr/bin/env bash
# Query times over one million generated catalog rows on a throwaway MariaDB
# server: the b64num loadable functions beside MariaDB's own LENGTH, and a
# stored SQL function that decodes a field by hand; and b64num-lstat
# --catalog --du over a one-million-row job of a catalog beside the
# README's pipeline, mysql -B | b64num-lstat --du, with the peak memory of
# each. Each time is the median of 5 rounds in which the queries take
# turns. Exits 1 if a goal is missed.
#
# usage: bench/mariadb_throughput.sh [catalog build dir] [bench build dir]
#   (cmake --workflow --preset catalog; cmake --workflow --preset bench)
set -euo pipefail
# shellcheck source=bench/take_turns.sh
source "$(dirname "$0")/take_turns.sh"

catalog=$(cd "${1:-build/catalog}" && pwd)
bench=$(cd "${2:-build/bench}" && pwd)
for program in "$catalog/mariadb/b64num.so" "$catalog/b64num-lstat" "$bench/bench/lstat_gen"; do
    [ -e "$program" ] || {
        echo "mariadb_throughput.sh: no $program (cmake --workflow --preset catalog; cmake --workflow --preset bench)" >&2
        exit 2
    }
done

# Around throwaway servers: with_servers.sh runs this script again inside.
if [ -z "${B64NUM_MARIADB_PLUGINS:-}" ]; then
    exec "$(dirname "$0")/../tests/catalog/with_servers.sh" "$0" "$catalog" "$bench"
fi

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cp "$catalog/mariadb/b64num.so" "$B64NUM_MARIADB_PLUGINS/"
mysql < "$(dirname "$0")/../mariadb/install.sql"
rows=1000000
"$bench/bench/lstat_gen" "$rows" > "$work/rows.tsv"
mysql -e "CREATE DATABASE bench"
mysql --local-infile=1 bench > /dev/null <<SQL
CREATE TABLE File (Filename BLOB NOT NULL, LStat TINYBLOB NOT NULL);
LOAD DATA LOCAL INFILE '$work/rows.tsv' INTO TABLE File CHARACTER SET binary;
ANALYZE TABLE File;

-- A decoder as administrators write one by hand: split out the numeral,
-- then look up each digit.
DELIMITER //
CREATE FUNCTION sql_lstat_field(lstat TINYBLOB, field INTEGER) RETURNS BIGINT DETERMINISTIC
BEGIN
    DECLARE numeral VARBINARY(255) DEFAULT SUBSTRING_INDEX(SUBSTRING_INDEX(lstat, ' ', field), ' ', -1);
    DECLARE value BIGINT DEFAULT 0;
    DECLARE i INTEGER DEFAULT 1;
    WHILE i <= LENGTH(numeral) DO
        SET value = value * 64 + GREATEST(LOCATE(SUBSTRING(numeral, i, 1),
            BINARY 'ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/') - 1, 0);
        SET i = i + 1;
    END WHILE;
    RETURN value;
END //
DELIMITER ;
SQL

# The same rows as a job of a catalog.
mkdir "$work/tables"
"$(dirname "$0")/catalog_tables.py" "$work/rows.tsv" "$work/tables"
mysql -e "CREATE DATABASE catalog"
mysql --local-infile=1 catalog <<SQL
CREATE TABLE Client (ClientId INTEGER PRIMARY KEY, Name TINYBLOB);
CREATE TABLE FileSet (FileSetId INTEGER PRIMARY KEY, FileSet TINYBLOB);
CREATE TABLE Job (JobId INTEGER PRIMARY KEY, Name TINYBLOB, Type CHAR(1), Level CHAR(1),
                  JobStatus CHAR(1), StartTime DATETIME, JobTDate BIGINT, PurgedFiles TINYINT,
                  JobFiles INTEGER, JobBytes BIGINT, ClientId INTEGER, FileSetId INTEGER);
CREATE TABLE Path (PathId INTEGER PRIMARY KEY, Path BLOB);
CREATE TABLE File (FileId BIGINT PRIMARY KEY, FileIndex INTEGER, JobId INTEGER, PathId INTEGER,
                   Filename BLOB, LStat TINYBLOB, INDEX (JobId));
LOAD DATA LOCAL INFILE '$work/tables/Client.tsv' INTO TABLE Client CHARACTER SET binary;
LOAD DATA LOCAL INFILE '$work/tables/FileSet.tsv' INTO TABLE FileSet CHARACTER SET binary;
LOAD DATA LOCAL INFILE '$work/tables/Job.tsv' INTO TABLE Job CHARACTER SET binary;
LOAD DATA LOCAL INFILE '$work/tables/Path.tsv' INTO TABLE Path CHARACTER SET binary;
LOAD DATA LOCAL INFILE '$work/tables/File.tsv' INTO TABLE File CHARACTER SET binary;
SQL
job_query="SELECT CONCAT(Path.Path, File.Filename), File.LStat FROM File JOIN Path USING (PathId) WHERE File.JobId = 1"

declare -A queries=(
    [length]="SELECT SUM(LENGTH(LStat)) FROM File"
    [lstat_field]="SELECT SUM(lstat_field(LStat, 'size')) FROM File"
    [by_hand]="SELECT SUM(sql_lstat_field(LStat, 8)) FROM File"
)
order=(length lstat_field by_hand)
# Milliseconds of one run of a query, as the wall clock measures it.
# shellcheck disable=SC2317 # called by take_turns
query_ms() {
    local start end
    start=$(date +%s%N)
    case $1 in
    catalog) "$catalog/b64num-lstat" --du --catalog=mysql:///catalog --job=1 > /dev/null ;;
    pipeline) mysql -B -N -e "$job_query" catalog | "$catalog/b64num-lstat" --du > /dev/null ;;
    *) mysql -B -N -e "${queries[$1]}" bench > /dev/null ;;
    esac
    end=$(date +%s%N)
    echo $(((end - start) / 1000000))
}
rounds=5
take_turns "$rounds" query_ms "${order[@]}" catalog pipeline
# Peak memory, KiB: --catalog's, and that of the same --du over a file of
# the job's rows, the tool's own.
catalog_kib=$(/usr/bin/time -f %M "$catalog/b64num-lstat" --du --catalog=mysql:///catalog --job=1 \
    2>&1 > /dev/null | tail -n 1)
mysql -B -N -e "$job_query" catalog > "$work/job.tsv"
file_kib=$(/usr/bin/time -f %M "$catalog/b64num-lstat" --du "$work/job.tsv" 2>&1 > /dev/null |
    tail -n 1)

machine
echo "server: MariaDB $(mysql -B -N -e 'SELECT VERSION()'), $rows rows, median of $rounds rounds"
for name in "${order[@]}"; do
    printf '%-56s %9.0f ms\n' "${queries[$name]}" "${ms[$name]}"
done
printf '%-56s %9.0f ms, %d MiB\n' "b64num-lstat --du --catalog=mysql:///catalog --job=1" \
    "${ms[catalog]}" $((catalog_kib / 1024))
printf '%-56s %9.0f ms\n' "mysql -B -N -e 'SELECT ...' | b64num-lstat --du" "${ms[pipeline]}"
printf '%-56s %12s %d MiB\n' "b64num-lstat --du FILE" "" $((file_kib / 1024))
field=$(ratio "${ms[lstat_field]}" "${ms[length]}")
by_hand=$(ratio "${ms[by_hand]}" "${ms[lstat_field]}")
against=$(ratio "${ms[catalog]}" "${ms[pipeline]}")
# The client library, its buffers, the reading thread and the batches it
# fills beside the tool's own memory: a constant, at most 32 MiB.
memory=$(ratio "$catalog_kib" "$((file_kib + 32768))")
echo "lstat_field $field x LENGTH (goal <= 1.3: $(goal "$field" "<=" 1.3))," \
    "the stored function $by_hand x lstat_field (goal >= 20: $(goal "$by_hand" ">=" 20));" \
    "--catalog $against x the pipeline's time (goal <= 1: $(goal "$against" "<=" 1));" \
    "its memory $((catalog_kib / 1024)) MiB against $((file_kib / 1024)) MiB reading a file" \
    "(goal: at most 32 MiB more: $(goal "$memory" "<=" 1))"
missed=0
for check in "$(goal "$field" "<=" 1.3)" "$(goal "$by_hand" ">=" 20)" "$(goal "$against" "<=" 1)" \
    "$(goal "$memory" "<=" 1)"; do
    [ "$check" = met ] || missed=1
done
exit "$missed"

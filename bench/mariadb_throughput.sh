#!/usr/bin/env bash
# Query times over one million generated catalog rows on a throwaway MariaDB
# server: the b64num loadable functions beside MariaDB's own LENGTH, and a
# stored SQL function that decodes a field by hand. Each time is the median
# of 5 rounds in which the queries take turns. Exits 1 if a goal is missed.
#
# usage: bench/mariadb_throughput.sh [catalog build dir] [bench build dir]
#   (cmake --workflow --preset catalog; cmake --workflow --preset bench)
set -euo pipefail
# shellcheck source=bench/take_turns.sh
source "$(dirname "$0")/take_turns.sh"

catalog=$(cd "${1:-build/catalog}" && pwd)
bench=$(cd "${2:-build/bench}" && pwd)
for program in "$catalog/mariadb/b64num.so" "$bench/bench/lstat_gen"; do
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

declare -A queries=(
    [length]="SELECT SUM(LENGTH(LStat)) FROM File"
    [lstat_field]="SELECT SUM(lstat_field(LStat, 'size')) FROM File"
    [by_hand]="SELECT SUM(sql_lstat_field(LStat, 8)) FROM File"
)
order=(length lstat_field by_hand)
# Milliseconds of one run of a query, as the wall clock measures it.
query_ms() {
    local start end
    start=$(date +%s%N)
    mysql -B -N -e "${queries[$1]}" bench > /dev/null
    end=$(date +%s%N)
    echo $(((end - start) / 1000000))
}
rounds=5
take_turns "$rounds" query_ms "${order[@]}"

machine
echo "server: MariaDB $(mysql -B -N -e 'SELECT VERSION()'), $rows rows, median of $rounds rounds"
for name in "${order[@]}"; do
    printf '%-56s %9.0f ms\n' "${queries[$name]}" "${ms[$name]}"
done
field=$(ratio "${ms[lstat_field]}" "${ms[length]}")
by_hand=$(ratio "${ms[by_hand]}" "${ms[lstat_field]}")
echo "lstat_field $field x LENGTH (goal <= 1.3: $(goal "$field" "<=" 1.3))," \
    "the stored function $by_hand x lstat_field (goal >= 20: $(goal "$by_hand" ">=" 20))"
[ "$(goal "$field" "<=" 1.3)" = met ] && [ "$(goal "$by_hand" ">=" 20)" = met ]

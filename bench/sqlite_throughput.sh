#!/usr/bin/env bash
# Query times over one million generated catalog rows in an SQLite database
# through the sqlite3 shell: the b64num extension beside SQLite's own
# length(). Each time is the median of 7 rounds in which the queries take
# turns. Exits 1 if the goal is missed.
#
# usage: bench/sqlite_throughput.sh [catalog build dir] [bench build dir]
#   (cmake --workflow --preset catalog; cmake --workflow --preset bench)
set -euo pipefail
# shellcheck source=bench/take_turns.sh
source "$(dirname "$0")/take_turns.sh"

catalog=$(cd "${1:-build/catalog}" && pwd)
bench=$(cd "${2:-build/bench}" && pwd)
for program in "$catalog/sqlite/b64num.so" "$bench/bench/lstat_gen"; do
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

declare -A queries=(
    [length]="SELECT sum(length(LStat)) FROM File"
    [lstat_field]="SELECT sum(lstat_field(LStat, 'size')) FROM File"
)
order=(length lstat_field)
# Milliseconds of one run of a query, as the shell's timer measures it.
query_ms() {
    printf '.timer on\n%s;\n' "${queries[$1]}" | "${shell[@]}" "$work/bench.db" |
        sed -n 's/^Run Time: real \([0-9.]*\).*/\1/p' | awk '{ printf "%.0f\n", $1 * 1000 }'
}

rounds=7
take_turns "$rounds" query_ms "${order[@]}"

machine
echo "SQLite $(sqlite3 --version | cut -d ' ' -f 1), $rows rows, median of $rounds rounds"
for name in "${order[@]}"; do
    printf '%-56s %9.0f ms\n' "${queries[$name]}" "${ms[$name]}"
done
field=$(ratio "${ms[lstat_field]}" "${ms[length]}")
met=$(goal "$field" "<=" 1.5)
echo "lstat_field $field x length (goal <= 1.5: $met)"
[ "$met" = met ]

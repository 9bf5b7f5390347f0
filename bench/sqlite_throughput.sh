#!/usr/bin/env bash
# Query times over one million generated catalog rows in an SQLite database
# through the sqlite3 shell: the b64num extension beside SQLite's own
# length(). Each time is the median of 7 rounds in which the queries take
# turns. Exits 1 if the goal is missed.
#
# usage: bench/sqlite_throughput.sh [catalog build dir] [bench build dir]
#   (cmake --workflow --preset catalog; cmake --workflow --preset bench)
set -euo pipefail

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

median() { sort -n | awk '{ times[NR] = $1 } END { print times[int((NR + 1) / 2)] }'; }
# Milliseconds of one run of a query, as the shell's timer measures it.
query_ms() {
    printf '.timer on\n%s;\n' "$1" | "${shell[@]}" "$work/bench.db" |
        sed -n 's/^Run Time: real \([0-9.]*\).*/\1/p' | awk '{ printf "%.0f\n", $1 * 1000 }'
}

declare -A queries=(
    [length]="SELECT sum(length(LStat)) FROM File"
    [lstat_field]="SELECT sum(lstat_field(LStat, 'size')) FROM File"
)
order=(length lstat_field)
# The queries take turns, round after round, so that a slower stretch of a
# shared machine falls on both alike; the first round warms the caches and
# the median of the other seven counts.
rounds=7
declare -A runs ms
for round in $(seq 0 "$rounds"); do
    for name in "${order[@]}"; do
        time_ms=$(query_ms "${queries[$name]}")
        [ "$round" -eq 0 ] || runs[$name]+="$time_ms"$'\n'
    done
done
for name in "${order[@]}"; do
    ms[$name]=$(printf '%s' "${runs[$name]}" | median)
done

ratio() { awk -v a="$1" -v b="$2" 'BEGIN { printf "%.2f", a / b }'; }
echo "machine: $(uname -m), $(nproc) cores, $(sed -n 's/^model name\s*: //p' /proc/cpuinfo | head -n 1)"
echo "SQLite $(sqlite3 --version | cut -d ' ' -f 1), $rows rows, median of $rounds rounds"
for name in "${order[@]}"; do
    printf '%-56s %9.0f ms\n' "${queries[$name]}" "${ms[$name]}"
done
field=$(ratio "${ms[lstat_field]}" "${ms[length]}")
met=$(awk -v r="$field" 'BEGIN { print r <= 1.5 ? "met" : "MISSED" }')
echo "lstat_field $field x length (goal <= 1.5: $met)"
[ "$met" = met ]

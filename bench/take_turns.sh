# shellcheck shell=bash
# What the SQL benchmarks share: queries that take turns, medians, ratios
# and goals. Sourced by bench/postgresql_throughput.sh,
# bench/mariadb_throughput.sh and bench/sqlite_throughput.sh.

median() { sort -n | awk '{ times[NR] = $1 } END { print times[int((NR + 1) / 2)] }'; }
ratio() { awk -v a="$1" -v b="$2" 'BEGIN { printf "%.2f", a / b }'; }
goal() { awk -v r="$1" -v op="$2" -v g="$3" 'BEGIN { ok = op == "<=" ? r <= g : r >= g; print ok ? "met" : "MISSED" }'; }
machine() { echo "machine: $(uname -m), $(nproc) cores, $(sed -n 's/^model name\s*: //p' /proc/cpuinfo | head -n 1)"; }

# take_turns ROUNDS RUN KEY...: runs `RUN KEY`, which prints milliseconds,
# for each key in turn, round after round, and sets ms[KEY] to the median of
# ROUNDS rounds after one that warms the caches. Taking turns lets a slower
# stretch of a shared machine fall on every query alike, so that the ratios
# between them stay fair.
take_turns() {
    local rounds=$1 run=$2 round key time_ms
    shift 2
    declare -gA ms
    local -A runs=()
    for round in $(seq 0 "$rounds"); do
        for key in "$@"; do
            time_ms=$("$run" "$key")
            [ "$round" -eq 0 ] || runs[$key]+="$time_ms"$'\n'
        done
    done
    for key in "$@"; do
        # shellcheck disable=SC2034 # ms is what the callers read
        ms[$key]=$(printf '%s' "${runs[$key]}" | median)
    done
}

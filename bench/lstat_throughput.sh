#!/usr/bin/env bash
# Rows per second and peak memory of b64num-lstat over one million generated
# catalog rows (a file name column and 16 fields), and over a million rows of
# long numerals, and in ls -l form, beside a shell loop that starts b64num
# once per field; and peak memory for one line of 1 GiB before good rows;
# and --du and --ncdu over a million shuffled rows of a tree of 10,000
# directories; and --diff between those rows and the next backup of the
# same tree (5% of the files gone, 5% new, 10% changed), beside -f size over
# the same two files, and --du --all-versions over both; and --treemap of
# the tree: its speed, its peak memory beside --ncdu's, the size of its SVG
# and the time headless Chromium takes to draw it; and --du over 100,000
# files whose paths all hash alike under libstdc++'s std::hash, beside as
# many of random names; and the selections, --by and the fields read from
# mode, beside plain -f size and --du; and --qdirstat beside --ncdu, and
# --csv -f size over the catalog rows as sqlite3 -csv writes them, beside
# -f size over their TSV; and --sorted --du, --ncdu, --by and --diff over a
# tree in path order and its next backup, beside -f size over the same
# rows, with their peak memory at one and ten million rows.
# Exits 1 if a goal is missed.
#
# usage: bench/lstat_throughput.sh [release build dir] [bench build dir]
set -euo pipefail

release=${1:-build/release}
bench=${2:-build/bench}
lstat=$release/b64num-lstat
single=$release/b64num
generate=$bench/bench/lstat_gen
for program in "$lstat" "$single" "$generate"; do
    [ -x "$program" ] || {
        echo "lstat_throughput.sh: no $program (cmake --workflow --preset release; cmake --workflow --preset bench)" >&2
        exit 2
    }
done

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
rows=1000000
"$generate" "$rows" > "$work/rows.tsv"
"$generate" "$rows" long > "$work/long.tsv"
"$generate" 1000 > "$work/small.tsv"
"$generate" "$rows" tree > "$work/tree.tsv"
"$generate" "$rows" next > "$work/next.tsv"
"$generate" 100000 pile > "$work/pile.tsv"
"$generate" 100000 scattered > "$work/scattered.tsv"
# The generated names hold no comma, quote or line feed: psql --csv writes
# these rows with a comma for the TAB, quoting nothing; sqlite3 -csv quotes
# every field that holds a space, and so every LStat value.
sed 's/\t/,/' "$work/rows.tsv" > "$work/rows.csv"
awk -F '\t' -v OFS=, '{ for (i = 1; i <= NF; ++i) if ($i ~ / /) $i = "\"" $i "\""; print }' \
    "$work/rows.tsv" > "$work/quoted.csv"
"$generate" "$rows" sorted > "$work/sorted.tsv"
"$generate" "$rows" sorted-next > "$work/sorted-next.tsv"

now() { date +%s.%N; }
per_second() { awk -v n="$1" -v a="$2" -v b="$3" 'BEGIN {printf "%.0f", n / (b - a)}'; }
# Peak memory moves by up to ~200 KiB from run to run with address-space
# randomisation; the least of five runs repeats.
least_of_five() { for _ in 1 2 3 4 5; do "$@"; done | sort -n | head -n 1; }
peak_kb() { /usr/bin/time -f %M "$lstat" "$1" 2>&1 >/dev/null | tail -n 1; }
streamed_peak_kb() { "$generate" "$1" | /usr/bin/time -f %M "$lstat" 2>&1 >/dev/null | tail -n 1; }

# Best of five, with the file in the page cache after the first.
# Runs b64num-lstat; --diff exits 1 where its inputs differ, as diff does.
run_lstat() {
    local status=0
    "$lstat" "$@" > /dev/null || status=$?
    [ "$status" = 0 ] || { [ "$status" = 1 ] && [[ " $* " == *" --diff "* ]]; }
}
best_rate() { best_rate_of "$rows" "$@"; }
best_rate_of() {
    local lines=$1 best=0 start rate
    shift
    for _ in 1 2 3 4 5; do
        start=$(now)
        run_lstat "$@"
        rate=$(per_second "$lines" "$start" "$(now)")
        [ "$rate" -gt "$best" ] && best=$rate
    done
    echo "$best"
}
# Two commands over the same rows, taking turns, best of five each: a
# slower stretch of the shared machine falls on both alike.
best_rates_in_turn() {
    local lines=$1 first=$2 second=$3 best_first=0 best_second=0 start rate
    shift 3
    for _ in 1 2 3 4 5; do
        start=$(now)
        # shellcheck disable=SC2086 # each command is its options, split
        run_lstat $first "$@"
        rate=$(per_second "$lines" "$start" "$(now)")
        [ "$rate" -gt "$best_first" ] && best_first=$rate
        start=$(now)
        # shellcheck disable=SC2086
        run_lstat $second "$@"
        rate=$(per_second "$lines" "$start" "$(now)")
        [ "$rate" -gt "$best_second" ] && best_second=$rate
    done
    echo "$best_first $best_second"
}
best=$(best_rate "$work/rows.tsv")
best_long=$(best_rate "$work/long.tsv")
# ls -l form: a local time per row, in a zone with daylight saving time.
best_listing=$(TZ=Europe/Berlin best_rate -l "$work/rows.tsv")

best_du=$(best_rate --du "$work/tree.tsv")
best_ncdu=$(best_rate --ncdu "$work/tree.tsv")
ncdu_peak_kb() { /usr/bin/time -f %M "$lstat" --ncdu "$1" 2>&1 >/dev/null | tail -n 1; }
peak_ncdu=$(least_of_five ncdu_peak_kb "$work/tree.tsv")

best_treemap=$(best_rate --treemap "$work/tree.tsv")
treemap_peak_kb() { /usr/bin/time -f %M "$lstat" --treemap "$1" 2>&1 >/dev/null | tail -n 1; }
peak_treemap=$(least_of_five treemap_peak_kb "$work/tree.tsv")
"$lstat" --treemap "$work/tree.tsv" > "$work/tree.svg"
svg_bytes=$(wc -c < "$work/tree.svg")
draw_seconds=missing
if command -v chromium > /dev/null; then
    start=$(now)
    chromium --headless --no-sandbox --disable-gpu --disable-quic --no-first-run \
        --disable-background-networking --disable-component-update --disable-sync \
        --user-data-dir="$work/chromium" --window-size=1600,1000 \
        --screenshot="$work/tree.png" "file://$work/tree.svg" > /dev/null 2>&1
    draw_seconds=$(awk -v a="$start" -v b="$(now)" 'BEGIN {printf "%.2f", b - a}')
fi
drawn_fast=$([ "$draw_seconds" != missing ] && awk -v s="$draw_seconds" 'BEGIN {print (s < 3)}' || echo 0)

read -r best_fields_pair best_diff < <(best_rates_in_turn $((2 * rows)) "-f size" --diff \
    "$work/tree.tsv" "$work/next.tsv")
diff_share=$(awk -v a="$best_diff" -v b="$best_fields_pair" 'BEGIN {printf "%.2f", a / b}')
diff_peak_kb() { { /usr/bin/time -f %M "$lstat" --diff "$1" "$2" 2>&1 >/dev/null || true; } | tail -n 1; }
peak_diff=$(least_of_five diff_peak_kb "$work/tree.tsv" "$work/next.tsv")
best_all_versions=$(best_rate_of $((2 * rows)) --du --all-versions "$work/tree.tsv" "$work/next.tsv")
read -r best_size best_selected < <(best_rates_in_turn "$rows" "-f size" \
    "-f size --type=f --size=+1M --newer=2024-01-01" "$work/rows.tsv")
selected_share=$(awk -v a="$best_selected" -v b="$best_size" 'BEGIN {printf "%.2f", a / b}')
selected_fast=$(awk -v s="$selected_share" 'BEGIN {print (s >= 0.9)}')
best_readable=$(TZ=Europe/Berlin best_rate -f type,perm,mtime --time-style=long-iso "$work/rows.tsv")
best_by_kind=$(best_rate --by=kind "$work/tree.tsv")
best_by_uid_year=$(TZ=Europe/Berlin best_rate --by=uid,year "$work/tree.tsv")
by_peak_kb() { /usr/bin/time -f %M "$lstat" --by=uid,kind "$1" 2>&1 >/dev/null | tail -n 1; }
du_peak_kb() { /usr/bin/time -f %M "$lstat" --du "$1" 2>&1 >/dev/null | tail -n 1; }
peak_by=$(least_of_five by_peak_kb "$work/tree.tsv")
peak_du=$(least_of_five du_peak_kb "$work/tree.tsv")
read -r best_ncdu_turn best_qdirstat < <(best_rates_in_turn "$rows" --ncdu --qdirstat "$work/tree.tsv")
qdirstat_fast=$(awk -v a="$best_qdirstat" -v b="$best_ncdu_turn" 'BEGIN {print (a >= 0.97 * b)}')
qdirstat_peak_kb() { /usr/bin/time -f %M "$lstat" --qdirstat "$1" 2>&1 >/dev/null | tail -n 1; }
peak_qdirstat=$(least_of_five qdirstat_peak_kb "$work/tree.tsv")
# Options and file in one word each: the two read different files.
read -r best_tsv best_csv < <(best_rates_in_turn "$rows" "-f size $work/rows.tsv" \
    "--csv -f size $work/rows.csv")
csv_share=$(awk -v a="$best_csv" -v b="$best_tsv" 'BEGIN {printf "%.2f", a / b}')
read -r best_tsv_again best_quoted < <(best_rates_in_turn "$rows" "-f size $work/rows.tsv" \
    "--csv -f size $work/quoted.csv")
quoted_share=$(awk -v a="$best_quoted" -v b="$best_tsv_again" 'BEGIN {printf "%.2f", a / b}')
csv_fast=$(awk -v s="$csv_share" -v q="$quoted_share" 'BEGIN {print (s >= 0.7 && q >= 0.7)}')
# --sorted: each mode in turn with -f size over the same rows, its share of
# that rate, and its peak memory over one and ten million rows, streamed.
sorted_met=met
sorted_report=""
sorted_peak_kb() {
    local lines=$1
    shift
    if [ "$1" = --diff ]; then
        { /usr/bin/time -f %M "$lstat" --sorted "$@" <("$generate" "$lines" sorted) \
            <("$generate" "$lines" sorted-next) 2>&1 >/dev/null || true; } | tail -n 1
    else
        "$generate" "$lines" sorted | /usr/bin/time -f %M "$lstat" --sorted "$@" 2>&1 >/dev/null |
            tail -n 1
    fi
}
for mode in --du --ncdu --by=uid,kind --diff; do
    files=("$work/sorted.tsv")
    lines=$rows
    if [ "$mode" = --diff ]; then
        files+=("$work/sorted-next.tsv")
        lines=$((2 * rows))
    fi
    read -r size_rate mode_rate < <(best_rates_in_turn "$lines" "-f size" "--sorted $mode" \
        "${files[@]}")
    share=$(awk -v a="$mode_rate" -v b="$size_rate" 'BEGIN {printf "%.2f", a / b}')
    peak_million=$(least_of_five sorted_peak_kb "$rows" "$mode")
    peak_ten_million=$(sorted_peak_kb 10000000 "$mode")
    fast=$(awk -v s="$share" 'BEGIN {print (s >= 0.8)}')
    small=$([ "$peak_ten_million" -le 16384 ] &&
        [ $((peak_ten_million - peak_million)) -le 1024 ] && echo 1 || echo 0)
    if [ "$mode" != --by=uid,kind ] && { [ "$fast" != 1 ] || [ "$small" != 1 ]; }; then
        sorted_met=MISSED
    fi
    sorted_report+="b64num-lstat --sorted $mode, $lines rows in path order: $mode_rate rows/s, $share of -f size's $size_rate (goal >= 0.80: $([ "$fast" = 1 ] && echo met || echo MISSED)), peak memory $peak_million KiB, $peak_ten_million KiB for 10000000 rows (goal <= 16384 and within 1024: $([ "$small" = 1 ] && echo met || echo MISSED))"$'\n'
done
best_scattered=$(best_rate_of 100000 --du "$work/scattered.tsv")
best_pile=$(best_rate_of 100000 --du "$work/pile.tsv")
pile_share=$(awk -v a="$best_pile" -v b="$best_scattered" 'BEGIN {printf "%.2f", a / b}')
pile_fast=$(awk -v s="$pile_share" 'BEGIN {print (s >= 0.5)}')

peak_small=$(least_of_five peak_kb "$work/small.tsv")
peak_million=$(least_of_five peak_kb "$work/rows.tsv")
# Ten million rows streamed through a pipe: no 1 GB file on disk.
peak_ten_million=$(least_of_five streamed_peak_kb 10000000)
# One line of 1 GiB, then good rows: the line is passed over, never held,
# and the rows after it print.
huge_line_peak_kb() {
    { head -c 1073741824 /dev/zero | tr '\0' A; echo; "$generate" 1000; } |
        /usr/bin/time -f %M "$lstat" -f size 2> "$work/huge.err" > "$work/huge.out" || true
    tail -n 1 "$work/huge.err"
}
peak_huge_line=$(huge_line_peak_kb)
huge_line_rows=$(wc -l < "$work/huge.out")

start=$(now)
while IFS=$'\t' read -r _ lstat_value; do
    for numeral in $lstat_value; do
        "$single" "$numeral" > /dev/null
    done
done < "$work/small.tsv"
loop_rate=$(per_second 1000 "$start" "$(now)")

echo "machine: $(uname -m), $(nproc) cores, $(sed -n 's/^model name\s*: //p' /proc/cpuinfo | head -n 1)"
echo "b64num-lstat, all 16 fields, $rows rows: $best rows/s (goal >= 2000000: $([ "$best" -ge 2000000 ] && echo met || echo MISSED))"
echo "b64num-lstat, all 16 fields, $rows rows of long numerals: $best_long rows/s (goal >= 2500000: $([ "$best_long" -ge 2500000 ] && echo met || echo MISSED))"
echo "b64num-lstat -l, $rows rows: $best_listing rows/s (goal >= 1000000: $([ "$best_listing" -ge 1000000 ] && echo met || echo MISSED))"
echo "b64num-lstat --du, $rows shuffled rows of a tree: $best_du rows/s (goal >= 1000000: $([ "$best_du" -ge 1000000 ] && echo met || echo MISSED))"
echo "b64num-lstat --ncdu, the same rows: $best_ncdu rows/s (goal >= 500000: $([ "$best_ncdu" -ge 500000 ] && echo met || echo MISSED)), peak memory $peak_ncdu KiB (goal < 307200: $([ "$peak_ncdu" -lt 307200 ] && echo met || echo MISSED))"
echo "b64num-lstat --treemap, the same rows: $best_treemap rows/s (goal >= 1000000: $([ "$best_treemap" -ge 1000000 ] && echo met || echo MISSED)), peak memory $peak_treemap KiB (goal <= --ncdu's $peak_ncdu, within the 1% that peaks move by: $([ "$peak_treemap" -le $((peak_ncdu + peak_ncdu / 100)) ] && echo met || echo MISSED)), $svg_bytes bytes of SVG (goal <= 5000000: $([ "$svg_bytes" -le 5000000 ] && echo met || echo MISSED)), drawn by headless Chromium in $draw_seconds s (goal < 3: $([ "$drawn_fast" = 1 ] && echo met || echo MISSED))"
diff_fast=$(awk -v s="$diff_share" 'BEGIN {print (s >= 0.4)}')
echo "b64num-lstat --diff, two backups of $rows rows: $best_diff rows/s, $diff_share of -f size's $best_fields_pair over the same files (goal >= 0.40: $([ "$diff_fast" = 1 ] && echo met || echo MISSED)), peak memory $peak_diff KiB (goal <= 204800: $([ "$peak_diff" -le 204800 ] && echo met || echo MISSED))"
echo "b64num-lstat --du --all-versions, the same two files: $best_all_versions rows/s (goal >= 1000000: $([ "$best_all_versions" -ge 1000000 ] && echo met || echo MISSED))"
echo "b64num-lstat --du, 100000 files whose paths collide under std::hash: $best_pile rows/s, $pile_share of $best_scattered for random names (goal >= 0.50: $([ "$pile_fast" = 1 ] && echo met || echo MISSED))"
echo "b64num-lstat -f size --type=f --size=+1M --newer=2024-01-01, $rows rows: $best_selected rows/s, $selected_share of -f size's $best_size (goal >= 0.90: $([ "$selected_fast" = 1 ] && echo met || echo MISSED))"
echo "b64num-lstat -f type,perm,mtime --time-style=long-iso, $rows rows: $best_readable rows/s (goal >= 2000000: $([ "$best_readable" -ge 2000000 ] && echo met || echo MISSED))"
echo "b64num-lstat --by=kind and --by=uid,year, $rows shuffled rows of a tree: $best_by_kind and $best_by_uid_year rows/s (goal >= 1500000: $([ "$best_by_kind" -ge 1500000 ] && [ "$best_by_uid_year" -ge 1500000 ] && echo met || echo MISSED)), peak memory of --by=uid,kind $peak_by KiB (goal <= --du's $peak_du, within 1%: $([ "$peak_by" -le $((peak_du + peak_du / 100)) ] && echo met || echo MISSED))"
echo "b64num-lstat --qdirstat, $rows shuffled rows of a tree: $best_qdirstat rows/s, in turn with --ncdu's $best_ncdu_turn (goal >= --ncdu's, within the 3% that rates move by: $([ "$qdirstat_fast" = 1 ] && echo met || echo MISSED)), peak memory $peak_qdirstat KiB (goal <= --ncdu's $peak_ncdu, within 1%: $([ "$peak_qdirstat" -le $((peak_ncdu + peak_ncdu / 100)) ] && echo met || echo MISSED))"
echo "b64num-lstat --csv -f size, $rows rows: as psql --csv writes them $best_csv rows/s, $csv_share of -f size's $best_tsv over the same rows as TSV; as sqlite3 -csv writes them, LStat quoted, $best_quoted rows/s, $quoted_share of $best_tsv_again (goal >= 0.70 for both: $([ "$csv_fast" = 1 ] && echo met || echo MISSED))"
printf '%s' "$sorted_report"
echo "shell loop calling b64num per field, 1000 rows: $loop_rate rows/s"
# Growth is judged with a tolerance: the peak moves by tens of KiB from run
# to run, while a leak of one byte a row would add 10 MB over ten million.
tolerance=$((peak_small / 20 > 256 ? peak_small / 20 : 256))
no_growth=$([ "$peak_ten_million" -le $((peak_small + tolerance)) ] && echo met || echo MISSED)
echo "peak memory: 1000 rows $peak_small KiB, 1000000 rows $peak_million KiB, 10000000 rows $peak_ten_million KiB" \
    "(goal: no growth beyond 5% or 256 KiB, whichever is more: $no_growth)"
echo "peak memory: one 1 GiB line, then 1000 rows: $peak_huge_line KiB, $huge_line_rows rows printed" \
    "(goal: under 65536 KiB, every row: $([ "$peak_huge_line" -lt 65536 ] && [ "$huge_line_rows" = 1000 ] && echo met || echo MISSED))"
[ "$best" -ge 2000000 ] && [ "$best_long" -ge 2500000 ] && [ "$best_listing" -ge 1000000 ] &&
    [ "$no_growth" = met ] && [ "$peak_huge_line" -lt 65536 ] &&
    [ "$huge_line_rows" = 1000 ] && [ "$best_du" -ge 1000000 ] && [ "$best_ncdu" -ge 500000 ] &&
    [ "$peak_ncdu" -lt 307200 ] && [ "$diff_fast" = 1 ] && [ "$peak_diff" -le 204800 ] &&
    [ "$best_all_versions" -ge 1000000 ] && [ "$best_treemap" -ge 1000000 ] &&
    [ "$peak_treemap" -le $((peak_ncdu + peak_ncdu / 100)) ] && [ "$svg_bytes" -le 5000000 ] && [ "$drawn_fast" = 1 ] &&
    [ "$pile_fast" = 1 ] && [ "$selected_fast" = 1 ] && [ "$best_readable" -ge 2000000 ] &&
    [ "$best_by_kind" -ge 1500000 ] && [ "$best_by_uid_year" -ge 1500000 ] &&
    [ "$peak_by" -le $((peak_du + peak_du / 100)) ] && [ "$qdirstat_fast" = 1 ] &&
    [ "$peak_qdirstat" -le $((peak_ncdu + peak_ncdu / 100)) ] && [ "$csv_fast" = 1 ] &&
    [ "$sorted_met" = met ]

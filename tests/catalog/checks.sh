# shellcheck shell=bash
# The checks of the catalog tests, sourced by postgresql.sh and mariadb.sh
# after they define, for their engine:
#   engine, client   names, and the client whose README recipes to run
#   escapes          copy or mysql: how the client escapes what it prints
#   full_name        the SQL expression of a file's path and name
#   line_feed        the SQL expression of a line feed
#   load_fixture DIR load the fixture's tables into a new database bacula
#   rows QUERY       print QUERY's rows escaped, as the README's recipes do
#   raw_rows QUERY   print them unescaped (psql -At, mysql -r)
#   header_rows QUERY  print them escaped after a header line
#   value QUERY      print QUERY's single value
# and optionally csv_rows QUERY, which prints them as CSV after a header line,
# engine_checks, run before the README's recipes, and catalog_uri, the
# catalog for --catalog, with wrong_password_uri, a user's with a wrong
# password, and for reading_checks.sh load_chain DIR, which loads the
# catalogs of chain_fixture.py, chain_uri, their URI but for the schema's
# name, and chain_rows JOBS, the hand-written pipeline over them.
# Everything is compared with what the fixture knows, not with the decoder.
#
# usage: ENGINE.sh CATALOG_FIXTURE DIRECTORY_OF_BUILT_TOOLS

: "${engine:?}" "${client:?}" "${escapes:?}" "${full_name:?}" "${line_feed:?}"

fixture_program=$1
tools=$(cd "$2" && pwd)
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
export PATH="$tools:$PATH"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

"$fixture_program" "$work"
load_fixture "$work"

failures=0
fail() {
    echo "$engine: $*" >&2
    failures=$((failures + 1))
}
same() {
    cmp -s "$1" "$2" || { fail "$3:"; diff "$1" "$2" | head -n 10 >&2 || true; }
}

job42="SELECT $full_name, File.LStat FROM File JOIN Path USING (PathId) WHERE File.JobId = 42 ORDER BY File.FileId"

rows "$job42" | b64num-lstat -f size > "$work/sizes.tsv" || fail "b64num-lstat failed on the escaped rows"
same "$work/expected-$escapes.tsv" "$work/sizes.tsv" "not one right row per catalog row"

rows "$job42" | b64num-lstat --json -f size > "$work/sizes.json" || fail "b64num-lstat --json failed"
same "$work/expected.json" "$work/sizes.json" "JSON does not hold the real names"

bytes=$(rows "SELECT LStat FROM File WHERE JobId = 42" | b64num-lstat -f mode,size |
    awk -F '\t' 'int($1 / 4096) == 8 { bytes += $2 } END { print bytes }')
[ "$bytes" = "$(value "SELECT JobBytes FROM Job WHERE JobId = 42")" ] ||
    fail "the regular files of job 42 hold $bytes bytes, not JobBytes"

rows "$job42" | b64num-lstat --json -f size | python3 -c '
import json, sys
names = open(sys.argv[1], "rb").read().split(b"\0")[:-1]
got = [json.loads(line)["columns"][0].encode("utf-8", "surrogateescape") for line in sys.stdin]
sys.exit(got != names)' "$work/names.bin" || fail "JSON does not give back every name's bytes"

# CSV gives the rows that COPY gives, names and all.
if declare -F csv_rows > /dev/null; then
    csv_rows "$job42" | b64num-lstat --csv -f size > "$work/csv.tsv" || fail "b64num-lstat --csv failed"
    same "$work/expected-copy.tsv" "$work/csv.tsv" "CSV: not COPY's row for each catalog row"
    csv_rows "$job42" | b64num-lstat --csv --json -f size > "$work/csv.json" || fail "--csv --json failed"
    same "$work/expected.json" "$work/csv.json" "CSV: JSON does not hold the real names"
fi

header_rows "$job42" | b64num-lstat -f size > "$work/header.tsv" || fail "a header line failed the run"
same "$work/expected-$escapes.tsv" "$work/header.tsv" "a header line changed the rows"

# Unescaped, with the rows whose names hold a line feed first: those and
# the ones with a TAB are refused, loudly, and every other row prints.
lf_first="SELECT $full_name, File.LStat FROM File JOIN Path USING (PathId) WHERE File.JobId = 42 ORDER BY POSITION($line_feed IN $full_name) = 0, File.FileId"
status=0
raw_rows "$lf_first" | b64num-lstat -f size > "$work/raw.tsv" 2> "$work/raw.err" || status=$?
[ "$status" = 1 ] || fail "unescaped rows exited with status $status, not 1"
same "$work/expected-raw.tsv" "$work/raw.tsv" "unescaped rows: not every right row printed"
grep -q '^b64num-lstat: standard input:1: ' "$work/raw.err" ||
    fail "a row cut by a line feed on line 1 was not reported"

# ls -l form: no control character, and nothing but UTF-8, reaches the
# terminal, whichever client escaped what.
rows "$job42" | TZ=UTC b64num-lstat -l > "$work/long.txt" || fail "b64num-lstat -l failed"
if LC_ALL=C grep -q $'[\x01-\x09\x0b-\x1f\x7f]' "$work/long.txt" ||
    ! iconv -f UTF-8 -t UTF-8 "$work/long.txt" > /dev/null 2>&1; then
    fail "b64num-lstat -l let a control character or a byte that is not UTF-8 through"
fi
for shown in 'title\033]0;owned\a' 'ctl\b\f\v\001\033\177' 'cr\rname' 'c1\302\23331m' 'r\351sum\351.txt'; do
    grep -qF "$shown" "$work/long.txt" || fail "b64num-lstat -l does not show $shown as ls -b does"
done

# ncdu browses the export of the job: its status line shows the job's
# apparent size and number of entries.
rows "SELECT $full_name, File.LStat FROM File JOIN Path USING (PathId) WHERE File.JobId = 42" |
    b64num-lstat --ncdu > "$work/job42.json" || fail "b64num-lstat --ncdu failed"
tmux=(tmux -L "b64num-ncdu-$$")
"${tmux[@]}" new-session -d -x 160 -y 40 "ncdu -f '$work/job42.json'"
screen=""
for _ in $(seq 100); do
    screen=$("${tmux[@]}" capture-pane -p 2> /dev/null || true)
    [[ $screen == *Items:* ]] && break
    sleep 0.1
done
"${tmux[@]}" kill-server 2> /dev/null || true
python3 - "$work/expected-ncdu.txt" "$screen" <<'PY' || fail "ncdu does not show the job's totals: ${screen##*$'\n'}"
import re, sys
size, items = map(int, open(sys.argv[1]).read().split())
shown = re.search(r"Apparent size:\s*([\d.]+) (B|KiB|MiB|GiB|TiB)\s+Items:\s*(\d+)", sys.argv[2])
unit = 1024 ** ["B", "KiB", "MiB", "GiB", "TiB"].index(shown.group(2))
sys.exit(abs(size / unit - float(shown.group(1))) > 0.05 or int(shown.group(3)) != items)
PY

# The README shows the treemap of job 42 as docs/job42.svg: it must be what
# the tool draws of the fixture. Only COPY's escapes are the ones it was
# drawn from.
if [ "$escapes" = copy ]; then
    rows "SELECT $full_name, File.LStat FROM File JOIN Path USING (PathId) WHERE File.JobId = 42" |
        b64num-lstat --treemap=1200x750 > "$work/job42.svg" || fail "b64num-lstat --treemap failed"
    same "$here/../../docs/job42.svg" "$work/job42.svg" \
        "docs/job42.svg is not the treemap of job 42: draw it anew as the README says"
fi

# --catalog reads what the hand-written pipeline reads: job 42, and the
# chain of 42 and 44 in job order, given in any order.
if [ -n "${catalog_uri:-}" ]; then
    chain="SELECT $full_name, File.LStat FROM File JOIN Path USING (PathId) WHERE File.JobId IN (42, 44) ORDER BY File.JobId, File.FileId"
    for mode in --du "--du --latest" "--du=1 --all-versions" "--by=kind"; do
        # shellcheck disable=SC2086 # the mode's words
        expected=$(rows "$chain" | { b64num-lstat $mode 2> /dev/null; echo "status $?"; })
        # shellcheck disable=SC2086
        got=$({ b64num-lstat $mode --catalog="$catalog_uri" --job=44,42 2> /dev/null; echo "status $?"; })
        [ "$got" = "$expected" ] || fail "--catalog $mode gives otherwise than the pipeline"
    done
    b64num-lstat -f size --catalog="$catalog_uri" --job=42 | LC_ALL=C sort > "$work/catalog.tsv" ||
        fail "--catalog -f size failed"
    LC_ALL=C sort "$work/expected-copy.tsv" > "$work/expected-sorted.tsv"
    same "$work/expected-sorted.tsv" "$work/catalog.tsv" "--catalog: not COPY's row for each catalog row"
    # The client's chain: the Full 44 and the Incrementals after it, the
    # running job 49 named and left out; before job 44 started, 42 and 43.
    for pair in "42,43|--before=2025-12-12" "44,45,46,47,48|"; do
        IFS='|' read -r jobs before <<< "$pair"
        expected=$(b64num-lstat --du --latest --catalog="$catalog_uri" --job="$jobs")
        got=$(TZ=UTC b64num-lstat --du --latest --catalog="$catalog_uri" --client=ana-fd --chain \
            ${before:+"$before"} 2> "$work/chain.err")
        [ "$got" = "$expected" ] || fail "--client --chain $before reads otherwise than --job=$jobs"
        listed=$(TZ=UTC b64num-lstat --jobs --catalog="$catalog_uri" --client=ana-fd --chain \
            ${before:+"$before"} 2> /dev/null | cut -f 1 | paste -sd ,)
        [ "$listed" = "JobId,$jobs" ] || fail "--jobs --client --chain $before lists $listed"
    done
    grep -q "job 49 .*running" "$work/chain.err" || fail "--chain did not name the running job 49"
    # Trouble: a message, status 2 and nothing on standard output.
    for trouble in "a missing job|$catalog_uri|42,4242" "a wrong password|${wrong_password_uri:?}|42" \
        "a dropped table|$catalog_uri|42" "a bad URI|${catalog_uri%%:*}://[|42"; do
        IFS='|' read -r what uri jobs <<< "$trouble"
        [ "$what" = "a dropped table" ] && value "ALTER TABLE Path RENAME TO path_gone" > /dev/null
        status=0
        b64num-lstat --du --catalog="$uri" --job="$jobs" > "$work/none" 2> "$work/trouble.err" || status=$?
        [ "$what" = "a dropped table" ] && value "ALTER TABLE path_gone RENAME TO Path" > /dev/null
        if [ "$status" != 2 ] || [ -s "$work/none" ] || [ ! -s "$work/trouble.err" ]; then
            fail "--catalog, $what: status $status, $(cat "$work/trouble.err")"
        fi
    done
fi

# The checks of --catalog that every engine runs, on the catalogs of
# chain_fixture.py.
if declare -F load_chain > /dev/null; then
    mkdir "$work/chain"
    python3 "$here/chain_fixture.py" "$work/chain"
    load_chain "$work/chain"
    pipeline() { chain_rows "$1"; }
    lstat=b64num-lstat
    uri_new=${chain_uri:?}new
    uri_old=${chain_uri}old
    cd "$work/chain" || exit 1
    # shellcheck source=tests/catalog/reading_checks.sh
    . "$here/reading_checks.sh"
    cd - > /dev/null || exit 1
fi

if declare -F engine_checks > /dev/null; then
    engine_checks
fi

bash "$here/../readme_recipes.sh" "$tools" "$client" || fail "the README's $client recipes"

[ "$failures" -eq 0 ] && echo "$engine: the catalog checks passed"

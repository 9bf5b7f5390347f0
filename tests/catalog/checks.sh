# The checks of the catalog tests, sourced by postgresql.sh and mariadb.sh
# after they define, for their engine:
#   engine, client   names, and the client whose README recipes to run
#   escapes          copy or mysql: how the client escapes what it prints
#   full_name        the SQL expression of a file's path and name
#   load_fixture DIR load the fixture's tables into a new database bacula
#   rows QUERY       print QUERY's rows escaped, as the README's recipes do
#   raw_rows QUERY   print them unescaped (psql -At, mysql -r)
#   value QUERY      print QUERY's single value
# and optionally engine_checks, run before the README's recipes.
# Everything is compared with what the fixture knows, not with the decoder.
#
# usage: ENGINE.sh CATALOG_FIXTURE DIRECTORY_OF_BUILT_TOOLS

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
    cmp -s "$1" "$2" || { fail "$3:"; diff "$1" "$2" | head -n 10 >&2; }
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

# Unescaped, a name with a line feed or a TAB must fail the run, loudly.
if raw_rows "$job42" | b64num-lstat -f size > /dev/null 2> "$work/raw.err"; then
    fail "unescaped rows passed"
fi
grep -q '^b64num-lstat: standard input:[0-9]*: ' "$work/raw.err" ||
    fail "unescaped rows were not reported with their line"

if declare -F engine_checks > /dev/null; then
    engine_checks
fi

bash "$here/../readme_recipes.sh" "$tools" "$client" || fail "the README's $client recipes"

[ "$failures" -eq 0 ] && echo "$engine: the catalog checks passed"

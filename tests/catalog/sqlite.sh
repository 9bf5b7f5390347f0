#!/usr/bin/env bash
# Loads the catalog fixture into a new SQLite database and runs the SQL test
# script of the b64num extension through the sqlite3 shell, which loads the
# built extension with -cmd; compares what it prints with the expected
# output; reads the job's rows as sqlite3 -csv prints them with
# b64num-lstat --csv, and runs the README's sqlite3 recipes, whose .load of
# the installed extension is pointed at the built one.
#
# usage: tests/catalog/sqlite.sh CATALOG_FIXTURE DIRECTORY_OF_BUILT_TOOLS EXTENSION
set -euo pipefail
fixture_program=$1
tools=$(cd "$2" && pwd)
extension=$3
here=$(cd "$(dirname "$0")" && pwd)
command -v sqlite3 > /dev/null || { echo "sqlite.sh: sqlite3 is missing (apt-get install sqlite3)" >&2; exit 1; }
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
"$fixture_program" "$work"
cd "$work"

export B64NUM_SQLITE_EXTENSION=${extension%.so}
# -init /dev/null: the user's own ~/.sqliterc must not change the output.
shell=(sqlite3 -init /dev/null -cmd ".load $B64NUM_SQLITE_EXTENSION")
sqlite3 bacula.db < catalog.sqlite.sql
# The numerals, and what the b64num command prints for each, byte for byte.
while LC_ALL=C IFS= read -r numeral; do
    "$tools/b64num" "$numeral"
    echo
done < numerals.txt > printed.txt
python3 - numerals.txt printed.txt > numerals.sql <<'PY'
import sys
texts = open(sys.argv[1], "rb").read().split(b"\n")[:-1]
printed = open(sys.argv[2]).read().split("\n")[:-1]
print("BEGIN; CREATE TABLE numerals (numeral TEXT, printed INTEGER);")
for text, value in zip(texts, printed, strict=True):
    print(f"INSERT INTO numerals VALUES (CAST(X'{text.hex()}' AS TEXT), {value});")
print("COMMIT;")
PY
sqlite3 bacula.db < numerals.sql

failures=0
# Line-buffered, so that errors stand after the statements that made them.
stdbuf -oL "${shell[@]}" -echo bacula.db < "$here/../../sqlite/sql/b64num.sql" > b64num.out 2>&1 || true
# B64NUM_SQL_RESULTS names a directory that keeps what the scripts printed,
# to be read, or made the expected output, after a change.
[ -z "${B64NUM_SQL_RESULTS:-}" ] || cp b64num.out "$B64NUM_SQL_RESULTS/sqlite.out"
diff -u "$here/../../sqlite/expected/b64num.out" b64num.out || {
    echo "sqlite: the SQL test script printed otherwise" >&2
    failures=$((failures + 1))
}
# sqlite3 -csv quotes what would break a row: b64num-lstat --csv gives the
# rows that COPY gives, and JSON the real names.
job42="SELECT Path.Path || File.Filename, File.LStat FROM File JOIN Path USING (PathId) WHERE File.JobId = 42 ORDER BY File.FileId"
for output in "-f size:expected-copy.tsv" "--json -f size:expected.json"; do
    read -ra options <<< "${output%:*}"
    sqlite3 -csv -header bacula.db "$job42" | "$tools/b64num-lstat" --csv "${options[@]}" > csv.out ||
        failures=$((failures + 1))
    cmp -s "${output#*:}" csv.out || {
        echo "sqlite: b64num-lstat --csv ${options[*]} does not give ${output#*:}" >&2
        failures=$((failures + 1))
    }
done
bash "$here/../readme_recipes.sh" "$tools" sqlite3 || failures=$((failures + 1))
[ "$failures" -eq 0 ] && echo "sqlite: the catalog checks passed"

#!/usr/bin/env bash
# Loads the catalog fixture into the MariaDB server whose socket
# $MYSQL_HOME/my.cnf names, into BLOB columns as catalogs have them, and runs
# the catalog checks and the README's mysql recipes.
#
# usage: tests/catalog/mariadb.sh CATALOG_FIXTURE DIRECTORY_OF_BUILT_TOOLS
set -euo pipefail
[ -n "${MYSQL_HOME:-}" ] || {
    echo "mariadb.sh: no MariaDB server: run under tests/catalog/with_servers.sh" >&2
    exit 1
}

engine=mariadb
client=mysql
escapes=mysql
full_name="CONCAT(Path.Path, File.Filename)"
line_feed="CHAR(10)"
catalog_uri="mysql:///bacula" # the server of $MYSQL_HOME/my.cnf
wrong_password_uri="mysql://b64num_reader:wrong@/bacula" # a user made below

load_fixture() {
    mysql -e "DROP DATABASE IF EXISTS bacula; CREATE DATABASE bacula"
    mysql --local-infile=1 bacula <<SQL
CREATE TABLE Path (PathId INTEGER PRIMARY KEY, Path BLOB NOT NULL);
CREATE TABLE File (FileId BIGINT PRIMARY KEY, JobId INTEGER NOT NULL, PathId INTEGER NOT NULL,
                   Filename BLOB NOT NULL, LStat TINYBLOB NOT NULL, FileIndex INTEGER NOT NULL);
CREATE TABLE Job (JobId INTEGER PRIMARY KEY, JobBytes BIGINT NOT NULL, JobFiles INTEGER NOT NULL,
                  Type CHAR(1) NOT NULL, JobTDate BIGINT NOT NULL, PurgedFiles TINYINT NOT NULL,
                  ClientId INTEGER NOT NULL, Level CHAR(1) NOT NULL, JobStatus CHAR(1) NOT NULL,
                  StartTime DATETIME, FileSetId INTEGER NOT NULL);
CREATE TABLE Client (ClientId INTEGER PRIMARY KEY, Name TINYBLOB NOT NULL);
CREATE TABLE FileSet (FileSetId INTEGER PRIMARY KEY, FileSet TINYBLOB NOT NULL);
LOAD DATA LOCAL INFILE '$1/path.tsv' INTO TABLE Path CHARACTER SET binary;
LOAD DATA LOCAL INFILE '$1/file.tsv' INTO TABLE File CHARACTER SET binary;
LOAD DATA LOCAL INFILE '$1/job.tsv' INTO TABLE Job CHARACTER SET binary;
LOAD DATA LOCAL INFILE '$1/client.tsv' INTO TABLE Client CHARACTER SET binary;
LOAD DATA LOCAL INFILE '$1/fileset.tsv' INTO TABLE FileSet CHARACTER SET binary;
CREATE USER IF NOT EXISTS b64num_reader@localhost IDENTIFIED BY 'right';
GRANT SELECT ON bacula.* TO b64num_reader@localhost;
SQL
}
# The catalog of chain_fixture.py, a database for each schema.
load_chain() {
    local schema
    for schema in new old; do
        mysql -e "DROP DATABASE IF EXISTS chain_$schema; CREATE DATABASE chain_$schema"
        mysql "chain_$schema" < "$1/mariadb-$schema.sql"
    done
}
chain_uri="mysql:///chain_"
chain_rows() {
    mysql -B -N -e "SELECT CONCAT(Path.Path, File.Filename), File.LStat FROM File
        JOIN Job USING (JobId) JOIN Path USING (PathId) WHERE JobId IN ($1)
        ORDER BY Job.JobTDate, JobId, FileId" chain_new
}
rows() { mysql -B -N -e "$1" bacula; }
raw_rows() { mysql -B -N -r -e "$1" bacula; }
header_rows() { mysql -B -e "$1" bacula; }
value() { mysql -B -N -e "$1" bacula; }

# The loadable functions, when the build staged them in the server's plugin
# directory: the SQL test script, and eight clients at once.
reinstall() {
    mysql < "$here/../../mariadb/uninstall.sql" && mysql < "$here/../../mariadb/install.sql"
}
# Puts library $1 in the plugin directory as an upgrade does: a new file,
# renamed into place.
put_library() {
    cp "$1" "$B64NUM_MARIADB_PLUGINS/.b64num.so" &&
        mv -f "$B64NUM_MARIADB_PLUGINS/.b64num.so" "$B64NUM_MARIADB_PLUGINS/b64num.so"
}
engine_checks() {
    [ -n "${B64NUM_MARIADB_MODULE:-}" ] || return 0
    # The server runs the library it loaded until the functions are created
    # again, as the README's Upgrading says: an earlier build, then this one.
    local staged=$work/staged.so
    cp "$B64NUM_MARIADB_PLUGINS/b64num.so" "$staged"
    { put_library "$B64NUM_MARIADB_EARLIER" && reinstall; } || fail "the earlier library did not install"
    put_library "$staged" || fail "the library did not install"
    [ "$(value "SELECT b64num_library_version()")" = earlier ] ||
        fail "the server left the library it had loaded before the functions were created again"
    reinstall || fail "the uninstall and install scripts failed"
    [ "$(value "SELECT b64num_library_version()")" != earlier ] ||
        fail "the server kept the earlier library after the functions were created again"
    local numeral
    while LC_ALL=C IFS= read -r numeral; do
        b64num "$numeral"
        echo
    done < "$work/numerals.txt" | paste "$work/numerals.copy" - > "$work/numerals.tsv"
    mysql --local-infile=1 bacula -e "CREATE TABLE numerals (numeral BLOB, printed BIGINT);
        LOAD DATA LOCAL INFILE '$work/numerals.tsv' INTO TABLE numerals CHARACTER SET binary"
    # Line-buffered, so that errors stand after the statements that made them.
    stdbuf -oL mysql --table -vv --force bacula < "$here/../../mariadb/sql/b64num.sql" \
        > "$work/b64num.out" 2>&1 || true
    [ -z "${B64NUM_SQL_RESULTS:-}" ] || cp "$work/b64num.out" "$B64NUM_SQL_RESULTS/mariadb.out"
    same "$here/../../mariadb/expected/b64num.out" "$work/b64num.out" "the SQL test script printed otherwise"

    local query="SELECT JobId, SUM(lstat_field(LStat, 'size')), SUM(lstat_field(LStat, 12)),
                        SUM(b64num(LStat)) FROM File GROUP BY JobId ORDER BY JobId"
    for _ in 1 2 3 4 5; do value "$query"; done > "$work/sums.expected"
    local session
    for session in 1 2 3 4 5 6 7 8; do
        for _ in 1 2 3 4 5; do value "$query"; done > "$work/sums.$session" &
    done
    wait
    for session in 1 2 3 4 5 6 7 8; do
        same "$work/sums.expected" "$work/sums.$session" "client $session of 8 got other sums"
    done
}

# shellcheck source=tests/catalog/checks.sh
source "$(dirname "$0")/checks.sh"

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

load_fixture() {
    mysql -e "DROP DATABASE IF EXISTS bacula; CREATE DATABASE bacula"
    mysql --local-infile=1 bacula <<SQL
CREATE TABLE Path (PathId INTEGER PRIMARY KEY, Path BLOB NOT NULL);
CREATE TABLE File (FileId BIGINT PRIMARY KEY, JobId INTEGER NOT NULL, PathId INTEGER NOT NULL,
                   Filename BLOB NOT NULL, LStat TINYBLOB NOT NULL);
CREATE TABLE Job (JobId INTEGER PRIMARY KEY, JobBytes BIGINT NOT NULL, JobFiles INTEGER NOT NULL);
LOAD DATA LOCAL INFILE '$1/path.tsv' INTO TABLE Path CHARACTER SET binary;
LOAD DATA LOCAL INFILE '$1/file.tsv' INTO TABLE File CHARACTER SET binary;
LOAD DATA LOCAL INFILE '$1/job.tsv' INTO TABLE Job CHARACTER SET binary;
SQL
}
rows() { mysql -B -N -e "$1" bacula; }
raw_rows() { mysql -B -N -r -e "$1" bacula; }
header_rows() { mysql -B -e "$1" bacula; }
value() { mysql -B -N -e "$1" bacula; }

# shellcheck source=tests/catalog/checks.sh
source "$(dirname "$0")/checks.sh"

#!/usr/bin/env bash
# Builds the Debian packages and checks what a user would get from them: the
# files, the control fields, lintian's verdict, that apt would install them,
# hardened binaries, modules that export only their entry points, manual
# pages that render cleanly, tools that run once extracted, and functions
# that SQLite, MariaDB and PostgreSQL create and run from the packages' files.
#
# usage: tests/catalog/with_servers.sh tests/package_check.sh
set -euo pipefail
cd "$(dirname "$0")/.."
if [ -z "${PGHOST:-}" ] || [ -z "${B64NUM_MARIADB_PLUGINS:-}" ]; then
    echo "package_check.sh: no servers: run under tests/catalog/with_servers.sh" >&2
    exit 1
fi

fail() {
    echo "package check: $*" >&2
    exit 1
}

cmake --workflow --preset package
arch=$(dpkg --print-architecture)
# The newest of the packages just built: their names hold no odd bytes.
# shellcheck disable=SC2012
deb=$(ls -t build/package/b64num_*_"$arch".deb | head -n 1)
# shellcheck disable=SC2012
extension_deb=$(ls -t build/package/postgresql-*-b64num_*_"$arch".deb | head -n 1)
# shellcheck disable=SC2012
mariadb_deb=$(ls -t build/package/mariadb-plugin-b64num_*_"$arch".deb | head -n 1)
echo "checking $deb, $extension_deb and $mariadb_deb"

# The paths of the files and links in a package: the sixth column of the
# listing, which the packages' own names never split.
files() { dpkg-deb -c "$1" | awk '$6 !~ /\/$/ {print $6}' | sort; }
holds() {
    [ "$(files "$1")" = "$2" ] || fail "$1 holds"$'\n'"$(files "$1")"$'\n'"instead of"$'\n'"$2"
}
docs() { printf './usr/share/doc/%s/changelog.gz\n./usr/share/doc/%s/copyright\n' "$1" "$1"; }
multiarch=$(dpkg-architecture -q DEB_HOST_MULTIARCH)
holds "$deb" "$(printf '%s\n' ./usr/bin/b64num ./usr/bin/b64num-lstat ./usr/lib/sqlite3/b64num.so \
    "./usr/lib/$multiarch/sqlite3/b64num.so" ./usr/share/man/man1/b64num-lstat.1.gz \
    ./usr/share/man/man1/b64num.1.gz "$(docs b64num)" | sort)"
holds "$mariadb_deb" "$(printf '%s\n' ./usr/lib/mysql/plugin/b64num.so ./usr/share/b64num/mariadb/install.sql \
    ./usr/share/b64num/mariadb/uninstall.sql "$(docs mariadb-plugin-b64num)" | sort)"
libdir=$(pg_config --pkglibdir)
sharedir=$(pg_config --sharedir)
holds "$extension_deb" "$(printf '.%s\n' "$libdir/b64num.so" "$sharedir/extension/b64num--1.0.sql" \
    "$sharedir/extension/b64num--1.1.sql" "$sharedir/extension/b64num--1.2.sql" \
    "$sharedir/extension/b64num--1.3.sql" \
    "$sharedir/extension/b64num--1.0--1.1.sql" "$sharedir/extension/b64num--1.1--1.2.sql" \
    "$sharedir/extension/b64num--1.2--1.3.sql" "$sharedir/extension/b64num--1.3--1.4.sql" \
    "$sharedir/extension/b64num.control" | cat - <(docs "$(dpkg-deb -f "$extension_deb" Package)") | sort)"

for package in "$deb" "$extension_deb" "$mariadb_deb"; do
    for field in Package Version Architecture Maintainer Homepage Section Depends Description; do
        [ -n "$(dpkg-deb -f "$package" "$field")" ] || fail "control field $field of $package is empty"
    done
    [ "$(dpkg-deb -f "$package" Architecture)" = "$arch" ] || fail "wrong architecture in $package"
done
dpkg-deb -f "$deb" Depends | grep -q '^libc6 ' || fail "Depends does not name libc6"
for package in "$deb" "$extension_deb" "$mariadb_deb"; do
    lintian --fail-on error,warning --tag-display-limit 0 "$package" > build/package/lintian.log 2>&1 ||
        { cat build/package/lintian.log >&2; fail "lintian finds errors or warnings in $package"; }
done
major=$(pg_config --version | grep -o '[0-9]*' | head -n 1)
dpkg-deb -f "$extension_deb" Depends | grep -q "^postgresql-$major\b" ||
    fail "Depends of the extension does not name postgresql-$major"
dpkg-deb -f "$mariadb_deb" Depends | grep -q "^mariadb-server\b" ||
    fail "Depends of the MariaDB functions is not mariadb-server"
# apt would install all three here, dependencies and all (a simulation).
apt-get -s -q install "./$deb" "./$extension_deb" "./$mariadb_deb" > "build/package/apt.log" 2>&1 ||
    { cat build/package/apt.log >&2; fail "apt would not install the packages"; }

root=$(mktemp -d)
chmod 755 "$root" # the server runs as another user
trap 'rm -rf "$root"' EXIT
dpkg-deb -x "$deb" "$root"
dpkg-deb -x "$extension_deb" "$root"
dpkg-deb -x "$mariadb_deb" "$root"
# Debian's hardening on every binary. Debian 12's start files and libc carry
# no control-flow note, so that the linker cannot mark any program with one
# (hardening-check says "no" of /bin/true too): the check of the note is
# left out, and the instructions that -fcf-protection adds are looked for
# instead.
binaries=("$root/usr/bin/b64num" "$root/usr/bin/b64num-lstat" "$root/usr/lib/$multiarch/sqlite3/b64num.so"
          "$root/usr/lib/mysql/plugin/b64num.so" "$root$libdir/b64num.so")
hardening-check --nocfprotection "${binaries[@]}" > "$root/hardening.log" ||
    { cat "$root/hardening.log" >&2; fail "hardening-check finds a binary not hardened"; }
for binary in "${binaries[@]}"; do
    [ "$(objdump -d "$binary" | grep -c endbr64)" -gt 0 ] || fail "$binary was built without -fcf-protection"
done
# Servers load modules into one symbol scope: each exports its entry points only.
exports() { nm -D --defined-only "$1" | awk '{print $3}' | sort | tr '\n' ' '; }
[ "$(exports "$root/usr/lib/$multiarch/sqlite3/b64num.so")" = "sqlite3_bnum_init " ] ||
    fail "the SQLite extension exports $(exports "$root/usr/lib/$multiarch/sqlite3/b64num.so")"
sorted() { printf '%s\n' "$@" | sort | tr '\n' ' '; }
mariadb_functions=(b64num filemode lstat_field lstat_type lstat_atime lstat_mtime lstat_ctime lstat_json
                   b64num_library_version)
[ "$(exports "$root/usr/lib/mysql/plugin/b64num.so")" = \
  "$(sorted "${mariadb_functions[@]}" "${mariadb_functions[@]/%/_init}" lstat_field_deinit lstat_json_deinit)" ] ||
    fail "the MariaDB functions export $(exports "$root/usr/lib/mysql/plugin/b64num.so")"
pg_functions=(b64num_filemode b64num_lstat b64num_lstat_field_by_name b64num_lstat_field_by_position
              b64num_numeral b64num_lstat_field_support b64num_library_version b64num_lstat_type
              b64num_lstat_atime b64num_lstat_mtime b64num_lstat_ctime)
pg_exports=(Pg_magic_func "${pg_functions[@]}" "${pg_functions[@]/#/pg_finfo_}")
[ "$(exports "$root$libdir/b64num.so")" = "$(sorted "${pg_exports[@]}")" ] ||
    fail "the PostgreSQL extension exports $(exports "$root$libdir/b64num.so")"

[ "$("$root/usr/bin/b64num" gB)" = 2049 ] || fail "the extracted b64num does not decode gB"
[ "$(echo $'name\tgB BA A A A A A A A A A A A' | "$root/usr/bin/b64num-lstat" -f ino)" = $'name\t64' ] ||
    fail "the extracted b64num-lstat does not decode a row"
for page in "$root"/usr/share/man/man1/*.1.gz; do
    warnings=$(zcat "$page" | groff -man -ww -z 2>&1)
    [ -z "$warnings" ] || fail "$page has warnings: $warnings"
done
decodes="SELECT b64num('gB'), lstat_field('gB FCsB IGk B Po Po A EAAA BAA gA BpOlsk BpOd3A BpOd3A', 'size')"
[ "$(sqlite3 -cmd ".load $root/usr/lib/sqlite3/b64num" :memory: "$decodes, filemode(33188)")" = \
  "2049|1048576|-rw-r--r--" ] || fail "the packaged SQLite extension does not decode"
# The server looks for loadable functions in its plugin directory: the
# packaged library goes there, renamed into place as dpkg would.
cp "$root/usr/lib/mysql/plugin/b64num.so" "$B64NUM_MARIADB_PLUGINS/.b64num.so"
mv -f "$B64NUM_MARIADB_PLUGINS/.b64num.so" "$B64NUM_MARIADB_PLUGINS/b64num.so"
mysql < "$root/usr/share/b64num/mariadb/uninstall.sql"
mysql < "$root/usr/share/b64num/mariadb/install.sql" || fail "the packaged install script failed"
[ "$(mysql -B -N -e "$decodes, filemode(33188)")" = $'2049\t1048576\t-rw-r--r--' ] ||
    fail "the packaged MariaDB functions do not decode"
# The server looks for extensions under the extracted package first
# (extension_destdir), in a database of the package check's own.
psql -X -q -d postgres -c "DROP DATABASE IF EXISTS package_check" -c "CREATE DATABASE package_check"
PGOPTIONS="-c extension_destdir=$root" psql -X -q -At -v ON_ERROR_STOP=1 -d package_check \
    -o "$root/decoded" -c "CREATE EXTENSION b64num" -c "$decodes, filemode(33188)" \
    > "$root/server.log" 2>&1 || { cat "$root/server.log" >&2; fail "CREATE EXTENSION b64num failed"; }
[ "$(cat "$root/decoded")" = "2049|1048576|-rw-r--r--" ] ||
    fail "the packaged extension decodes '$(cat "$root/decoded")'"
echo "package check: passed"

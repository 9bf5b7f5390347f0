#!/usr/bin/env bash
# Builds the Debian packages and checks what a user would get from them: the
# files, the control fields, manual pages that render cleanly, tools that run
# once extracted, and an extension that a PostgreSQL server creates from the
# package's files.
set -euo pipefail
cd "$(dirname "$0")/.."

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
echo "checking $deb and $extension_deb"

files() { dpkg-deb -c "$1" | awk '$NF !~ /\/$/ {print $NF}' | sort; }
holds() {
    [ "$(files "$1")" = "$2" ] || fail "$1 holds"$'\n'"$(files "$1")"$'\n'"instead of"$'\n'"$2"
}
holds "$deb" $'./usr/bin/b64num\n./usr/bin/b64num-lstat\n./usr/share/man/man1/b64num-lstat.1.gz\n./usr/share/man/man1/b64num.1.gz'
libdir=$(pg_config --pkglibdir)
sharedir=$(pg_config --sharedir)
holds "$extension_deb" "$(printf '.%s\n' "$libdir/b64num.so" "$sharedir/extension/b64num--1.0.sql" \
    "$sharedir/extension/b64num--1.1.sql" "$sharedir/extension/b64num--1.0--1.1.sql" \
    "$sharedir/extension/b64num.control" | sort)"

for package in "$deb" "$extension_deb"; do
    for field in Package Version Architecture Maintainer Homepage Section Depends Description; do
        [ -n "$(dpkg-deb -f "$package" "$field")" ] || fail "control field $field of $package is empty"
    done
    [ "$(dpkg-deb -f "$package" Architecture)" = "$arch" ] || fail "wrong architecture in $package"
done
dpkg-deb -f "$deb" Depends | grep -q '^libc6 ' || fail "Depends does not name libc6"
major=$(pg_config --version | grep -o '[0-9]*' | head -n 1)
dpkg-deb -f "$extension_deb" Depends | grep -q "^postgresql-$major\b" ||
    fail "Depends of the extension does not name postgresql-$major"

root=$(mktemp -d)
chmod 755 "$root" # the server runs as another user
trap 'rm -rf "$root"' EXIT
dpkg-deb -x "$deb" "$root"
dpkg-deb -x "$extension_deb" "$root"
[ "$("$root/usr/bin/b64num" gB)" = 2049 ] || fail "the extracted b64num does not decode gB"
[ "$(echo $'name\tgB BA' | "$root/usr/bin/b64num-lstat" -f ino)" = $'name\t64' ] ||
    fail "the extracted b64num-lstat does not decode a row"
for page in "$root"/usr/share/man/man1/*.1.gz; do
    warnings=$(zcat "$page" | groff -man -ww -z 2>&1)
    [ -z "$warnings" ] || fail "$page has warnings: $warnings"
done
# A throwaway server that looks for extensions under the extracted package
# first (extension_destdir) loads the package's own files.
pg_virtualenv -t env PGOPTIONS="-c extension_destdir=$root" psql -X -q -At -v ON_ERROR_STOP=1 \
    -o "$root/decoded" -c "CREATE EXTENSION b64num" \
    -c "SELECT b64num('gB'), lstat_field('gB FCsB IGk B Po Po A EAAA', 'size'), filemode(33188)" \
    > "$root/server.log" 2>&1 || { cat "$root/server.log" >&2; fail "CREATE EXTENSION b64num failed"; }
[ "$(cat "$root/decoded")" = "2049|1048576|-rw-r--r--" ] ||
    fail "the packaged extension decodes '$(cat "$root/decoded")'"
echo "package check: passed"

#!/usr/bin/env bash
# Builds the Debian package and checks what a user would get from it: the
# files, the control fields, a manual page that renders cleanly, and a tool
# that runs once extracted.
set -euo pipefail
cd "$(dirname "$0")/.."

fail() {
    echo "package check: $*" >&2
    exit 1
}

cmake --workflow --preset package
deb=$(ls -t build/release/b64num_*_"$(dpkg --print-architecture)".deb | head -n 1)
echo "checking $deb"

files=$(dpkg-deb -c "$deb" | awk '$NF !~ /\/$/ {print $NF}' | sort)
expected=$'./usr/bin/b64num\n./usr/bin/b64num-lstat\n./usr/share/man/man1/b64num-lstat.1.gz\n./usr/share/man/man1/b64num.1.gz'
[ "$files" = "$expected" ] || fail "holds"$'\n'"$files"$'\n'"instead of"$'\n'"$expected"

for field in Package Version Architecture Maintainer Homepage Section Depends Description; do
    [ -n "$(dpkg-deb -f "$deb" "$field")" ] || fail "control field $field is empty"
done
[ "$(dpkg-deb -f "$deb" Architecture)" = "$(dpkg --print-architecture)" ] || fail "wrong architecture"
dpkg-deb -f "$deb" Depends | grep -q '^libc6 ' || fail "Depends does not name libc6"

root=$(mktemp -d)
trap 'rm -rf "$root"' EXIT
dpkg-deb -x "$deb" "$root"
[ "$("$root/usr/bin/b64num" gB)" = 2049 ] || fail "the extracted b64num does not decode gB"
[ "$(echo $'name\tgB BA' | "$root/usr/bin/b64num-lstat" -f ino)" = $'name\t64' ] ||
    fail "the extracted b64num-lstat does not decode a row"
for page in "$root"/usr/share/man/man1/*.1.gz; do
    warnings=$(zcat "$page" | groff -man -ww -z 2>&1)
    [ -z "$warnings" ] || fail "$page has warnings: $warnings"
done
echo "package check: passed"

#!/usr/bin/env bash
# Builds the real tree of real_tree.sh, makes its catalog rows, and compares
# b64num-lstat --qdirstat, entry by entry, with what qdirstat-cache-writer -l
# writes for the same tree: type, real bytes of the path, own size, mtime,
# blocks and links. Then QDirStat reads the cache file under Xvfb, and its log must hold
# no complaint of it; a directory too deep for QDirStat's lines is left out,
# and said so. Needs qdirstat, qdirstat-cache-writer, xvfb-run and python3.
#
# usage: tests/qdirstat_test.sh B64NUM_LSTAT TREE_ROWS
set -euo pipefail
lstat=$1
tree_rows=$2
for program in qdirstat qdirstat-cache-writer xvfb-run python3; do
    command -v "$program" > /dev/null || { echo "qdirstat_test.sh: $program is missing" >&2; exit 1; }
done
work=$(mktemp -d)
qdirstat_pid=
trap '[ -z "$qdirstat_pid" ] || kill -- -"$qdirstat_pid" 2> /dev/null; rm -rf "$work"' EXIT
# shellcheck source=tests/real_tree.sh
source "$(dirname "$0")/real_tree.sh"

top=$work/top
make_real_tree "$top"
cd "$work"
"$tree_rows" "$top" > rows.tsv
failures=0

"$lstat" --qdirstat rows.tsv > ours.cache
# With --sorted, each entry as its row goes by, files after subdirectories.
rows_in_path_order rows.tsv > sorted.tsv
"$lstat" --qdirstat --sorted --under="$top" sorted.tsv > sorted.cache
qdirstat-cache-writer -l "$top" real.cache > /dev/null
for cache in ours.cache sorted.cache; do
    python3 - "$cache" real.cache <<'PY' || { echo "in $cache" >&2; failures=$((failures + 1)); }
import os, re, sys
def entries(cache):
    found, order = {}, []
    lines = open(cache, "rb").read().split(b"\n")
    assert lines[0] == b"[qdirstat 1.0 cache file]", lines[0]
    for line in lines[1:]:
        if not line.strip() or line.startswith(b"#"):
            continue
        kind, path, size, mtime, *rest = line.split()
        path = re.sub(rb"%([0-9A-F]{2})", lambda m: bytes([int(m.group(1), 16)]), path)
        found[path] = (kind, int(size), int(mtime, 16), dict(zip(rest[::2], rest[1::2])))
        order.append(path)
    return found, order
ours, order = entries(sys.argv[1])
real, _ = entries(sys.argv[2])
for path in sorted(set(ours) | set(real)):
    if ours.get(path) != real.get(path):
        print("--qdirstat and qdirstat-cache-writer differ at", path, ours.get(path), real.get(path),
              file=sys.stderr)
        sys.exit(1)
seen = set()
for path in order:
    if path != order[0] and os.path.dirname(path) not in seen:
        print("--qdirstat writes", path, "before its directory", file=sys.stderr)
        sys.exit(1)
    seen.add(path)
PY
done

# A directory whose line QDirStat could not read whole, and a file whose
# full path could not be on one: the one is left out and reported, the
# other written with its name alone.
deep=$top/$(printf 'd%.0s' $(seq 200))/$(printf '%%%.0s' $(seq 300))
long=$top/$(printf 'n%.0s' $(seq 250))/$(printf '\t%.0s' $(seq 250))
dir_lstat=$(grep -m 1 "^$top/docs/*	" rows.tsv | cut -f 2)
file_lstat=$(grep -m 1 "^$top/sub/deeper/f	" rows.tsv | cut -f 2)
{
    cat rows.tsv
    printf '%s/\t%s\n%s/f\t%s\n' "$deep" "$dir_lstat" "$deep" "$file_lstat"
    printf '%s\t%s\n' "${long%/*}/" "$dir_lstat" "${long//$'\t'/\\t}" "$file_lstat"
} > deep.tsv
status=0
"$lstat" --qdirstat deep.tsv > deep.cache 2> deep.err || status=$?
if [ "$status" != 1 ] || ! grep -q "^b64num-lstat: left out of the cache file, .*: 1 entry " deep.err ||
    ! grep -q "^F	$(printf '%%09%.0s' $(seq 250))	" deep.cache; then
    echo "--qdirstat wrote lines too long for QDirStat (status $status): $(cat deep.err)" >&2
    failures=$((failures + 1))
fi

# A job of two drives, as a Windows client's: QDirStat reads them under one
# root, "/", and each drive holds the bytes that --du gives it.
dir_value='gB FCsC EHt D A A A BAA BAA I BpOlsk BpOlsk BpOlsk B'
printf '%s\t%s\n' 'C:/' "$dir_value" 'C:/boot.ini' 'gB FCsB IGk B Po Po A CBk BAA Q BpOlsk BpOd3A BpOd3A A A C' \
    'D:/' "$dir_value" 'D:/data' 'gB FCsD IGk B Po Po A BBk BAA Q BpOlsk BpOd3A BpOd3A A A C' > drives.tsv
if [ "$("$lstat" --du=0 drives.tsv)" != $'12388\tC:\n8292\tD:\n20680\ttotal' ]; then
    echo "--du of two drives: $("$lstat" --du=0 drives.tsv)" >&2
    failures=$((failures + 1))
fi
"$lstat" --qdirstat drives.tsv > drives.cache
"$lstat" --qdirstat --sorted drives.tsv > drives-sorted.cache
for cache in drives.cache drives-sorted.cache; do
    totals=$(awk -F '\t' '$1 ~ /^[DF] \// { split(substr($1, 3), part, "/"); bytes[part[2]] += $2 }
        END { printf "%s %s %s", bytes[""], bytes["C:"], bytes["D:"] }' "$cache")
    if [ "$(head -n 6 "$cache" | tail -n 1)" != $'D /\t0\t0x0' ] || [ "$totals" != "0 12388 8292" ]; then
        echo "--qdirstat of two drives puts them elsewhere than under / (totals $totals):" >&2
        cat "$cache" >&2
        failures=$((failures + 1))
    fi
done

# QDirStat logs to /tmp/qdirstat-USER/qdirstat.log, whatever the
# environment; what it logs after it starts to read our file counts.
log=/tmp/qdirstat-$(id -un)/qdirstat.log
reads_cache() {
    local cache=$1 i
    # In a session of its own: stopping it stops xvfb-run, Xvfb and QDirStat.
    HOME=$work/home XDG_RUNTIME_DIR=$work setsid xvfb-run -a qdirstat --cache "$cache" > /dev/null 2>&1 &
    qdirstat_pid=$!
    for i in $(seq 60); do
        sleep 0.5
        if [ -f "$log" ] && sed -n "\\|Reading cache file $cache\$|,\$p" "$log" | grep -q "Reading finished"; then
            break
        fi
    done
    kill -- -"$qdirstat_pid" 2> /dev/null || true
    wait "$qdirstat_pid" 2> /dev/null || true
    qdirstat_pid=
    sed -n "\\|Reading cache file $cache\$|,\$p" "$log" 2> /dev/null > read.log || true
    if ! grep -q "Reading finished" read.log || grep -E "<(ERROR|WARNING)> +DirTreeCache" read.log; then
        echo "QDirStat did not read $cache cleanly: $(tail -n 5 read.log)" >&2
        failures=$((failures + 1))
    fi
}
reads_cache "$work/ours.cache"
reads_cache "$work/sorted.cache"
reads_cache "$work/deep.cache"
reads_cache "$work/drives.cache"

[ "$failures" -eq 0 ] && echo "--qdirstat agrees with qdirstat-cache-writer, and QDirStat reads it"

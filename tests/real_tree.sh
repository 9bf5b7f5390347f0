# shellcheck shell=bash
# make_real_tree DIRECTORY: makes a small real tree with every kind of entry
# and every kind of name that makes trouble, for the tests that compare what
# b64num-lstat makes of its rows with what du, ncdu and browsers make of it:
# hard links of two inodes (each pair in one directory: du counts a link
# where it meets it first, b64num-lstat in the directory whose path sorts
# first), a symbolic link, a FIFO, a sparse file, names with blanks, line feeds,
# TABs, backslashes, ESC, '<', '&' and bytes that are not UTF-8, a file
# dated before 1970, and files of many kinds and sizes, some too small to
# draw alone in a treemap.
make_real_tree() {
    local top=$1 i
    mkdir -p "$top/sub/deeper" "$top/empty" "$top/new"$'\n'"folder"$'\t'"2" "$top/docs" "$top/music"
    (
        cd "$top" || exit 1
        printf 'hello' > a.txt
        ln a.txt a-hard
        printf 'second' > sub/b.txt
        ln sub/b.txt sub/b-hard
        ln -s a.txt link
        mkfifo fifo
        truncate -s 1M sparse
        printf 'x' > $'lf\nname'
        printf 'yy' > $'tab\tname'
        truncate -s 100K 'back\slash'
        printf 'blank' > 'a blank'
        printf 'w' > $'lat\xe9'
        printf 'esc' > $'esc\e]0;x\a'
        printf 'inside' > $'new\nfolder\t2/inside'
        head -c 5000 /dev/zero > sub/deeper/f
        truncate -s 700K $'docs/\e[31m<b>&amp;\n\xff.html'
        for i in $(seq 1 24); do
            head -c $((i * i * 997)) /dev/zero > "docs/report$i.pdf"
            head -c $((i * 31)) /dev/zero > "docs/note$i.txt"
        done
        truncate -s 3M music/a.flac
        truncate -s 2M music/B.FLAC
        truncate -s 1500K music/c.ogg
        printf 'old' > before-1970
        touch -h -d @-3600 before-1970
    )
}

# rows_in_path_order ROWS: the rows of a tree as ORDER BY the path in a
# byte-wise collation gives them: by the paths' real bytes (COPY's escapes
# undone), a directory's with its '/'.
rows_in_path_order() {
    python3 - "$1" <<'PY'
import re, sys
table = {b"\\": b"\\", b"n": b"\n", b"r": b"\r", b"t": b"\t", b"b": b"\b", b"f": b"\f", b"v": b"\v"}
real = lambda path: re.sub(rb"\\(.)", lambda m: table[m.group(1)], path)
rows = open(sys.argv[1], "rb").read().splitlines(keepends=True)
sys.stdout.buffer.writelines(sorted(rows, key=lambda row: real(row.split(b"\t", 1)[0])))
PY
}

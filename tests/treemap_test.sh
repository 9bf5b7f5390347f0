#!/usr/bin/env bash
# Draws the treemap of the real tree of real_tree.sh and checks it from the
# SVG itself, parsed as XML: every directory's bytes are du -b's, every
# rectangle lies inside its directory's, siblings do not overlap, each
# one's share of its directory's area is its share of the bytes (the
# directory's own among them), files' rectangles are near squares, and the
# hostile name shows escaped. Then headless Chromium measures every label
# against its rectangle, and takes a screenshot. Needs du, python3 and
# chromium.
#
# usage: tests/treemap_test.sh B64NUM_LSTAT TREE_ROWS
set -euo pipefail
lstat=$1
tree_rows=$2
for program in du python3 chromium; do
    command -v "$program" > /dev/null || { echo "treemap_test.sh: $program is missing" >&2; exit 1; }
done
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
# shellcheck source=tests/real_tree.sh
source "$(dirname "$0")/real_tree.sh"
make_real_tree "$work/top"
cd "$work"
"$tree_rows" top > rows.tsv
failures=0
fail() {
    echo "treemap_test.sh: $*" >&2
    failures=$((failures + 1))
}

"$lstat" --treemap rows.tsv > treemap.svg || fail "--treemap failed"
du -b -0 top > du.real
# Disk usage, as du counts it without -b, and a heading that says which.
"$lstat" --treemap --disk-usage rows.tsv > usage.svg || fail "--treemap --disk-usage failed"
usage=$(grep -m 1 -o 'class="dir"[^>]*data-bytes="[0-9]*' usage.svg | grep -o '[0-9]*$')
[ "$usage" = "$(du -s -B1 top | cut -f 1)" ] || fail "--disk-usage draws $usage bytes, du -B1 says otherwise"
grep -q '^<title>top — disk usage ' usage.svg || fail "the --disk-usage heading does not say disk usage"
grep -q "^<title>top — apparent size [0-9.]*[KMG] in $(find top -printf x | wc -c) entries</title>" treemap.svg ||
    fail "the heading does not say apparent size, and the entries that find counts: $(grep -m 1 '^<title>' treemap.svg)"
# A flat directory of 10,000 files, most of them too small to draw alone:
# their gray block shows how many they are and their bytes.
python3 -c 'import os, random; random.seed(1); os.mkdir("flat")
for i in range(10000): open(f"flat/{i}", "wb").write(b"x" * int(random.lognormvariate(6, 1.5)))'
"$tree_rows" flat > flat.tsv
"$lstat" --treemap=320x200 flat.tsv > flat.svg || fail "--treemap of a flat directory failed"
grep -Eq '<text [^>]*>[0-9,]+ more, [0-9.]+[KM]?</text>' flat.svg ||
    fail "the block of small entries has no label: $(grep -o '<rect class="rest".*' flat.svg)"
python3 - treemap.svg du.real <<'PY' || fail "the treemap's geometry is wrong"
import re, sys, xml.etree.ElementTree as ET
raw = open(sys.argv[1], "rb").read()
raw.decode("utf-8")  # strictly UTF-8
assert not re.search(rb"[\x00-\x09\x0b-\x1f\x7f]", raw), "a raw control byte"
svg = ET.fromstring(raw)
ns = "{http://www.w3.org/2000/svg}"
assert svg.find(ns + "script") is None and b"href" not in raw and b"<image" not in raw
def real(path):  # the real bytes, with control characters as ls -b shows them
    letters = {b"n": b"\n", b"t": b"\t", b"r": b"\r", b"b": b"\b", b"f": b"\f", b"v": b"\v", b"a": b"\a"}
    one = lambda m: bytes([int(m.group(1), 8)]) if len(m.group(1)) == 3 else letters.get(m.group(1), m.group(0))
    return re.sub(rb"\\([0-7]{3}|.)", one, path.encode("utf-8"))
du = {e.split(b"\t", 1)[1]: int(e.split(b"\t", 1)[0]) for e in open(sys.argv[2], "rb").read().split(b"\0") if e}
box = lambda r: tuple(float(r.get(k)) for k in ("x", "y", "width", "height"))
problems, directories, files = [], 0, []
def visit(group):
    global directories
    rect = group.find(ns + "rect")
    x, y, w, h = box(rect)
    path = real(rect.get("data-path"))
    directories += 1
    if du.get(path) != int(rect.get("data-bytes")):
        problems.append(f"{path!r}: {rect.get('data-bytes')} bytes, du -b says {du.get(path)}")
    children = []
    for child in group:
        entry = child.find(ns + "rect") if child.tag == ns + "g" else child
        if entry is rect or entry.tag != ns + "rect":
            continue
        cx, cy, cw, ch = box(entry)
        if cx < x - 0.01 or cy < y - 0.01 or cx + cw > x + w + 0.01 or cy + ch > y + h + 0.01:
            problems.append(f"{entry.get('data-path')} lies outside {path!r}")
        children.append((cx, cy, cw, ch, int(entry.get("data-bytes"))))
        if entry.get("class") == "file":
            files.append((cw, ch))
        if entry.get("class") in ("file", "dir") and entry.find(ns + "title") is None:
            problems.append(f"{entry.get('data-path')} has no title")
        if child.tag == ns + "g":
            visit(child)
    for i, a in enumerate(children):
        for b in children[i + 1:]:
            overlap = max(0, min(a[0] + a[2], b[0] + b[2]) - max(a[0], b[0])) * max(0, min(a[1] + a[3], b[1] + b[3]) - max(a[1], b[1]))
            if overlap > 0.05:
                problems.append(f"siblings overlap by {overlap} in {path!r}")
    # Below the name band, the entries tile the directory: each one's share
    # of that area is its share of the directory's bytes, its own included.
    if children:
        inner = (max(c[0] + c[2] for c in children) - min(c[0] for c in children)) * \
                (max(c[1] + c[3] for c in children) - min(c[1] for c in children))
        total = int(rect.get("data-bytes"))
        if sum(c[4] for c in children) != total:
            problems.append(f"{path!r}'s entries hold {sum(c[4] for c in children)} of its {total} bytes")
        for c in children:
            share = c[4] / total
            if c[2] * c[3] >= 100 and abs(c[2] * c[3] / inner - share) > 0.02 * share:
                problems.append(f"in {path!r}, {c[2] * c[3] / inner:.4f} of the area for {share:.4f} of the bytes")
visit(svg.find(ns + "g[@class='tree']").find(ns + "g"))
if directories != len(du):
    problems.append(f"{directories} directories drawn, du lists {len(du)}")
weighted = sum(w * h * max(w / h, h / w) for w, h in files) / sum(w * h for w, h in files)
if weighted > 3:
    problems.append(f"files' mean aspect ratio is {weighted}")
hostile = [r.get("data-path") for r in svg.iter(ns + "rect") if "html" in (r.get("data-path") or "")]
if hostile != ["top/docs/\\033[31m<b>&amp;\\n\\377.html"]:
    problems.append(f"the hostile name shows as {hostile}")
# Names show their real bytes, as ncdu and QDirStat show them, not COPY's
# escapes: a backslash is one.
# The legend gives each kind's size with its unit, bytes too.
for key in svg.find(ns + "g[@class='legend']").iter(ns + "text"):
    if not re.search(r" [0-9.]+[BKMGTPE]$", key.text or "") or "(none)" in key.text:
        problems.append(f"the legend's key {key.text!r}")
slash = [r for r in svg.iter(ns + "rect") if "slash" in (r.get("data-path") or "")]
if [(r.get("data-path"), r.find(ns + "title").text) for r in slash] != [("top/back\\slash", "top/back\\slash 100K")]:
    problems.append(f"a backslash shows as {[r.get('data-path') for r in slash]}")
print(f"{directories} directories, {len(files)} files drawn, mean aspect ratio {weighted:.2f}")
for problem in problems:
    print(problem, file=sys.stderr)
sys.exit(1 if problems else 0)
PY

# Every label inside its rectangle, as Chromium lays it out in its default
# sans-serif, with a margin of 2 pixels or more at each side: the legend's
# keys, cut to fit, stand near their edge. The page measures them and
# writes the result into its DOM.
{
    echo '<!DOCTYPE html><html><body>'
    sed 1d treemap.svg
    sed 1d flat.svg
    cat <<'HTML'
<script>
const outside = [];
const texts = document.querySelectorAll("svg text");
for (const text of texts) {
    const rect = text.previousElementSibling;
    const r = ["x", "y", "width", "height"].map((k) => Number(rect.getAttribute(k) || 0));
    const b = text.getBBox();
    if (b.x < r[0] + 2 || b.y < r[1] - 0.5 || b.x + b.width > r[0] + r[2] - 2 ||
        b.y + b.height > r[1] + r[3] + 0.5) {
        outside.push(text.textContent + " " + [b.x, b.y, b.width, b.height] + " in " + r);
    }
}
document.body.setAttribute("data-labels", texts.length);
document.body.setAttribute("data-outside", JSON.stringify(outside));
</script></body></html>
HTML
} > labels.html
chrome=(chromium --headless --no-sandbox --disable-gpu --disable-quic --no-first-run
        --disable-background-networking --disable-component-update --disable-sync
        --user-data-dir="$work/chromium")
"${chrome[@]}" --dump-dom "file://$work/labels.html" > labels.dom 2> chromium.log ||
    fail "chromium could not load the page: $(tail -n 3 chromium.log)"
labels=$(grep -o 'data-labels="[0-9]*"' labels.dom | grep -o '[0-9]*' || true)
if [ -z "$labels" ] || [ "$labels" -lt 10 ]; then
    fail "chromium measured ${labels:-no} labels"
elif ! grep -qF 'data-outside="[]"' labels.dom; then
    fail "labels run outside their rectangles: $(grep -o 'data-outside="[^"]*"' labels.dom)"
fi
"${chrome[@]}" --window-size=1600,1000 --screenshot="$work/treemap.png" "file://$work/treemap.svg" \
    2>> chromium.log
[ -s treemap.png ] || fail "chromium took no screenshot"

[ "$failures" -eq 0 ] && echo "the treemap's geometry holds, and Chromium finds all $labels labels inside"

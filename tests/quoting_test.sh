#!/usr/bin/env bash
# Every byte a name may hold (all but NUL and '/'), one file a byte, read
# back from each form a name is written in by that form's reader: the
# TAB-separated columns as COPY escapes them, JSON (Python's json, bytes
# not UTF-8 by surrogateescape), ncdu's export (raw bytes beyond ASCII),
# QDirStat's cache file (%XX) and the treemap's SVG (an XML parser, then ls
# -b's escapes of control characters). Needs python3.
#
# usage: tests/quoting_test.sh B64NUM_LSTAT
set -euo pipefail
lstat=$1
command -v python3 > /dev/null || { echo "quoting_test.sh: python3 is missing" >&2; exit 1; }
exec python3 - "$lstat" <<'PY'
import json, re, subprocess, sys, xml.etree.ElementTree as ET
lstat = sys.argv[1]
value = b"gB FCsB IGk B Po Po A EAAA BAA gA BpOlsk BpOd3A BpOd3A A A C"
names = [b"n" + bytes([b]) + b"x" for b in range(1, 256) if b != ord("/")]
expected = {b"/q/" + name for name in names}
# The rows as CSV, which holds any byte quoted: every name's real bytes.
csv = b"".join(b'"/q/' + name.replace(b'"', b'""') + b'",' + value + b"\n" for name in names)
def ours(*options):
    run = subprocess.run([lstat, "--csv", *options], input=csv, capture_output=True)
    if run.returncode != 0:
        sys.exit(f"{options}: status {run.returncode}: {run.stderr!r}")
    return run.stdout
problems = []
def check(form, found):
    if set(found) != expected:
        missing = sorted(expected - set(found))[:3]
        problems.append(f"{form}: {len(expected - set(found))} names not read back, as {missing}")

copy_letters = {b"\\": b"\\", b"b": b"\b", b"t": b"\t", b"n": b"\n", b"v": b"\v", b"f": b"\f", b"r": b"\r"}
copy = [re.sub(rb"\\(.)", lambda m: copy_letters[m.group(1)], line.split(b"\t")[0])
        for line in ours("-f", "size").splitlines()]
check("COPY's escapes", copy)

check("JSON", [json.loads(line)["columns"][0].encode("utf-8", "surrogateescape")
               for line in ours("--json", "-f", "size").splitlines()])

export = json.loads(ours("--ncdu").decode("utf-8", "surrogateescape"))
top = export[3]
check("ncdu's export", [top[0]["name"].encode("utf-8", "surrogateescape") + b"/" +
                        entry["name"].encode("utf-8", "surrogateescape") for entry in top[1:]])

cache = [line.split()[1] for line in ours("--qdirstat").splitlines() if line.startswith(b"F ")]
check("QDirStat's %XX", [re.sub(rb"%([0-9A-F]{2})", lambda m: bytes([int(m.group(1), 16)]), path)
                         for path in cache])

svg = ET.fromstring(ours("--treemap"))
ls_letters = {"a": "\a", "b": "\b", "t": "\t", "n": "\n", "v": "\v", "f": "\f", "r": "\r"}
def shown(path):  # UTF-8 as it is; control characters and other bytes as ls -b shows them
    byte = lambda code: chr(code if code < 0x80 else 0xDC00 + code)
    raw = re.sub(r"\\([0-7]{3}|[abtnvfr])",
                 lambda m: byte(int(m.group(1), 8)) if len(m.group(1)) == 3 else ls_letters[m.group(1)], path)
    return raw.encode("utf-8", "surrogateescape")
check("the treemap's XML", [shown(rect.get("data-path")) for rect in svg.iter("{http://www.w3.org/2000/svg}rect")
                            if rect.get("class") == "file"])

for problem in problems:
    print(problem, file=sys.stderr)
print(f"{len(names)} names read back from COPY's escapes, JSON, ncdu, QDirStat and SVG" if not problems else "")
sys.exit(1 if problems else 0)
PY

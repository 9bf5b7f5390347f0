#!/usr/bin/env python3
"""The catalog that the --catalog tests read, in every engine and both
schemas (File.Filename, and the older Filename table), written from the
catalog's public column names as SQL for each engine: sqlite-new.sql,
sqlite-old.sql, postgresql-new.sql, ... in DIRECTORY.

Client c1: a Full (1) and an Incremental (2) in which the directory /srv/a
became a file, then a pruned job (3), a restore (4) and an Incremental (5)
that found /srv/a and the directory /srv/d deleted (FileIndex 0). Client
c2: a Full (6). Client c3: a Full (10) with job 1's rows, a failed job
(11), a Differential with warnings (12) with job 2's, an Incremental (13)
in which /srv/a is a directory again, one with no rows (15) and a running
one (14). Client clone (20): job 1's machine
again, devices and inodes alike. Client win (21): two drives. Names hold a
TAB, a line feed and a backslash, and one every byte but NUL and '/'; a
hard link of two names.

usage: chain_fixture.py DIRECTORY
"""
import os
import sys
import time

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..",
                                "contrib"))
from tree_catalog import lstat_value  # noqa: E402


def lstat(mode, size, ino, nlink=1):
    return lstat_value([2049, ino, mode, nlink, 0, 0, 0, size, 4096, (size + 511) // 512, 0,
                        1700000000, 0, 0])


D, F = 0o40755, 0o100644
# A name of every byte but NUL and '/', starting with z as the names that
# a client without escapes cannot print do.
EVERY_BYTE = b"z" + bytes(b for b in range(1, 256) if b != ord("/"))
# JobId: rows of (path, name, mode, size, inode, links)
JOBS = {
    1: [("/srv/", "", D, 4096, 1, 1), ("/srv/a/", "", D, 4096, 2, 1),
        ("/srv/a/", "big", F, 10**6, 3, 1), ("/srv/", "ztab\there", F, 7, 4, 1),
        ("/srv/", "zlf\nhere", F, 11, 5, 1), ("/srv/", "back\\slash", F, 13, 6, 1),
        ("/srv/", "link1", F, 5000, 7, 2), ("/srv/", "link2", F, 5000, 7, 2),
        ("/srv/d/", "", D, 4096, 10, 1), ("/srv/d/", "f", F, 300, 11, 1),
        ("/srv/", EVERY_BYTE, F, 1, 12, 1)],
    2: [("/srv/", "", D, 4096, 1, 1), ("/srv/", "a", F, 10, 8, 1),
        ("/srv/", "ztab\there", F, 70, 4, 1)],
}
JOBS[10], JOBS[11], JOBS[12] = JOBS[1], [("/srv/", "failed", F, 99, 20, 1)], JOBS[2]
JOBS[13] = [("/srv/a/", "", D, 4096, 30, 1), ("/srv/a/", "new", F, 500, 31, 1)]
JOBS[14] = [("/srv/", "running", F, 99, 21, 1)]
JOBS[20] = JOBS[1]
JOBS[21] = [("C:/", "", D, 0, 1, 1), ("C:/", "a.txt", F, 100, 2, 1), ("D:/", "", D, 0, 3, 1),
            ("D:/", "b.txt", F, 200, 4, 1)]
DELETED = {5: [("/srv/", "a", F, 10, 8, 1), ("/srv/d/", "", D, 4096, 10, 1)]}
# JobId: ClientId, Type, Level, JobStatus, JobTDate, PurgedFiles
META = {1: (1, "B", "F", "T", 1700000000, 0), 2: (1, "B", "I", "T", 1700086400, 0),
        3: (1, "B", "I", "T", 1700100000, 1), 4: (1, "R", "F", "T", 1700100000, 0),
        5: (1, "B", "I", "T", 1700200000, 0), 6: (2, "B", "F", "T", 1700200000, 0),
        10: (3, "B", "F", "T", 1700300000, 0), 11: (3, "B", "I", "E", 1700310000, 0),
        12: (3, "B", "D", "W", 1700320000, 0), 13: (3, "B", "I", "T", 1700330000, 0),
        14: (3, "B", "I", "R", 1700340000, 0), 15: (3, "B", "I", "T", 1700335000, 0),
        20: (4, "B", "F", "T", 1700400000, 0),
        21: (5, "B", "F", "T", 1700400000, 0)}
CLIENTS = {1: "c1", 2: "c2", 3: "c3", 4: "clone", 5: "win"}

# Each engine's types, and how it writes a name's bytes.
DIALECTS = {
    "sqlite": {"text": "TEXT", "bytes": "BLOB", "char": "TEXT", "time": "TEXT",
               "big": "INTEGER", "literal": lambda b: "X'" + b.hex() + "'"},
    "postgresql": {"text": "text", "bytes": "text", "char": "char(1)",
                   "time": "timestamp without time zone", "big": "bigint",
                   "literal": lambda b: "E'" + "".join(f"\\x{c:02x}" for c in b) + "'"},
    "mariadb": {"text": "TEXT", "bytes": "BLOB", "char": "CHAR(1)", "time": "DATETIME",
                "big": "BIGINT", "literal": lambda b: "X'" + b.hex() + "'"},
}


def as_bytes(name):
    return name if isinstance(name, bytes) else name.encode()


def catalog(dialect, schema):
    t = DIALECTS[dialect]
    name = t["literal"]
    out = [
        f"CREATE TABLE Client (ClientId INTEGER PRIMARY KEY, Name {t['text']});",
        f"CREATE TABLE FileSet (FileSetId INTEGER PRIMARY KEY, FileSet {t['text']});",
        f"CREATE TABLE Job (JobId INTEGER PRIMARY KEY, Name {t['text']}, Type {t['char']}, "
        f"Level {t['char']}, JobStatus {t['char']}, StartTime {t['time']}, JobTDate {t['big']}, "
        f"PurgedFiles INTEGER, JobFiles INTEGER, JobBytes {t['big']}, ClientId INTEGER, "
        f"FileSetId INTEGER);",
        f"CREATE TABLE Path (PathId INTEGER PRIMARY KEY, Path {t['bytes']});",
    ]
    if schema == "new":
        out.append(f"CREATE TABLE File (FileId INTEGER PRIMARY KEY, FileIndex INTEGER, "
                   f"JobId INTEGER, PathId INTEGER, Filename {t['bytes']}, LStat {t['text']});")
    else:
        out.append(f"CREATE TABLE Filename (FilenameId INTEGER PRIMARY KEY, Name {t['bytes']});")
        out.append("CREATE TABLE File (FileId INTEGER PRIMARY KEY, FileIndex INTEGER, "
                   f"JobId INTEGER, PathId INTEGER, FilenameId INTEGER, LStat {t['text']});")
    for client, client_name in CLIENTS.items():
        out.append(f"INSERT INTO Client VALUES ({client}, '{client_name}');")
    out.append("INSERT INTO FileSet VALUES (1, 'Full Set');")
    for job, (client, kind, level, status, tdate, purged) in META.items():
        start = time.strftime("%Y-%m-%d %H:%M:%S", time.gmtime(tdate))
        out.append(f"INSERT INTO Job VALUES ({job}, 'x', '{kind}', '{level}', '{status}', "
                   f"'{start}', {tdate}, {purged}, {len(JOBS.get(job, []))}, 0, {client}, 1);")
    paths, names = {}, {}
    rows = [(job, row, False) for job in JOBS for row in JOBS[job]]
    rows += [(job, row, True) for job in DELETED for row in DELETED[job]]
    for file_id, (job, (path, file_name, mode, size, ino, nlink), deleted) in enumerate(rows, 1):
        if path not in paths:
            paths[path] = len(paths) + 1
            out.append(f"INSERT INTO Path VALUES ({paths[path]}, {name(path.encode())});")
        file_index = 0 if deleted else file_id
        value = lstat(mode, size, ino, nlink)
        if schema == "new":
            out.append(f"INSERT INTO File VALUES ({file_id}, {file_index}, {job}, {paths[path]}, "
                       f"{name(as_bytes(file_name))}, '{value}');")
            continue
        if file_name not in names:
            names[file_name] = len(names) + 1
            out.append(f"INSERT INTO Filename VALUES ({names[file_name]}, "
                       f"{name(as_bytes(file_name))});")
        out.append(f"INSERT INTO File VALUES ({file_id}, {file_index}, {job}, {paths[path]}, "
                   f"{names[file_name]}, '{value}');")
    return "\n".join(out) + "\n"


def main(directory):
    for dialect in DIALECTS:
        for schema in ("new", "old"):
            with open(os.path.join(directory, f"{dialect}-{schema}.sql"), "w") as sql:
                sql.write(catalog(dialect, schema))


if __name__ == "__main__":
    if len(sys.argv) != 2:
        sys.exit(__doc__)
    main(sys.argv[1])

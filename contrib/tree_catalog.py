#!/usr/bin/env python3
"""Makes a small SQLite backup catalog of a directory tree, to try
b64num-lstat --catalog on without a backup server: one client, one FileSet
and one Full backup job (JobId 1) holding a row of File for each entry, its
LStat value from lstat(2). The tables are the catalog's public ones (Job,
Client, FileSet, Path, File with a Filename column); names are kept as
bytes. The shell tests use lstat_value() to write LStat values too.

usage: tree_catalog.py [--as=PATH] [--client=NAME] DIRECTORY CATALOG
  --as=PATH      record the tree under PATH instead of its own absolute path
  --client=NAME  the client's name (default: demo-fd)
"""
import os
import sqlite3
import sys
import time

DIGITS = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/"


def numeral(value):
    sign = "-" if value < 0 else ""
    value = abs(value)
    text = ""
    while True:
        text = DIGITS[value % 64] + text
        value //= 64
        if value == 0:
            return sign + text


def lstat_value(fields):
    return " ".join(numeral(field) for field in fields)


def lstat_of(status):
    """dev ino mode nlink uid gid rdev size blksize blocks atime mtime ctime
    LinkFI flags stream, as the catalog keeps them."""
    return lstat_value([status.st_dev, status.st_ino, status.st_mode, status.st_nlink,
                        status.st_uid, status.st_gid, status.st_rdev, status.st_size,
                        status.st_blksize, status.st_blocks, int(status.st_atime),
                        int(status.st_mtime), int(status.st_ctime), 0, 0, 1])


def rows_of(directory, recorded_as):
    """(path with its '/', name, lstat(2)) of each entry, a directory's own
    row with an empty name; paths as bytes."""
    top = os.fsencode(recorded_as.rstrip("/") + "/")
    yield top, b"", os.lstat(directory)
    for here, subdirectories, files in os.walk(os.fsencode(directory)):
        subdirectories.sort()
        below = os.path.relpath(here, os.fsencode(directory))
        path = top if below == b"." else top + below + b"/"
        for name in subdirectories:
            yield path + name + b"/", b"", os.lstat(os.path.join(here, name))
        for name in sorted(files):
            yield path, name, os.lstat(os.path.join(here, name))


def main(arguments):
    recorded_as, client = None, "demo-fd"
    while arguments and arguments[0].startswith("--"):
        option, _, value = arguments.pop(0).partition("=")
        if option == "--as" and value:
            recorded_as = value
        elif option == "--client" and value:
            client = value
        else:
            sys.exit(__doc__)
    if len(arguments) != 2 or not os.path.isdir(arguments[0]):
        sys.exit(__doc__)
    directory, catalog = arguments
    if os.path.exists(catalog):
        sys.exit(f"tree_catalog.py: {catalog} exists; it makes a new catalog")
    database = sqlite3.connect(catalog)
    database.executescript("""
        CREATE TABLE Client (ClientId INTEGER PRIMARY KEY, Name TEXT NOT NULL);
        CREATE TABLE FileSet (FileSetId INTEGER PRIMARY KEY, FileSet TEXT NOT NULL);
        CREATE TABLE Job (JobId INTEGER PRIMARY KEY, Name TEXT, Type TEXT, Level TEXT,
                          JobStatus TEXT, ClientId INTEGER, FileSetId INTEGER,
                          StartTime TEXT, JobTDate INTEGER, JobFiles INTEGER,
                          JobBytes INTEGER, PurgedFiles INTEGER);
        CREATE TABLE Path (PathId INTEGER PRIMARY KEY, Path BLOB NOT NULL UNIQUE);
        CREATE TABLE File (FileId INTEGER PRIMARY KEY, FileIndex INTEGER, JobId INTEGER,
                           PathId INTEGER, Filename BLOB, LStat TEXT);
    """)
    paths, files, size = {}, 0, 0
    for path, name, status in rows_of(directory, recorded_as or os.path.abspath(directory)):
        if path not in paths:
            paths[path] = len(paths) + 1
            database.execute("INSERT INTO Path VALUES (?, ?)", (paths[path], path))
        files += 1
        size += status.st_size if name else 0
        database.execute("INSERT INTO File (FileIndex, JobId, PathId, Filename, LStat) "
                         "VALUES (?, 1, ?, ?, ?)", (files, paths[path], name, lstat_of(status)))
    now = int(time.time())
    database.execute("INSERT INTO Client VALUES (1, ?)", (client,))
    database.execute("INSERT INTO FileSet VALUES (1, 'Full Set')")
    database.execute("INSERT INTO Job VALUES (1, 'demo', 'B', 'F', 'T', 1, 1, ?, ?, ?, ?, 0)",
                     (time.strftime("%Y-%m-%d %H:%M:%S", time.localtime(now)), now, files, size))
    database.commit()


if __name__ == "__main__":
    main(sys.argv[1:])

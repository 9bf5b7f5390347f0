#!/usr/bin/env python3
"""The rows of lstat_gen's tree (path TAB LStat, escaped as COPY escapes
them) as the tables of a catalog holding them as one Full backup, JobId 1,
of client bench-fd: Client.tsv, FileSet.tsv, Job.tsv, Path.tsv and File.tsv
in DIRECTORY, each as COPY, LOAD DATA and sqlite3's .import read them. The
benchmarks of --catalog load them.

Columns: Client (ClientId, Name); FileSet (FileSetId, FileSet); Job (JobId,
Name, Type, Level, JobStatus, StartTime, JobTDate, PurgedFiles, JobFiles,
JobBytes, ClientId, FileSetId); Path (PathId, Path); File (FileId,
FileIndex, JobId, PathId, Filename, LStat).

usage: catalog_tables.py ROWS DIRECTORY
"""
import os
import sys


def main(rows_file, directory):
    paths = {}
    files = 0
    with open(rows_file, "rb") as rows, \
            open(os.path.join(directory, "File.tsv"), "wb") as file_table, \
            open(os.path.join(directory, "Path.tsv"), "wb") as path_table:
        for line in rows:
            name_and_path, lstat = line.rstrip(b"\n").rsplit(b"\t", 1)
            # A directory's row: its path with its '/', and an empty name.
            cut = len(name_and_path) if name_and_path.endswith(b"/") \
                else name_and_path.rfind(b"/") + 1
            path, name = name_and_path[:cut], name_and_path[cut:]
            if path not in paths:
                paths[path] = len(paths) + 1
                path_table.write(b"%d\t%s\n" % (paths[path], path))
            files += 1
            file_table.write(b"%d\t%d\t1\t%d\t%s\t%s\n" % (files, files, paths[path], name, lstat))
    tables = {
        "Client.tsv": "1\tbench-fd\n",
        "FileSet.tsv": "1\tFull Set\n",
        "Job.tsv": f"1\tbench\tB\tF\tT\t2026-12-01 00:00:00\t1796083200\t0\t{files}\t0\t1\t1\n",
    }
    for table, text in tables.items():
        with open(os.path.join(directory, table), "w") as out:
            out.write(text)


if __name__ == "__main__":
    if len(sys.argv) != 3:
        sys.exit(__doc__)
    main(sys.argv[1], sys.argv[2])

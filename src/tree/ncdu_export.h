// b64num-lstat --ncdu: a backup tree in the JSON export format of ncdu,
// which ncdu -f browses: nested directories, each entry with its apparent
// size, disk usage and the extended fields uid, gid, mode and mtime.
#ifndef B64NUM_NCDU_EXPORT_H
#define B64NUM_NCDU_EXPORT_H

#include "backup_tree.h"
#include "lstat_output.h"

#include <ctime>

// Writes the tree below its top, names with their real bytes, as ncdu -e -o
// writes a directory it scanned. `now` is the export's timestamp.
void write_ncdu_export(OutputBuffer& out, const BackupTree& tree, const char* version,
                       std::time_t now);

#endif

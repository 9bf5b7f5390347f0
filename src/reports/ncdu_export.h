// b64num-lstat --ncdu: a backup tree in the JSON export format of ncdu,
// which ncdu -f browses: nested directories, each entry with its apparent
// size, disk usage and the extended fields uid, gid, mode and mtime.
#ifndef B64NUM_NCDU_EXPORT_H
#define B64NUM_NCDU_EXPORT_H

#include "output_buffer.h"
#include "tree_types.h"

#include <ctime>

// Whether ncdu reads `value` back as `field` of an entry: it reads owners
// and groups up to 2^31 - 1, modes up to 0xFFFF and link counts up to
// 2^32 - 1, none of them negative, and refuses the whole export otherwise.
// An entry's field that it would not read is left out of the export.
bool ncdu_reads(LstatField field, std::int64_t value);

// The entries written without a field that ncdu could not read back, as
// ncdu 1.18 refuses an export that holds an owner past 2^31 - 1 (even one
// it wrote itself): counted, and the first one named, for one message.
class NcduOmissions {
public:
    // Notes the row of `line` if ncdu cannot read one of its fields.
    void check(const CatalogLine& line);
    // What was left out, for one message; empty when nothing was.
    std::string message() const;

private:
    unsigned long entries_ = 0;
    unsigned long first_line_ = 0;
    LstatField first_field_ = field_uid;
    std::int64_t first_value_ = 0;
};

// The tree below its top, names with their real bytes, as ncdu -e -o writes
// a directory it scanned: devices, inodes and times as the unsigned 64-bit
// numbers of stat(2) (a time before 1970 as 2^64 plus it), as ncdu writes
// and reads them; a piece at a time, as the tree engine gives it: the
// header (`now` the export's timestamp), then each entry's object (`own` nullptr for a directory
// without a row), each directory's in a '[' before its entries and a ']' after them, and a ']' and
// a line feed after the top's.
void write_ncdu_header(OutputBuffer& out, const char* version, std::time_t now);
void write_ncdu_entry(OutputBuffer& out, std::string_view escaped_name, const EntryAttributes* own,
                      bool show_dev, bool counts, Versions versions, std::string& buffer);

#endif

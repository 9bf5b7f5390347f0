// What b64num-lstat writes of the lines it reads: one writer per mode,
// chosen once at start-up. The modes that build a tree have theirs in
// tree_writers.h.
#ifndef B64NUM_ROW_WRITERS_H
#define B64NUM_ROW_WRITERS_H

#include "catalog_line.h"
#include "field_list.h"
#include "long_listing.h"
#include "lstat_output.h"

#include <memory>

class RowWriter {
public:
    RowWriter() = default;
    RowWriter(const RowWriter&) = delete;
    RowWriter& operator=(const RowWriter&) = delete;
    virtual ~RowWriter() = default;

    // Takes a line that is not refused: a row, an empty line or a header
    // line, whose bytes it may change. Returns false when the mode cannot
    // take the row after all; the line's verdict then says why.
    virtual bool take(CatalogLine& line) = 0;

    // Says that the lines of the next input come, before its first.
    virtual void start_input() {}

    // Writes what comes after the last line of the last input.
    virtual void finish() {}
};

// TAB-separated fields after the passed-through columns, an empty line for
// an empty one; with `header`, a line of column names first, which an
// input's header line names.
std::unique_ptr<RowWriter> make_tsv_writer(OutputBuffer& out, const FieldSelection& fields,
                                           bool header);

// JSON Lines, one object a row; nothing for empty lines.
std::unique_ptr<RowWriter> make_json_writer(OutputBuffer& out, const FieldSelection& fields);

// Rows as ls -l lists files; an empty line for an empty one.
std::unique_ptr<RowWriter> make_long_writer(OutputBuffer& out, const ListingStyle& style);

#endif

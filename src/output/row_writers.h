// What b64num-lstat writes of the lines it reads: one writer per mode,
// chosen once at start-up. The modes that build a tree have theirs in
// tree_writers.h.
#ifndef B64NUM_ROW_WRITERS_H
#define B64NUM_ROW_WRITERS_H

#include "catalog_line.h"
#include "field_list.h"
#include "long_listing.h"
#include "output_buffer.h"

#include <cstdint>
#include <memory>
#include <string>

// What a writer says at the end, when it writes nothing there: why, and
// whether the inputs were unusable for a comparison, which diff tells by
// its status as trouble rather than as a difference; and whether what it
// compared differs.
struct Ending {
    std::string refusal; // why the report was not written, or not whole; empty if it was
    bool unusable_inputs = false;
    bool differs = false;
    std::string note{}; // what the report, written whole, had to leave out of it
};

// The refusal of a report whose total would not be right: 64 bits hold
// no more.
inline constexpr char total_passes[] = "total passes 2^63 - 1 bytes";

// Where a writer that holds rows back until the end reports those that it
// refuses then: `line` holds the line's number, its verdict and what the
// verdict's message names.
class RefusalReporter {
public:
    virtual void refused(std::uint32_t input, const CatalogLine& line) = 0;

protected:
    RefusalReporter() = default;
    RefusalReporter(const RefusalReporter&) = default;
    RefusalReporter& operator=(const RefusalReporter&) = default;
    ~RefusalReporter() = default;
};

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

    // Gives the writer where to report rows that it refuses at the end.
    virtual void set_reporter(RefusalReporter* /*reporter*/) {}

    // Says that an input ended, and whether it could be read to its end.
    virtual void end_input(bool /*read_whole*/) {}

    // Where two inputs are read at once (--sorted --diff): the one, 0 or 1,
    // whose next line the writer needs, or -1 when it needs no more; and
    // which one the lines and calls that come next are from.
    virtual int next_input() const { return -1; }
    virtual void reading_input(int /*input*/) {}

    // Writes what comes after the last line of the last input, or says why
    // it writes nothing: a report that would be wrong is not written.
    virtual Ending finish() { return {}; }
};

// TAB-separated fields after the passed-through columns, an empty line for
// an empty one; with `header`, a line of column names first, which an
// input's header line names. With `times`, times in that style.
std::unique_ptr<RowWriter> make_tsv_writer(OutputBuffer& out, const FieldSelection& fields,
                                           bool header, const TimeStyle* times);

// JSON Lines, one object a row; nothing for empty lines.
std::unique_ptr<RowWriter> make_json_writer(OutputBuffer& out, const FieldSelection& fields,
                                            const TimeStyle* times);

// Rows as ls -l lists files; an empty line for an empty one.
std::unique_ptr<RowWriter> make_long_writer(OutputBuffer& out, const ListingStyle& style);

#endif

// Sorts the lines of one input into rows to print and lines to refuse, and
// hands each over once, in input order, with its verdict.
//
// Rows are held to a shape (see row_shape.h), which comes from the first
// whole row (13 numerals or more, numeral bytes only) that starts a row:
// the first line, or a line after one that ended in a whole LStat value. A
// line after a piece of a row cut by a line feed may be that row's tail,
// which looks whole but may have a TAB of the name among its columns, so it
// does not set the shape.
//
// Until the shape is known, lines wait, at most waiting_line_limit lines or
// waiting_byte_limit bytes. Past either, and at the end of the input, the
// first whole row waiting sets the shape; when there is none, the first line
// sets it as it is. Messages name the first line of that shape. A header
// line at the top (see is_lstat_column_name) is handed over as a header.
//
// A line with fewer columns than the shape is handed over once the next line
// tells whether it brings the rest: a file name holding a line feed, or a
// row cut short.
#ifndef B64NUM_ROW_FILTER_H
#define B64NUM_ROW_FILTER_H

#include "catalog_line.h"
#include "row_shape.h"

#include <cstddef>
#include <cstdint>
#include <vector>

constexpr std::size_t waiting_line_limit = 1024;
constexpr std::size_t waiting_byte_limit = std::size_t{4} << 20;

// Takes the lines, judged. A line's text stays valid until take() returns,
// and take() may change its bytes.
class LineSink {
public:
    virtual void take(CatalogLine& line) = 0;

protected:
    LineSink() = default;
    LineSink(const LineSink&) = default;
    LineSink& operator=(const LineSink&) = default;
    ~LineSink() = default;
};

struct RowFilter {
    struct Waiting {
        CatalogLine line;
        std::size_t offset; // of its text in `text`
    };

    LineSink* sink;
    RowRules rules;
    RowShape shape;
    bool shape_known;
    bool at_top;        // nothing but empty lines so far
    bool after_row_end; // the last non-empty line ended in a whole LStat value
    std::vector<Waiting> waiting;
    std::vector<char> text; // of the waiting lines, each NUL-terminated
    CatalogLine current;
    CatalogLine short_line;       // with fewer columns than the shape, until the next line
    std::vector<char> short_text; // its bytes
    bool has_short_line;
    RowOrigin origin; // of the next line, when the catalog itself is read
};

// Starts an input; the filter's storage is reused.
void filter_start(RowFilter& filter, LineSink& sink, const RowRules& rules);

// Takes line `number`, `length` bytes at `line`, NUL-terminated, and
// whether a line feed ended it (only the last line of an input may lack
// one); the filter may change its bytes.
void filter_line(RowFilter& filter, unsigned long number, char* line, std::size_t length,
                 bool line_fed = true);

// Takes a line that could not be read as a row, of `length` bytes: one
// too long, or a CSV record that is no record (see Verdict).
void filter_unread(RowFilter& filter, unsigned long number, std::size_t length, Verdict verdict);

// Ends the input: hands over the lines still waiting.
void filter_finish(RowFilter& filter);

#endif

// Sorts the lines of one input into rows to print and lines to refuse.
//
// Rows are held to a shape: a number of columns, and whether the LStat value
// is whole. The shape comes from the first whole row (13 numerals or more,
// numeral bytes only) that starts a row: the first line, or a line after one
// that ended in a whole LStat value. A line after a piece of a row cut by a
// line feed may be that row's tail, which looks whole but may have a TAB of
// the name among its columns, so it does not set the shape.
//
// Until the shape is known, lines wait, at most waiting_line_limit lines or
// waiting_byte_limit bytes. Past either, and at the end of the input, the
// first whole row waiting sets the shape; when there is none, the first line
// sets it as it is. A header line at the top (see is_lstat_column_name) is
// dropped: it is neither a row nor a refused line.
#ifndef B64NUM_ROW_FILTER_H
#define B64NUM_ROW_FILTER_H

#include "catalog_rows.h"
#include "lstat.h"

#include <cstddef>
#include <string>
#include <vector>

constexpr std::size_t waiting_line_limit = 1024;
constexpr std::size_t waiting_byte_limit = std::size_t{4} << 20;

// A line, in input order, with what became of it.
struct FilteredLine {
    unsigned long number;
    char* text;         // CR taken off; NUL-terminated
    std::size_t length; // 0 for an empty line, which is a row
    char* lstat;        // the last column; equal to text when there is one column
    const LstatRow* row;
    const std::string* refusal; // why the line is not printed; nullptr for a row
};

using LineHandler = void (*)(void* context, const FilteredLine& line);

struct RowFilter {
    struct Waiting {
        unsigned long number;
        std::size_t offset; // into text: the line, or the reason it was refused
        std::size_t length;
        int numerals;
        bool whole;
        bool refused;
    };

    LineHandler handler;
    void* context;
    RowShape shape;
    bool shape_known;
    bool at_top;        // nothing but empty lines so far
    bool after_row_end; // the last non-empty line ended in a whole LStat value
    std::vector<Waiting> waiting;
    std::vector<char> text; // of the waiting lines, each NUL-terminated
    LstatRow row;
    std::string reason;
};

// Starts an input; the filter's storage is reused.
void filter_start(RowFilter& filter, LineHandler handler, void* context);

// Takes line `number`, `length` bytes at `line`, NUL-terminated; the filter
// may change its bytes. Hands lines to the handler in input order.
void filter_line(RowFilter& filter, unsigned long number, char* line, std::size_t length);

// Takes a line that was refused before it could be read, such as one too long
// to hold.
void filter_refused(RowFilter& filter, unsigned long number, const std::string& reason);

// Ends the input: hands over the lines still waiting.
void filter_finish(RowFilter& filter);

#endif

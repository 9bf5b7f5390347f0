// One line of a catalog query's output, read once into what it is: its
// columns, its LStat value and the fields decoded from it, and the verdict
// on it. Columns are TAB-separated, escaped as psql's COPY ... TO STDOUT and
// mysql -B escape them, and the LStat value is the last one.
#ifndef B64NUM_CATALOG_LINE_H
#define B64NUM_CATALOG_LINE_H

#include "lstat.h"
#include "verdict.h"

#include <cstddef>
#include <cstdint>
#include <string_view>

// The bytes in front of the LStat value: the TAB-separated columns that are
// passed through, escaped as the catalog's client printed them.
struct PassThrough {
    char* text;
    std::size_t length;
    bool present; // false when the line held no TAB at all
};

// Where a row comes from, when the catalog itself is read (--catalog): all
// zero for rows read from files.
struct RowOrigin {
    std::int64_t job = 0;      // the JobId of the job that holds it
    std::int64_t job_time = 0; // and its JobTDate
    // The machine whose device and inode numbers the row's are: 0 where the
    // rows are one machine's, else a number for each client read at once,
    // whose cloned disks may share those numbers.
    std::uint32_t host = 0;
    // A record of a file found deleted by a later job: its fields those of an
    // empty regular file with one link (see mark_deleted), which no mode counts.
    bool deleted = false;
};

struct CatalogLine {
    unsigned long number;
    char* text;              // CR taken off and NUL-terminated; nullptr when too long to hold
    std::size_t length;      // of the text, or of the line too long to hold
    std::size_t lstat_start; // where the last column starts: 0 when there is one column
    std::size_t stray_at;    // the first byte of the LStat value out of place, or length
    LstatFault lstat_fault;  // what keeps the last column from being an LStat value
    int columns;             // TAB-separated columns, the LStat value included
    bool has_nul;
    bool names_lstat; // the last column is the name LStat: a header line
    bool line_fed;    // a line feed ended it: a line without one ends the input
    bool at_top;      // the first line of its input that is not empty
    LstatRow fields;  // what was decoded of the LStat value, up to a fault
    Verdict verdict;
    bool selected; // the selections of the command line let it through
    RowOrigin origin;
    unsigned long other_line; // the line that the verdict's message names
    int expected;             // the columns or numerals that line has

    const char* lstat() const { return text + lstat_start; }
    std::size_t lstat_length() const { return length - lstat_start; }
    // A byte that no numeral holds, or one out of place.
    bool has_stray_byte() const
    {
        return lstat_fault == LstatFault::stray_byte || lstat_fault == LstatFault::misplaced_byte;
    }
    // Numerals in their places, and enough of them for a whole LStat value.
    bool is_whole() const
    {
        return (lstat_fault == LstatFault::none || lstat_fault == LstatFault::wrapped_numeral) &&
               !has_nul;
    }
    PassThrough pass_through() const
    {
        return {text, lstat_start > 0 ? lstat_start - 1 : 0, lstat_start > 0};
    }
    // The first column, as the client escaped it; the path in the modes
    // that build a tree.
    std::string_view first_column() const;
    // A row that the modes take: not a header line, not an empty line.
    bool is_entry() const { return verdict != Verdict::header && verdict != Verdict::empty; }
};

// Reads line `number`, `length` bytes at `text`, NUL-terminated, into
// `line`: takes off a CR at its end, in place, and finds its columns, its
// LStat value and its fields. The verdict is left to the shape of the rows.
void read_catalog_line(CatalogLine& line, unsigned long number, char* text, std::size_t length);

// Marks `line` as the record of a file found deleted, which ends its path
// under --latest: a regular file with one link and no bytes, so that it
// takes away what earlier rows put at or below its path, is no hard link,
// and counts nothing.
void mark_deleted(CatalogLine& line);

// A line that could not be read as a row, of `length` bytes, for `verdict`.
void unread_line(CatalogLine& line, unsigned long number, std::size_t length, Verdict verdict);

// The UTF-8 byte-order mark that editors and some exports put at the start
// of a file, and whether the `length` bytes at `text` start with it.
inline constexpr char byte_order_mark[] = "\xEF\xBB\xBF";
bool starts_with_byte_order_mark(const char* text, std::size_t length);

// The bytes of a byte-order mark to skip in the first line of an input: 3 where
// the mark is followed by a '/' (an absolute path) or the line is a header
// line, 0 elsewhere, since a file name may begin with U+FEFF.
std::size_t byte_order_mark_before(const char* text, std::size_t length);

// True when a last column names the LStat column instead of holding a
// value: the word lstat in any case, bare or qualified (File.LStat), as
// mysql -B without -N and COPY ... WITH (HEADER) print it on a header line.
bool is_lstat_column_name(const char* text, std::size_t length);

#endif

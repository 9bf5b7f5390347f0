// Reads CSV records (RFC 4180, as sqlite3 -csv and psql --csv write them)
// from a file descriptor, and gives each as the line that COPY would have
// printed for the same row, so that every rule for rows holds for it as it
// is: fields separated by TABs, a NULL (an empty field without quotes) as
// \N, and the backslashes and control characters in fields that COPY
// escapes escaped as it does: \\ \b \t \n \v \f \r. A quoted field may
// hold commas, quotes (doubled) and line feeds; a record ends at a line
// feed, or CR LF, outside quotes.
//
// Memory stays bounded: a record whose line would pass longest_line is read
// to its end, its quotes followed, but not kept.
#ifndef B64NUM_CSV_READER_H
#define B64NUM_CSV_READER_H

#include "line_reader.h"

#include <cstddef>
#include <string>
#include <vector>

struct CsvReader {
    int fd;
    int error; // errno of a failed read; reading stops there
    bool at_end;
    bool at_start;      // nothing read yet
    std::size_t start;  // first unread byte
    std::size_t end;    // one past the last byte read
    unsigned long line; // of the next byte, from 1
    std::vector<char> buffer;
    std::string record;       // the last record as a line, NUL-terminated
    std::vector<char> simple; // or there, a simple record's (see csv_reader.cpp)
};

enum class CsvResult {
    record,         // `record` holds the line
    too_long,       // its line would pass longest_line: `length` says how long
    unclosed_quote, // a quoted field runs to the end of the input
    stray_quote,    // a quote inside a field without quotes, or after a closing one
    end,            // the end of the input, or a read error
};

struct CsvRecord {
    char* text; // NUL-terminated, when CsvResult::record, until the next read
    std::size_t length;
    unsigned long first_line; // where it starts
    bool line_fed;            // it ends in a line feed, not at the end of the input
};

// A reader on `fd`, reusing `reader`'s storage.
void start_reading_csv(CsvReader& reader, int fd);

// Reads the next record; the last one needs no line feed. An empty line is
// an empty record.
CsvResult read_record(CsvReader& reader, CsvRecord& record);

#endif

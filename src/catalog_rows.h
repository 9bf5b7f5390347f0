// Lines of catalog query output: columns as psql's COPY ... TO STDOUT and
// mysql -B escape them, and the checks that keep a line that cannot be a
// whole catalog row from passing for one.
#ifndef B64NUM_CATALOG_ROWS_H
#define B64NUM_CATALOG_ROWS_H

#include <cstddef>
#include <string>

// Between them, the clients write these bytes of a value as \\, \n, \r, \t,
// \b, \f, \v and \0, and a NULL as \N. A backslash before anything else
// stays as it is.

// Undoes the escapes of one column in place and returns its new length.
std::size_t unescape_column(char* text, std::size_t length);

// True when the column is exactly \N, the clients' NULL.
bool is_null_column(const char* text, std::size_t length);

// What the lines of one input so far say about its rows.
struct RowShape {
    unsigned long first_line = 0; // the first non-empty line; 0 before it
    int columns = 0;              // its number of TAB-separated columns
    int numerals = -1;            // in the first row decoded; -1 before it
    unsigned long cut_line = 0;   // a row cut short here, by a line feed in a name?
    int columns_owed = 0;         // columns that its rest still has to bring
};

// Checks line `number` (`length` bytes, CR already taken off) whose last
// column, the LStat value, is `lstat`. A line that cannot be a whole row:
//  - has another number of columns than the first line, or
//  - continues a row cut short by a line feed, or
//  - has a byte in its LStat value that no numeral holds.
// Returns false for such a line and says why and what probably caused it in
// `reason`. Empty lines pass unless they continue a cut row.
bool check_row(RowShape& shape, unsigned long number, const char* line, std::size_t length,
               const char* lstat, std::string& reason);

// Checks the number of numerals that a row passed by check_row holds. When
// the first row holds a whole LStat value (13 numerals or more), a row with
// fewer is a piece of a row, not a row: returns false and says why.
bool check_numerals(RowShape& shape, int numerals, std::string& reason);

#endif

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

// True when a last column names the LStat column instead of holding a
// value: the word lstat in any case, bare or qualified (File.LStat), as
// mysql -B without -N and COPY ... WITH (HEADER) print it on a header line.
bool is_lstat_column_name(const char* text, std::size_t length);

// An LStat value holds 13 to 16 numerals; fewer make a piece of a row.
constexpr int fewest_in_a_value = 13;

// The number of TAB-separated columns of a line whose last column starts at
// `lstat`.
int count_columns(const char* line, const char* lstat);

// True when a line can only be a whole row: no NUL byte, and a last column
// of numeral bytes only that holds `numerals` >= fewest_in_a_value.
bool is_whole_row(const char* line, std::size_t length, const char* lstat, int numerals);

// What the lines of one input say about its rows: the shape that rows are
// held to, and the state of a row that a line feed cut.
struct RowShape {
    unsigned long first_line = 0; // the line the shape comes from; 0 before it
    int columns = 0;              // its number of TAB-separated columns
    int numerals = -1;            // its number of numerals; -1 before a row is decoded
    unsigned long cut_line = 0;   // a row cut short here, by a line feed in a name?
    int columns_owed = 0;         // columns that its rest still has to bring
};

// Checks line `number` (`length` bytes, CR already taken off) whose last
// column, the LStat value, is `lstat`. A line that cannot be a whole row:
//  - holds a NUL byte, or
//  - is a header line (see is_lstat_column_name), which only the top of an
//    input may hold, or
//  - has another number of columns than the shape, or
//  - continues a row cut short by a line feed, or
//  - has a byte in its LStat value that no numeral holds.
// Returns false for such a line and says why and what probably caused it in
// `reason`. Empty lines pass unless they continue a cut row. While the shape
// is unknown, the first non-empty line without a NUL sets its columns.
bool check_row(RowShape& shape, unsigned long number, const char* line, std::size_t length,
               const char* lstat, std::string& reason);

// Checks the number of numerals that a row passed by check_row holds. When
// the shape holds a whole LStat value, a row with fewer numerals is a piece
// of a row, not a row: returns false and says why. While the number is
// unknown, the first row decoded sets it.
bool check_numerals(RowShape& shape, int numerals, std::string& reason);

#endif

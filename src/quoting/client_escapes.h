// Columns as the catalog's clients print them: psql's COPY ... TO STDOUT
// and mysql -B write these bytes of a value as \\, \n, \r, \t, \b, \f, \v
// and \0, and a NULL as \N. A backslash before anything else stays as it is.
#ifndef B64NUM_CLIENT_ESCAPES_H
#define B64NUM_CLIENT_ESCAPES_H

#include <cstddef>
#include <string>
#include <string_view>

// Undoes the escapes of one column in place and returns its new length.
std::size_t unescape_column(char* text, std::size_t length);

// The real bytes of a column as its client escaped it: the column itself
// where it holds no backslash, or else its bytes unescaped into `scratch`.
std::string_view real_bytes(std::string_view escaped, std::string& scratch);

// Whether psql's COPY escapes byte `c`: a backslash, or \b \t \n \v \f \r.
inline bool copy_escapes(char c)
{
    return c == '\\' || (c >= '\b' && c <= '\r');
}

// The letter that follows the backslash where COPY escapes `c`.
inline char copy_escape_letter(char c)
{
    constexpr char letters[] = "btnvfr";
    return c == '\\' ? c : letters[c - '\b'];
}

// Appends the real bytes `real` as COPY escapes them, so that a text that
// holds a TAB or a line feed stays in its column and on its line.
void append_copy_escaped(std::string& out, std::string_view real);

// Where `column` holds a byte that psql's COPY would escape but its client
// left raw (mysql -B writes a CR as it is), or an escape that COPY would
// write otherwise, writes the column as COPY escapes the same bytes into
// `copy_form` and returns true; false where the column is in that form
// already, as nearly every column is. Paths in that form have one spelling
// for one file, whichever client printed them.
bool to_copy_escapes(std::string_view column, std::string& copy_form);

// True when the column is exactly \N, the clients' NULL.
bool is_null_column(const char* text, std::size_t length);

#endif

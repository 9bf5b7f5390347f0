// Columns as the catalog's clients print them: psql's COPY ... TO STDOUT
// and mysql -B write these bytes of a value as \\, \n, \r, \t, \b, \f, \v
// and \0, and a NULL as \N. A backslash before anything else stays as it is.
#ifndef B64NUM_CLIENT_ESCAPES_H
#define B64NUM_CLIENT_ESCAPES_H

#include <cstddef>

// Undoes the escapes of one column in place and returns its new length.
std::size_t unescape_column(char* text, std::size_t length);

// True when the column is exactly \N, the clients' NULL.
bool is_null_column(const char* text, std::size_t length);

#endif

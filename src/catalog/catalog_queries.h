// The SQL that every reader sends, the same in each engine but for how a
// parameter is written ("?" or "$1"): a parameter is always bound, never
// pasted into the text.
#ifndef B64NUM_CATALOG_QUERIES_H
#define B64NUM_CATALOG_QUERIES_H

#include <cstdint>
#include <string>
#include <string_view>

// The columns of a job that job_record() reads (see job_selection.h): of
// the job whose JobId is `parameter`, or of every backup where it is null.
std::string job_query(const char* parameter);

// How an engine writes bytes in SQL: X'2F61' (MariaDB), the same as text
// (SQLite, whose LIKE matches no BLOB), or E'\x2f\x61' (PostgreSQL). Each
// holds nothing but hexadecimal digits of the bytes, so that no byte of a
// path can end it.
enum class ByteLiteral { hex, hex_text, escaped_hex };

// The condition on the rows of file_rows_query() that keeps those whose path
// is `under` or lies below it (real bytes, without a trailing '/'): empty
// for none. The tool selects the rows again, so that a LIKE that ignores
// case, as some engines' does, only lets more through, never less.
std::string under_condition(std::string_view under, bool older_schema, ByteLiteral literal);

// The condition that keeps the rows whose name may match `glob` as find
// -name matches it, and every directory's own row (whose name is its
// path's, and which the tool tests itself): empty where the glob holds a
// bracket, which LIKE cannot say. '?' asks for any run of characters, as
// LIKE's '_' would miss a byte of a character of several.
std::string name_condition(std::string_view glob, bool older_schema, ByteLiteral literal);

// A job's rows of File, by its JobId: the path, the name (empty for a
// directory's own row), the LStat value and the FileIndex, those that
// `condition` keeps. The older schema keeps the names in a table of their
// own.
std::string file_rows_query(bool older_schema, const char* parameter,
                            const std::string& condition = {});

// The same rows as COPY writes them, for the job `job_id`: a number the
// tool wrote, since COPY takes no parameters.
std::string file_rows_copy(bool older_schema, std::int64_t job_id,
                           const std::string& condition = {});

// Whether File has a Filename column, where the engine has
// information_schema: a row where it has.
std::string filename_column_query(const char* schema_function);

#endif

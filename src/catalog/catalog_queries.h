// The SQL that every reader sends, the same in each engine but for how a
// parameter is written ("?" or "$1"): a parameter is always bound, never
// pasted into the text.
#ifndef B64NUM_CATALOG_QUERIES_H
#define B64NUM_CATALOG_QUERIES_H

#include <string>

// The columns of a job that job_record() reads (see job_selection.h): of
// the job whose JobId is `parameter`, or of every backup where it is null.
std::string job_query(const char* parameter);

// A job's rows of File, by its JobId: the path, the name (empty for a
// directory's own row), the LStat value and the FileIndex. The older schema
// keeps the names in a table of their own.
std::string file_rows_query(bool older_schema, const char* parameter);

// The same rows as COPY writes them, for the job `job_id`: a number the
// tool wrote, since COPY takes no parameters.
std::string file_rows_copy(bool older_schema, std::int64_t job_id);

// Whether File has a Filename column, where the engine has
// information_schema: a row where it has.
std::string filename_column_query(const char* schema_function);

#endif

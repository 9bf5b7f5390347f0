// Rows of b64num-lstat as TAB-separated values or JSON Lines: the
// passed-through columns, then the fields asked for.
#ifndef B64NUM_ROW_FORMATS_H
#define B64NUM_ROW_FORMATS_H

#include "catalog_line.h"
#include "field_list.h"
#include "lstat.h"
#include "output_buffer.h"
#include "time_style.h"

#include <cstddef>

// Writes passed-through columns with their control characters escaped (see
// terminal_text.h), TABs between columns kept.
void write_columns_for_terminal(OutputBuffer& out, const char* text, std::size_t length);

// Writes columns escaped on a terminal, and as the client printed them into
// a pipe, where scripts and sort need that form.
void write_columns(OutputBuffer& out, const char* text, std::size_t length);

// Writes a line of column names: for the first `pass_through_columns`,
// those that `names` gives (the columns in front of the LStat value on an
// input's header line) and column1, column2, ... where it gives none, then
// the fields' names.
void write_tsv_header(OutputBuffer& out, int pass_through_columns, const PassThrough& names,
                      const FieldSelection& fields);
// The fields of a row: numbers, the type and the mode as letters, and with
// `times` the times as that style shows them (a JSON string then), or as
// seconds since the epoch without it; jobid and jobtime from `origin`. A
// deleted file's record has no fields but its job's: each other column
// says "deleted".
void write_tsv_row(OutputBuffer& out, const PassThrough& columns, const LstatRow& row,
                   const FieldSelection& fields, const TimeStyle* times = nullptr,
                   const RowOrigin& origin = {});
// Unescapes the passed-through columns in place: JSON holds their real bytes,
// and a column that is \N, the clients' NULL, becomes null. A deleted
// file's record has "deleted":true in place of its fields but its job's.
void write_json_row(OutputBuffer& out, const PassThrough& columns, const LstatRow& row,
                    const FieldSelection& fields, const TimeStyle* times = nullptr,
                    const RowOrigin& origin = {});

// The same object without the line feed after it.
void write_json_object(OutputBuffer& out, const PassThrough& columns, const LstatRow& row,
                       const FieldSelection& fields, const TimeStyle* times = nullptr,
                       const RowOrigin& origin = {});

#endif

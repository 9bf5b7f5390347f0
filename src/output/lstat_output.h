// Buffered output of decoded LStat rows as tab-separated values or JSON Lines.
#ifndef B64NUM_LSTAT_OUTPUT_H
#define B64NUM_LSTAT_OUTPUT_H

#include "catalog_line.h"
#include "field_list.h"
#include "lstat.h"

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string_view>

struct OutputBuffer {
    int fd;
    int error;     // errno of the first failed write; once set, output stops
    bool terminal; // passed-through columns get their control characters escaped
    std::size_t used;
    char data[1 << 16];
};

// Writes out everything buffered.
void output_flush(OutputBuffer& out);

void output_bytes_slow(OutputBuffer& out, const char* bytes, std::size_t length);

inline void output_bytes(OutputBuffer& out, const char* bytes, std::size_t length)
{
    if (length <= sizeof out.data - out.used) {
        std::memcpy(out.data + out.used, bytes, length);
        out.used += length;
    } else {
        output_bytes_slow(out, bytes, length);
    }
}

inline void output_char(OutputBuffer& out, char c)
{
    if (out.used == sizeof out.data) {
        output_flush(out);
    }
    out.data[out.used++] = c;
}

inline void output_text(OutputBuffer& out, std::string_view text)
{
    output_bytes(out, text.data(), text.size());
}

// Writes `value` in signed decimal.
void output_number(OutputBuffer& out, std::int64_t value);

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
void write_tsv_row(OutputBuffer& out, const PassThrough& columns, const LstatRow& row,
                   const FieldSelection& fields);
// Unescapes the passed-through columns in place: JSON holds their real bytes,
// and a column that is \N, the clients' NULL, becomes null.
void write_json_row(OutputBuffer& out, const PassThrough& columns, const LstatRow& row,
                    const FieldSelection& fields);

// The same object without the line feed after it.
void write_json_object(OutputBuffer& out, const PassThrough& columns, const LstatRow& row,
                       const FieldSelection& fields);

// What a JSON string does with the bytes from 0x80 up.
enum class HighBytes {
    escaped, // each byte that is not part of well-formed UTF-8 as \udcXX, C1 controls as \u00XX
    raw,     // every one as it is, as ncdu writes names
};

// Writes `text` as a JSON string that keeps every byte: quote, backslash,
// control characters and DEL escaped, and the bytes from 0x80 up as
// `high_bytes` says. Escaped, well-formed UTF-8 stays as it is, and each
// byte that is not part of it becomes the lone low surrogate that Python's
// "surrogateescape" reads back as byte XX; then the string shows nothing raw
// that a terminal would obey.
void write_json_string(OutputBuffer& out, const char* text, std::size_t length,
                       HighBytes high_bytes = HighBytes::escaped);

#endif

// JSON strings that keep every byte of a name, whatever it holds.
#ifndef B64NUM_JSON_TEXT_H
#define B64NUM_JSON_TEXT_H

#include "output_buffer.h"

#include <cstddef>

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

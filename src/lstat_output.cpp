#include "lstat_output.h"

#include <unistd.h>

#include <cerrno>
#include <charconv>
#include <iterator>
#include <limits>

void output_flush(OutputBuffer& out)
{
    const char* pending = out.data;
    std::size_t left = out.used;
    out.used = 0;
    while (left > 0 && out.error == 0) {
        const ssize_t written = write(out.fd, pending, left);
        if (written < 0) {
            if (errno != EINTR) {
                out.error = errno;
            }
        } else if (written == 0) {
            out.error = EIO; // no progress: never spin on a stuck descriptor
        } else {
            pending += written;
            left -= static_cast<std::size_t>(written);
        }
    }
}

void output_bytes_slow(OutputBuffer& out, const char* bytes, std::size_t length)
{
    while (length > 0) {
        if (out.used == sizeof out.data) {
            output_flush(out);
        }
        const std::size_t room = sizeof out.data - out.used;
        const std::size_t part = length < room ? length : room;
        std::memcpy(out.data + out.used, bytes, part);
        out.used += part;
        bytes += part;
        length -= part;
    }
}

namespace {

void write_number(OutputBuffer& out, std::int64_t value)
{
    char digits[std::numeric_limits<std::int64_t>::digits10 + 2]; // 19 digits and a sign
    const auto converted = std::to_chars(std::begin(digits), std::end(digits), value);
    output_bytes(out, digits, static_cast<std::size_t>(converted.ptr - digits));
}

void write_text(OutputBuffer& out, const char* text)
{
    output_bytes(out, text, std::strlen(text));
}

// Length of the well-formed UTF-8 sequence at `text`, or 0 if there is none.
std::size_t utf8_sequence_length(const unsigned char* text, std::size_t available)
{
    const unsigned char lead = text[0];
    std::size_t length = 0;
    unsigned char low = 0x80;
    unsigned char high = 0xBF;
    if (lead >= 0xC2 && lead <= 0xDF) {
        length = 2;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        length = 3;
        low = lead == 0xE0 ? 0xA0 : 0x80;  // no overlong forms
        high = lead == 0xED ? 0x9F : 0xBF; // no surrogates
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        length = 4;
        low = lead == 0xF0 ? 0x90 : 0x80;  // no overlong forms
        high = lead == 0xF4 ? 0x8F : 0xBF; // nothing above U+10FFFF
    } else {
        return 0;
    }
    if (available < length || text[1] < low || text[1] > high) {
        return 0;
    }
    for (std::size_t i = 2; i < length; ++i) {
        if (text[i] < 0x80 || text[i] > 0xBF) {
            return 0;
        }
    }
    return length;
}

void write_unicode_escape(OutputBuffer& out, unsigned code)
{
    static const char hex[] = "0123456789abcdef";
    const char escape[] = {'\\', 'u', '0', '0', hex[(code >> 4) & 0xF], hex[code & 0xF]};
    output_bytes(out, escape, sizeof escape);
}

// Latin-1 code points 0x80-0xFF as two-byte UTF-8.
void write_latin1(OutputBuffer& out, unsigned char byte)
{
    const char encoded[] = {static_cast<char>(0xC0 | (byte >> 6)),
                            static_cast<char>(0x80 | (byte & 0x3F))};
    output_bytes(out, encoded, sizeof encoded);
}

void write_json_field(OutputBuffer& out, const LstatRow& row, int index)
{
    output_char(out, '"');
    write_text(out, lstat_field_names[index]);
    output_bytes(out, "\":", 2);
    if (index < row.count) {
        write_number(out, row.values[index]);
    } else {
        output_bytes(out, "null", 4);
    }
}

} // namespace

void write_json_string(OutputBuffer& out, const char* text, std::size_t length)
{
    const auto* bytes = reinterpret_cast<const unsigned char*>(text);
    output_char(out, '"');
    for (std::size_t i = 0; i < length;) {
        const unsigned char byte = bytes[i];
        if (byte == '"' || byte == '\\') {
            const char escape[] = {'\\', static_cast<char>(byte)};
            output_bytes(out, escape, sizeof escape);
            ++i;
        } else if (byte < 0x20) {
            switch (byte) {
            case '\b':
                output_bytes(out, "\\b", 2);
                break;
            case '\f':
                output_bytes(out, "\\f", 2);
                break;
            case '\n':
                output_bytes(out, "\\n", 2);
                break;
            case '\r':
                output_bytes(out, "\\r", 2);
                break;
            case '\t':
                output_bytes(out, "\\t", 2);
                break;
            default:
                write_unicode_escape(out, byte);
                break;
            }
            ++i;
        } else if (byte < 0x80) {
            output_char(out, static_cast<char>(byte));
            ++i;
        } else if (const std::size_t sequence = utf8_sequence_length(bytes + i, length - i)) {
            output_bytes(out, text + i, sequence);
            i += sequence;
        } else {
            write_latin1(out, byte);
            ++i;
        }
    }
    output_char(out, '"');
}

void write_tsv_header(OutputBuffer& out, int pass_through_columns, const FieldSelection& fields)
{
    for (int column = 1; column <= pass_through_columns; ++column) {
        write_text(out, "column");
        write_number(out, column);
        output_char(out, '\t');
    }
    for (int i = 0; i < fields.count; ++i) {
        if (i > 0) {
            output_char(out, '\t');
        }
        write_text(out, lstat_field_names[fields.indices[i]]);
    }
    output_char(out, '\n');
}

void write_tsv_row(OutputBuffer& out, const PassThrough& columns, const LstatRow& row,
                   const FieldSelection& fields)
{
    if (columns.present) {
        output_bytes(out, columns.text, columns.length);
        output_char(out, '\t');
    }
    for (int i = 0; i < fields.count; ++i) {
        if (i > 0) {
            output_char(out, '\t');
        }
        const int index = fields.indices[i];
        if (index < row.count) {
            write_number(out, row.values[index]);
        }
    }
    output_char(out, '\n');
}

void write_json_row(OutputBuffer& out, const PassThrough& columns, const LstatRow& row,
                    const FieldSelection& fields)
{
    output_char(out, '{');
    if (columns.present) {
        write_text(out, "\"columns\":[");
        const char* column = columns.text;
        const char* const end = columns.text + columns.length;
        for (;;) {
            const auto* tab = static_cast<const char*>(
                std::memchr(column, '\t', static_cast<std::size_t>(end - column)));
            const char* const column_end = tab != nullptr ? tab : end;
            write_json_string(out, column, static_cast<std::size_t>(column_end - column));
            if (tab == nullptr) {
                break;
            }
            output_char(out, ',');
            column = tab + 1;
        }
        output_char(out, ']');
    }
    for (int i = 0; i < fields.count; ++i) {
        if (i > 0 || columns.present) {
            output_char(out, ',');
        }
        write_json_field(out, row, fields.indices[i]);
    }
    output_bytes(out, "}\n", 2);
}

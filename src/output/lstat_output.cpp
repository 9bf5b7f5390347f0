#include "lstat_output.h"

#include "client_escapes.h"
#include "terminal_text.h"
#include "utf8.h"

#include <unistd.h>

#include <array>
#include <cerrno>
#include <charconv>
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

// "00" to "99".
constexpr char digit_pairs[] =
    "00010203040506070809101112131415161718192021222324252627282930313233343536373839"
    "40414243444546474849505152535455565758596061626364656667686970717273747576777879"
    "8081828384858687888990919293949596979899";

// Exactly eight digits of `value` (below 10^8), leading zeros included.
void eight_digits(char* at, std::uint32_t value)
{
    const auto pair = [](std::uint32_t two_digits) {
        return digit_pairs + 2 * std::size_t{two_digits};
    };
    const std::uint32_t high = value / 10000;
    const std::uint32_t low = value % 10000;
    std::memcpy(at, pair(high / 100), 2);
    std::memcpy(at + 2, pair(high % 100), 2);
    std::memcpy(at + 4, pair(low / 100), 2);
    std::memcpy(at + 6, pair(low % 100), 2);
}

// 0, 10, 100, ..., 10^19: 0 rather than 1 first, so that 0 has one digit.
constexpr std::array<std::uint64_t, 20> make_digit_thresholds()
{
    std::array<std::uint64_t, 20> powers{};
    std::uint64_t power = 1;
    for (std::size_t i = 1; i < powers.size(); ++i) {
        power *= 10;
        powers[i] = power;
    }
    return powers;
}
constexpr auto digit_thresholds = make_digit_thresholds();

// Number of decimal digits of `value`, at least 1, without a branch: the bit
// length times log10(2) is the count or one more than it.
int decimal_digits(std::uint64_t value)
{
    const auto bits = static_cast<std::size_t>(64 - __builtin_clzll(value | 1));
    const std::size_t guess = (bits * 1233) >> 12; // 1233 / 4096 is just above log10(2)
    return static_cast<int>(guess + 1 - (value < digit_thresholds[guess] ? 1 : 0));
}

// Writes `value` in decimal straight into the buffer. The numbers of a
// catalog row vary in length, and std::to_chars branches on the length, so
// that most of its time went to mispredicted branches. Here every number
// below 10^16 takes the same steps: sixteen digits, leading zeros and all,
// then the significant ones copied out as one block.
[[gnu::always_inline]] inline void write_number(OutputBuffer& out, std::int64_t value)
{
    constexpr std::size_t longest = std::numeric_limits<std::int64_t>::digits10 + 2; // and a sign
    if (sizeof out.data - out.used < longest) {
        output_flush(out);
    }
    char* at = out.data + out.used;
    // The sign without a branch: a quarter of the values of some columns are
    // negative, in no order that a branch predictor could learn.
    const std::uint64_t bits = static_cast<std::uint64_t>(value);
    const std::uint64_t negative = bits >> 63;
    const std::uint64_t magnitude = (bits ^ (0 - negative)) + negative;
    *at = '-';
    at += negative;
    constexpr std::uint64_t sixteen_digits = 10000000000000000;
    if (magnitude < 10) { // rdev, flags and the like: mostly 0
        *at++ = static_cast<char>('0' + magnitude);
    } else if (magnitude < sixteen_digits) {
        char digits[32] = {}; // the block copied out may reach past the sixteen
        eight_digits(digits, static_cast<std::uint32_t>(magnitude / 100000000));
        eight_digits(digits + 8, static_cast<std::uint32_t>(magnitude % 100000000));
        const int length = decimal_digits(magnitude);
        std::memcpy(at, digits + 16 - length,
                    16); // the bytes after the number are written over later
        at += length;
    } else {
        at = std::to_chars(at, out.data + sizeof out.data, magnitude).ptr;
    }
    out.used = static_cast<std::size_t>(at - out.data);
}

void write_unicode_escape(OutputBuffer& out, unsigned code)
{
    static const char hex[] = "0123456789abcdef";
    const char escape[] = {'\\',
                           'u',
                           hex[(code >> 12) & 0xF],
                           hex[(code >> 8) & 0xF],
                           hex[(code >> 4) & 0xF],
                           hex[code & 0xF]};
    output_bytes(out, escape, sizeof escape);
}

// A byte that is not part of well-formed UTF-8, as Python's surrogateescape
// error handler reads it.
constexpr unsigned escaped_byte_base = 0xDC00;

void write_json_field(OutputBuffer& out, const LstatRow& row, int index)
{
    output_char(out, '"');
    output_text(out, lstat_field_names[index]);
    output_bytes(out, "\":", 2);
    if (index < row.count) {
        write_number(out, row.values[index]);
    } else {
        output_bytes(out, "null", 4);
    }
}

} // namespace

void output_number(OutputBuffer& out, std::int64_t value)
{
    write_number(out, value);
}

void write_json_string(OutputBuffer& out, const char* text, std::size_t length,
                       HighBytes high_bytes)
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
        } else if (byte == 0x7F) {
            write_unicode_escape(out, byte);
            ++i;
        } else if (byte < 0x80 || high_bytes == HighBytes::raw) {
            output_char(out, static_cast<char>(byte));
            ++i;
        } else if (const std::size_t sequence = utf8_sequence_length(bytes + i, length - i)) {
            if (is_utf8_c1_control(bytes + i, sequence)) {
                write_unicode_escape(out, bytes[i + 1]); // U+0080 to U+009F
            } else {
                output_bytes(out, text + i, sequence);
            }
            i += sequence;
        } else {
            write_unicode_escape(out, escaped_byte_base | byte);
            ++i;
        }
    }
    output_char(out, '"');
}

void write_columns_for_terminal(OutputBuffer& out, const char* text, std::size_t length)
{
    escape_for_terminal(text, length, Tabs::keep, [&out](const char* bytes, std::size_t part) {
        output_bytes(out, bytes, part);
    });
}

void write_columns(OutputBuffer& out, const char* text, std::size_t length)
{
    if (out.terminal) {
        write_columns_for_terminal(out, text, length);
    } else {
        output_bytes(out, text, length);
    }
}

void write_tsv_header(OutputBuffer& out, int pass_through_columns, const PassThrough& names,
                      const FieldSelection& fields)
{
    const char* name = names.present ? names.text : nullptr;
    const char* const names_end = names.text + names.length;
    for (int column = 1; column <= pass_through_columns; ++column) {
        if (name != nullptr) {
            const auto* const tab = static_cast<const char*>(
                std::memchr(name, '\t', static_cast<std::size_t>(names_end - name)));
            const char* const end = tab != nullptr ? tab : names_end;
            write_columns(out, name, static_cast<std::size_t>(end - name));
            name = tab != nullptr ? tab + 1 : nullptr;
        } else {
            output_text(out, "column");
            write_number(out, column);
        }
        output_char(out, '\t');
    }
    for (int i = 0; i < fields.count; ++i) {
        if (i > 0) {
            output_char(out, '\t');
        }
        output_text(out, lstat_field_names[fields.indices[i]]);
    }
    output_char(out, '\n');
}

void write_tsv_row(OutputBuffer& out, const PassThrough& columns, const LstatRow& row,
                   const FieldSelection& fields)
{
    if (columns.present) {
        write_columns(out, columns.text, columns.length);
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
    write_json_object(out, columns, row, fields);
    output_char(out, '\n');
}

void write_json_object(OutputBuffer& out, const PassThrough& columns, const LstatRow& row,
                       const FieldSelection& fields)
{
    output_char(out, '{');
    if (columns.present) {
        output_text(out, "\"columns\":[");
        char* column = columns.text;
        char* const end = columns.text + columns.length;
        for (;;) {
            auto* tab = static_cast<char*>(
                std::memchr(column, '\t', static_cast<std::size_t>(end - column)));
            const auto length = static_cast<std::size_t>((tab != nullptr ? tab : end) - column);
            if (is_null_column(column, length)) {
                output_bytes(out, "null", 4);
            } else {
                write_json_string(out, column, unescape_column(column, length));
            }
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
    output_char(out, '}');
}

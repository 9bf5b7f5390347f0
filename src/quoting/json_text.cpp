#include "json_text.h"

#include "utf8.h"

namespace {

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

} // namespace

void write_json_string(OutputBuffer& out, const char* text, std::size_t length,
                       HighBytes high_bytes)
{
    const auto* bytes = reinterpret_cast<const unsigned char*>(text);
    const unsigned char plain_below = high_bytes == HighBytes::raw ? 0xFF : 0x7F;
    output_char(out, '"');
    for (std::size_t i = 0; i < length;) {
        // A run of bytes that stand for themselves, as most of a name does,
        // copied at once.
        std::size_t run = i;
        while (run < length && bytes[run] >= 0x20 && bytes[run] != '"' && bytes[run] != '\\' &&
               bytes[run] != 0x7F && bytes[run] <= plain_below) {
            ++run;
        }
        if (run > i) {
            output_bytes(out, text + i, run - i);
            i = run;
            continue;
        }
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

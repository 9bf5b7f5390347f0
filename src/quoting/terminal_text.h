// Text on its way to a terminal. A file name may hold ESC, BEL and every
// other control character, and a terminal obeys them: a name could set the
// window title or clear the screen. So control characters, and bytes that
// are not UTF-8, are shown as ls -b shows them: \a \b \t \n \v \f \r for
// those that have a letter, three octal digits (\033) for the others.
// Catalog clients write a backslash in a name as \\, so these escapes cannot
// be mistaken for a name's own text.
#ifndef B64NUM_TERMINAL_TEXT_H
#define B64NUM_TERMINAL_TEXT_H

#include "utf8.h"

#include <cstddef>
#include <string>

enum class Tabs { keep, escape };

// True when `byte` may start something that escape_for_terminal escapes.
inline bool may_need_escape(unsigned char byte, Tabs tabs)
{
    return (byte < 0x20 && (byte != '\t' || tabs == Tabs::escape)) || byte >= 0x7F;
}

// Writes the escape of one byte into `escape` and returns its length.
std::size_t byte_escape(unsigned char byte, char (&escape)[4]);

// Calls append(bytes, length) for the pieces of `text` with every byte below
// 0x20 (TAB only with Tabs::escape), DEL, the C1 controls U+0080 to U+009F
// and every byte that is not part of well-formed UTF-8 escaped. Everything
// else, UTF-8 included, passes as it is.
template <typename Append>
void escape_for_terminal(const char* text, std::size_t length, Tabs tabs, Append&& append)
{
    const auto* const bytes = reinterpret_cast<const unsigned char*>(text);
    // Printable ASCII, the common case, in one pass that compilers vectorize:
    // one unsigned compare a byte finds everything below 0x20 or from 0x7F.
    unsigned char unusual = 0;
    for (std::size_t i = 0; i < length; ++i) {
        unusual |= static_cast<unsigned char>(static_cast<unsigned char>(bytes[i] - 0x20) > 0x5E);
    }
    if (unusual == 0) {
        append(text, length);
        return;
    }
    std::size_t plain = 0; // start of the bytes not written yet
    for (std::size_t i = 0; i < length;) {
        if (!may_need_escape(bytes[i], tabs)) {
            ++i;
            continue;
        }
        const std::size_t sequence =
            bytes[i] >= 0x80 ? utf8_sequence_length(bytes + i, length - i) : 0;
        if (sequence > 0 && !is_utf8_c1_control(bytes + i, sequence)) {
            i += sequence;
            continue;
        }
        append(text + plain, i - plain);
        for (const std::size_t end = i + (sequence > 0 ? sequence : 1); i < end; ++i) {
            char escape[4];
            append(escape, byte_escape(bytes[i], escape));
        }
        plain = i;
    }
    append(text + plain, length - plain);
}

// `text` escaped for a message on standard error; TABs are escaped too.
std::string quoted_for_terminal(const std::string& text);

#endif

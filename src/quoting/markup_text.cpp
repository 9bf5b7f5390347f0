#include "markup_text.h"

#include "terminal_text.h"

namespace {

// Calls append() for `text`, a piece that escape_for_terminal passed, with
// the bytes that markup may not hold replaced.
template <typename Append> void escape_markup(const char* text, std::size_t length, Append&& append)
{
    std::size_t plain = 0;
    for (std::size_t i = 0; i < length; ++i) {
        const char* replacement = nullptr;
        std::size_t taken = 1;
        switch (text[i]) {
        case '&':
            replacement = "&amp;";
            break;
        case '<':
            replacement = "&lt;";
            break;
        case '>':
            replacement = "&gt;";
            break;
        case '"':
            replacement = "&quot;";
            break;
        default:
            if (static_cast<unsigned char>(text[i]) == 0xEF && i + 2 < length &&
                static_cast<unsigned char>(text[i + 1]) == 0xBF &&
                (static_cast<unsigned char>(text[i + 2]) & 0xFE) == 0xBE) {
                replacement = static_cast<unsigned char>(text[i + 2]) == 0xBE ? "\\357\\277\\276"
                                                                              : "\\357\\277\\277";
                taken = 3;
            }
            break;
        }
        if (replacement != nullptr) {
            append(text + plain, i - plain);
            append(replacement, std::char_traits<char>::length(replacement));
            i += taken - 1;
            plain = i + 1;
        }
    }
    append(text + plain, length - plain);
}

} // namespace

void write_markup_text(OutputBuffer& out, const char* text, std::size_t length)
{
    escape_for_terminal(text, length, Tabs::escape, [&out](const char* piece, std::size_t size) {
        escape_markup(piece, size,
                      [&out](const char* bytes, std::size_t n) { output_bytes(out, bytes, n); });
    });
}

std::string markup_text(const char* text, std::size_t length)
{
    std::string escaped;
    escape_for_terminal(
        text, length, Tabs::escape, [&escaped](const char* piece, std::size_t size) {
            escape_markup(piece, size, [&escaped](const char* bytes, std::size_t n) {
                escaped.append(bytes, n);
            });
        });
    return escaped;
}

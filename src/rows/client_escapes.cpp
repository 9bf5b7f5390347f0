#include "client_escapes.h"

#include <cstring>

namespace {

// The byte that a backslash and `letter` stand for, or -1 for none.
int escaped_byte(char letter)
{
    switch (letter) {
    case '\\':
        return '\\';
    case 'n':
        return '\n';
    case 'r':
        return '\r';
    case 't':
        return '\t';
    case 'b':
        return '\b';
    case 'f':
        return '\f';
    case 'v':
        return '\v';
    case '0':
        return '\0';
    default:
        return -1;
    }
}

} // namespace

std::size_t unescape_column(char* text, std::size_t length)
{
    auto* const first = static_cast<char*>(std::memchr(text, '\\', length));
    if (first == nullptr) {
        return length;
    }
    const char* const end = text + length;
    char* out = first;
    for (const char* in = first; in < end; ++in) {
        const int byte = *in == '\\' && in + 1 < end ? escaped_byte(in[1]) : -1;
        if (byte >= 0) {
            *out++ = static_cast<char>(byte);
            ++in;
        } else {
            *out++ = *in;
        }
    }
    return static_cast<std::size_t>(out - text);
}

bool is_null_column(const char* text, std::size_t length)
{
    return length == 2 && text[0] == '\\' && text[1] == 'N';
}

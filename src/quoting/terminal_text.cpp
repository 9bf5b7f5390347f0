#include "terminal_text.h"

std::size_t byte_escape(unsigned char byte, char (&escape)[4])
{
    escape[0] = '\\';
    switch (byte) {
    case '\a':
        escape[1] = 'a';
        return 2;
    case '\b':
        escape[1] = 'b';
        return 2;
    case '\t':
        escape[1] = 't';
        return 2;
    case '\n':
        escape[1] = 'n';
        return 2;
    case '\v':
        escape[1] = 'v';
        return 2;
    case '\f':
        escape[1] = 'f';
        return 2;
    case '\r':
        escape[1] = 'r';
        return 2;
    default:
        escape[1] = static_cast<char>('0' + (byte >> 6));
        escape[2] = static_cast<char>('0' + ((byte >> 3) & 7));
        escape[3] = static_cast<char>('0' + (byte & 7));
        return 4;
    }
}

std::string quoted_for_terminal(const std::string& text)
{
    std::string quoted;
    escape_for_terminal(
        text.data(), text.size(), Tabs::escape,
        [&quoted](const char* bytes, std::size_t length) { quoted.append(bytes, length); });
    return quoted;
}

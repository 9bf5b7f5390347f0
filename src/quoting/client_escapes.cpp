#include "client_escapes.h"

#include <algorithm>
#include <cstdint>
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

// Whether any of 8 bytes is a backslash or below 14, past \b \t \n \v \f
// \r: bytes that COPY escapes or that begin an escape, and a few more.
bool may_need_escapes(std::uint64_t bytes)
{
    constexpr std::uint64_t ones = 0x0101010101010101;
    constexpr std::uint64_t highs = 0x8080808080808080;
    const std::uint64_t backslashes = bytes ^ (ones * '\\');
    const std::uint64_t below_14 = (bytes - ones * 14) & ~bytes;
    const std::uint64_t zero_byte = (backslashes - ones) & ~backslashes;
    return ((below_14 | zero_byte) & highs) != 0;
}

} // namespace

void append_copy_escaped(std::string& out, std::string_view real)
{
    // A run of bytes that need no escape at a time: most names are one.
    for (std::size_t at = 0; at < real.size();) {
        std::size_t escaped = at;
        while (escaped < real.size() && !copy_escapes(real[escaped])) {
            ++escaped;
        }
        out.append(real.substr(at, escaped - at));
        if (escaped == real.size()) {
            break;
        }
        out += '\\';
        out += copy_escape_letter(real[escaped]);
        at = escaped + 1;
    }
}

bool to_copy_escapes(std::string_view column, std::string& copy_form)
{
    // Eight bytes at a time, the last eight overlapping those before.
    bool may_need = false;
    if (column.size() >= 8) {
        std::uint64_t bytes = 0;
        for (std::size_t at = 0; at + 8 < column.size() && !may_need; at += 8) {
            std::memcpy(&bytes, column.data() + at, sizeof bytes);
            may_need = may_need_escapes(bytes);
        }
        std::memcpy(&bytes, column.data() + column.size() - 8, sizeof bytes);
        may_need = may_need || may_need_escapes(bytes);
    } else {
        may_need = std::any_of(column.begin(), column.end(), copy_escapes);
    }
    if (!may_need) {
        return false;
    }
    std::string scratch;
    const std::string_view real = real_bytes(column, scratch);
    copy_form.clear();
    append_copy_escaped(copy_form, real);
    return copy_form != column;
}

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

std::string_view real_bytes(std::string_view escaped, std::string& scratch)
{
    if (std::memchr(escaped.data(), '\\', escaped.size()) == nullptr) {
        return escaped;
    }
    scratch.assign(escaped);
    scratch.resize(unescape_column(scratch.data(), scratch.size()));
    return scratch;
}

bool is_null_column(const char* text, std::size_t length)
{
    return length == 2 && text[0] == '\\' && text[1] == 'N';
}

#include "catalog_rows.h"

#include <climits>
#include <cstdint>
#include <cstdio>
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

bool is_lstat_column_name(const char* text, std::size_t length)
{
    static const char name[] = "lstat";
    constexpr std::size_t name_length = sizeof name - 1;
    if (length < name_length || (length > name_length && text[length - name_length - 1] != '.')) {
        return false;
    }
    const char* const word = text + length - name_length;
    for (std::size_t i = 0; i < name_length; ++i) {
        if ((word[i] | 0x20) != name[i]) { // ASCII letters in either case
            return false;
        }
    }
    return true;
}

namespace {

const char client_hint[] = "Query with COPY ... TO STDOUT or mysql -B";

// The TABs in front of the LStat value, and whether a NUL byte hides there.
// One pass that compilers can vectorize, instead of a library call per TAB.
struct Prefix {
    int tabs;
    bool has_nul;
};

Prefix scan_prefix(const char* line, const char* lstat)
{
    const auto* const bytes = reinterpret_cast<const std::uint8_t*>(line);
    const auto length = static_cast<std::size_t>(lstat - line);
    std::size_t tabs = 0;
    std::uint8_t nul = 0;
    for (std::size_t i = 0; i < length; ++i) {
        tabs += bytes[i] == '\t' ? 1 : 0;
        nul |= static_cast<std::uint8_t>(bytes[i] == '\0');
    }
    return {tabs > INT_MAX ? INT_MAX : static_cast<int>(tabs), nul != 0};
}

// 1 for a byte that is neither a digit of the alphabet, nor the minus sign,
// nor the space between numerals. Written as arithmetic on bytes, and in
// this shape, so that compilers check sixteen bytes at a time.
inline std::uint8_t is_stray(std::uint8_t c)
{
    const auto letter = static_cast<std::uint8_t>((c | 0x20) - 'a'); // a-z, A-Z
    const auto plus_to_nine = static_cast<std::uint8_t>(c - '+');    // + , - . / 0-9
    const bool not_sign_or_digit = plus_to_nine >= 15 || c == ',' || c == '.';
    const bool not_letter = letter >= 26;
    const bool not_space = c != ' ';
    return static_cast<std::uint8_t>(static_cast<unsigned>(not_letter) &
                                     static_cast<unsigned>(not_sign_or_digit) &
                                     static_cast<unsigned>(not_space));
}

// The first byte of [text, end) that no numeral holds, or end.
const char* find_stray_byte(const char* text, const char* end)
{
    const auto* const bytes = reinterpret_cast<const std::uint8_t*>(text);
    const auto length = static_cast<std::size_t>(end - text);
    std::uint8_t stray = 0;
    for (std::size_t i = 0; i < length; ++i) {
        stray |= is_stray(bytes[i]);
    }
    std::size_t i = 0;
    while (stray != 0 && is_stray(bytes[i]) == 0) {
        ++i;
    }
    return stray != 0 ? text + i : end;
}

std::string column_count(int columns)
{
    return std::to_string(columns) + (columns == 1 ? " column" : " columns");
}

std::string byte_name(unsigned char byte)
{
    char name[16];
    if (byte > ' ' && byte < 0x7F) {
        (void)std::snprintf(name, sizeof name, "'%c'", byte);
    } else {
        (void)std::snprintf(name, sizeof name, "byte 0x%02X", byte);
    }
    return name;
}

} // namespace

int count_columns(const char* line, const char* lstat)
{
    return scan_prefix(line, lstat).tabs + 1;
}

bool is_whole_row(const char* line, std::size_t length, const char* lstat, int numerals)
{
    const char* const end = line + length;
    return numerals >= fewest_in_a_value && find_stray_byte(lstat, end) == end &&
           !scan_prefix(line, lstat).has_nul;
}

bool check_row(RowShape& shape, unsigned long number, const char* line, std::size_t length,
               const char* lstat, std::string& reason)
{
    if (length == 0 && shape.columns_owed == 0) {
        return true;
    }
    const char* const end = line + length;
    const char* const stray = find_stray_byte(lstat, end);
    const Prefix prefix = scan_prefix(line, lstat);
    if (prefix.has_nul || (stray != end && *stray == '\0')) {
        reason = "line holds a NUL byte; skipped";
        return false;
    }
    if (is_lstat_column_name(lstat, static_cast<std::size_t>(end - lstat))) {
        reason = "a header line, but not at the top of the input; outputs of several queries "
                 "run together?";
        return false;
    }
    const int columns = prefix.tabs + 1;
    if (shape.first_line == 0) {
        shape.first_line = number;
        shape.columns = columns;
    }
    // A line feed in a file name cuts its row in two (or more): the first
    // piece lacks columns and the next lines bring the rest.
    if (shape.columns_owed > 0) {
        if (columns - 1 <= shape.columns_owed) {
            shape.columns_owed -= columns - 1;
            reason = "continues the row cut short on line " + std::to_string(shape.cut_line) +
                     "; a file name holding a line feed? " + client_hint;
            return false;
        }
        shape.columns_owed = 0;
    }
    if (columns != shape.columns) {
        if (columns < shape.columns) {
            shape.cut_line = number;
            shape.columns_owed = shape.columns - columns;
        }
        reason = column_count(columns) + ", but line " + std::to_string(shape.first_line) +
                 " has " + std::to_string(shape.columns) +
                 "; a file name holding a line feed or TAB? " + client_hint;
        return false;
    }
    if (stray != end) {
        const auto lstat_length = static_cast<std::size_t>(end - lstat);
        if (is_null_column(lstat, lstat_length)) {
            reason = "the LStat value is NULL";
        } else if (std::memchr(lstat, '|', lstat_length) != nullptr) {
            reason = "the line holds '|', the column separator of psql -A: query with "
                     "psql -At -F $'\\t', or with COPY ... TO STDOUT";
        } else {
            reason = "the LStat value holds " + byte_name(static_cast<unsigned char>(*stray)) +
                     ", which no base-64 numeral does; is LStat the last column? " + client_hint;
        }
        return false;
    }
    return true;
}

bool check_numerals(RowShape& shape, int numerals, std::string& reason)
{
    if (shape.numerals < 0) {
        shape.numerals = numerals;
    }
    if (shape.numerals >= fewest_in_a_value && numerals < fewest_in_a_value) {
        reason = std::to_string(numerals) + (numerals == 1 ? " numeral" : " numerals") +
                 ", but line " + std::to_string(shape.first_line) + " has " +
                 std::to_string(shape.numerals) + "; a file name holding a line feed or TAB? " +
                 client_hint;
        return false;
    }
    return true;
}

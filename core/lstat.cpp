#include "lstat.h"

#include "base64.h"

#include <cstdint>
#include <cstdio>
#include <cstring>

const char* const lstat_field_names[lstat_field_count] = {
    "dev",     "ino",    "mode",  "nlink", "uid",   "gid",    "rdev",  "size",
    "blksize", "blocks", "atime", "mtime", "ctime", "linkfi", "flags", "stream",
};

namespace {

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

// The offset of the first of the `length` bytes at `text` that no numeral
// holds, or `length`. The whole text is checked in the vectorized loop
// before the first one is looked for.
std::size_t find_stray_byte(const char* text, std::size_t length)
{
    const auto* const bytes = reinterpret_cast<const std::uint8_t*>(text);
    std::uint8_t stray = 0;
    for (std::size_t i = 0; i < length; ++i) {
        stray |= is_stray(bytes[i]);
    }
    std::size_t i = 0;
    while (stray != 0 && is_stray(bytes[i]) == 0) {
        ++i;
    }
    return stray != 0 ? i : length;
}

// A digit's value, or not_a_digit for every other byte.
constexpr std::uint8_t not_a_digit = 64;

struct ByteValues {
    std::uint8_t values[256];
};

constexpr ByteValues make_byte_values()
{
    ByteValues table{};
    for (std::uint8_t& value : table.values) {
        // std::fill is constexpr only from C++20.
        // cppcheck-suppress useStlAlgorithm
        value = not_a_digit;
    }
    constexpr char digits[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
    for (std::uint8_t digit = 0; digit < 64; ++digit) {
        table.values[static_cast<unsigned char>(digits[digit])] = digit;
    }
    return table;
}

constexpr ByteValues byte_values = make_byte_values();

} // namespace

LstatCheck read_lstat_value(const char* begin, const char* end, LstatRow& row)
{
    row.count = 0;
    row.has_overflow = false;
    row.wrapped = 0;
    const auto length = static_cast<std::size_t>(end - begin);
    if (begin == end) {
        return {LstatFault::too_few_numerals, 0};
    }
    // A numeral ends at a byte that is no digit, which must be the space
    // before the next one. Anything else stops the reading, and only then
    // is the whole text looked over for a stray byte, which is reported
    // first wherever it stands.
    int count = 0;
    for (const char* at = begin;;) {
        const bool negative = at != end && *at == '-';
        const char* const digits = at + (negative ? 1 : 0);
        std::uint64_t accumulator = 0;
        for (at = digits; at != end; ++at) {
            const std::uint8_t digit = byte_values.values[static_cast<unsigned char>(*at)];
            if (digit == not_a_digit) {
                break;
            }
            accumulator = accumulator << 6 | digit;
        }
        if (at == digits || (at != end && *at != ' ')) {
            const std::size_t stray = find_stray_byte(begin, length);
            if (stray != length) {
                row.count = 0;
                return {LstatFault::stray_byte, stray};
            }
            // No digit (two spaces, a space at either end, a lone '-'), or a
            // '-' after digits: the byte that is out of place.
            const char* const misplaced = at != end ? at : at - 1;
            return {LstatFault::misplaced_byte, static_cast<std::size_t>(misplaced - begin)};
        }
        if (count < lstat_field_count) {
            // Ten digits hold 60 bits, which always fit: only a longer
            // numeral is read again, by the decoder that notes lost bits.
            bool fits = true;
            if (at - digits > 10) {
                std::int64_t value = 0;
                from_base64_checked(&value, &fits, digits - (negative ? 1 : 0), at);
            }
            row.values[count] = from_twos_complement(negative ? 0 - accumulator : accumulator);
            row.wrapped |= (fits ? 0U : 1U) << count;
            row.count = ++count;
        } else {
            row.has_overflow = true;
        }
        if (at == end) {
            break;
        }
        ++at; // the space
    }
    if (row.count < fewest_in_a_value) {
        return {LstatFault::too_few_numerals, length};
    }
    if (row.wrapped != 0) {
        return {LstatFault::wrapped_numeral, length};
    }
    return {LstatFault::none, length};
}

void list_field_names(char* text, std::size_t size, const char* separator)
{
    std::size_t used = 0;
    for (int index = 0; index < lstat_field_count && used < size; ++index) {
        const int written = std::snprintf(text + used, size - used, "%s%s",
                                          index > 0 ? separator : "", lstat_field_names[index]);
        used += written > 0 ? static_cast<std::size_t>(written) : 0;
    }
}

int lstat_field_index(const char* name, std::size_t length)
{
    for (int index = 0; index < lstat_field_count; ++index) {
        const char* const field = lstat_field_names[index];
        if (std::strlen(field) == length && std::memcmp(field, name, length) == 0) {
            return index;
        }
    }
    int position = 0;
    for (std::size_t i = 0; i < length; ++i) {
        if (name[i] < '0' || name[i] > '9' || position > lstat_field_count) {
            return -1;
        }
        position = position * 10 + (name[i] - '0');
    }
    return length > 0 && position >= 1 && position <= lstat_field_count ? position - 1 : -1;
}

#include "lstat.h"

#include "base64.h"

#include <cstdint>
#include <cstdio>
#include <cstring>

const char* const lstat_field_names[lstat_field_count] = {
    "dev",     "ino",    "mode",  "nlink", "uid",   "gid",    "rdev",  "size",
    "blksize", "blocks", "atime", "mtime", "ctime", "linkfi", "flags", "stream",
};

void decode_lstat(const char* text, LstatRow& row)
{
    decode_lstat(text, text + std::strlen(text), row);
}

namespace {

// The first byte at or after `text` that is not a space; a NUL counts as the
// end, as it does in a NUL-terminated text.
const char* skip_spaces(const char* text, const char* end)
{
    while (text != end && *text == ' ') {
        ++text;
    }
    return text != end && *text == '\0' ? end : text;
}

} // namespace

void decode_lstat(const char* begin, const char* end, LstatRow& row)
{
    row.count = 0;
    row.has_overflow = false;
    row.wrapped = 0;
    for (const char* at = skip_spaces(begin, end); at != end; at = skip_spaces(at, end)) {
        if (row.count == lstat_field_count) {
            row.has_overflow = true;
            return;
        }
        bool fits = false;
        at = from_base64_checked(&row.values[row.count], &fits, at, end);
        row.wrapped |= (fits ? 0U : 1U) << row.count;
        ++row.count;
    }
}

namespace {

#if defined(__BYTE_ORDER__) && __BYTE_ORDER__ == __ORDER_LITTLE_ENDIAN__ &&                        \
    !defined(B64NUM_PORTABLE)

constexpr std::uint64_t ones = 0x0101010101010101;
constexpr std::uint64_t high_bits = 0x8080808080808080;

// 0x80 in each byte of `word` that equals `byte`, 0 in the others; exact for
// every byte, unlike the usual test for any zero byte.
inline std::uint64_t bytes_equal(std::uint64_t word, unsigned char byte)
{
    const std::uint64_t differences = word ^ (ones * byte);
    return ~(((differences & ~high_bits) + ~high_bits) | differences) & high_bits;
}

// The start of numeral `index` in [at, end), where the text holds numeral
// `last` too (`last` >= `index`), or end: counted and found in one pass.
// Eight bytes at a time, with no branch per numeral: the lengths of
// numerals vary from row to row, and a branch at each one costs more in
// mispredictions than the decoding. A numeral starts at a byte that is not
// a space after one that is (or at the beginning); a NUL ends the text.
// Words are read little-endian: byte i of the text is byte i of the word.
const char* find_numeral(const char* at, const char* end, int index, int last)
{
    std::uint64_t space_before = high_bits & 0xFF;         // the byte before `at` counts as a space
    const auto wanted = static_cast<std::uint64_t>(index); // numerals before the one wanted
    const auto needed = static_cast<std::uint64_t>(last);
    const char* found = end;
    std::uint64_t passed = 0;
    while (at < end) {
        std::uint64_t word = ones * ' '; // spaces after the end start no numeral
        if (end - at >= 8) {
            std::memcpy(&word, at, 8);
        } else {
            std::memcpy(&word, at, static_cast<std::size_t>(end - at));
        }
        const std::uint64_t spaces = bytes_equal(word, ' ');
        const std::uint64_t nuls = bytes_equal(word, 0);
        std::uint64_t starts = ~spaces & high_bits & (spaces << 8 | space_before);
        if (nuls != 0) {
            starts &= (nuls & (0 - nuls)) - 1; // only before the first NUL
        }
        // One bit a byte at most: a multiplication counts them, byte by byte
        // (byte i holds the starts in bytes 0 to i, at most 8), without the
        // popcount instruction that x86-64's baseline lacks.
        const std::uint64_t running = passed * ones + (starts >> 7) * ones;
        if (found == end && (running >> 56) > wanted) {
            // The first byte whose running count exceeds `wanted`.
            const std::uint64_t beyond = (running + ones * (127 - wanted)) & high_bits;
            found = at + __builtin_ctzll(beyond) / 8;
        }
        if ((running >> 56) > needed) {
            return found;
        }
        if (nuls != 0) {
            return end;
        }
        passed = running >> 56;
        space_before = spaces >> 56;
        at += 8;
    }
    return end;
}

#else

// The start of numeral `index` in [at, end), where the text holds numeral
// `last` too, or end, a byte at a time, for any byte order: a numeral starts
// at a byte that is not a space after one that is (or at the beginning); a
// NUL ends the text.
const char* find_numeral(const char* at, const char* end, int index, int last)
{
    bool after_space = true;
    const char* found = end;
    for (int passed = 0; at != end && *at != '\0'; ++at) {
        if (*at == ' ') {
            after_space = true;
        } else if (after_space) {
            found = passed == index ? at : found;
            if (passed == last) {
                return found;
            }
            ++passed;
            after_space = false;
        }
    }
    return end;
}

#endif

} // namespace

bool decode_lstat_field(const char* begin, const char* end, int index, std::int64_t& value)
{
    if (index < 0 || index >= lstat_field_count) {
        return false;
    }
    // Fewer numerals than an LStat value are no LStat value ('hello world',
    // a path): none of them is a field.
    const int last = index > fewest_in_a_value - 1 ? index : fewest_in_a_value - 1;
    const char* const numeral = find_numeral(begin, end, index, last);
    if (numeral == end) {
        return false;
    }
    bool fits = false;
    from_base64_checked(&value, &fits, numeral, end);
    return fits;
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

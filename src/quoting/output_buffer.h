// The buffered output of every writer of b64num-lstat: bytes, text and
// numbers, written out in blocks to a file descriptor, with the first
// write error kept so that it is reported, not lost.
#ifndef B64NUM_OUTPUT_BUFFER_H
#define B64NUM_OUTPUT_BUFFER_H

#include <array>
#include <charconv>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <limits>
#include <string_view>

struct OutputBuffer {
    int fd;
    int error;     // errno of the first failed write; once set, output stops
    bool terminal; // passed-through columns get their control characters escaped
    std::size_t used;
    char data[1 << 16];
};

// Writes out everything buffered.
void output_flush(OutputBuffer& out);

void output_bytes_slow(OutputBuffer& out, const char* bytes, std::size_t length);

inline void output_bytes(OutputBuffer& out, const char* bytes, std::size_t length)
{
    if (length <= sizeof out.data - out.used) {
        std::memcpy(out.data + out.used, bytes, length);
        out.used += length;
    } else {
        output_bytes_slow(out, bytes, length);
    }
}

inline void output_char(OutputBuffer& out, char c)
{
    if (out.used == sizeof out.data) {
        output_flush(out);
    }
    out.data[out.used++] = c;
}

inline void output_text(OutputBuffer& out, std::string_view text)
{
    output_bytes(out, text.data(), text.size());
}

namespace output_detail {

// "00" to "99".
inline constexpr char digit_pairs[] =
    "00010203040506070809101112131415161718192021222324252627282930313233343536373839"
    "40414243444546474849505152535455565758596061626364656667686970717273747576777879"
    "8081828384858687888990919293949596979899";

// Exactly eight digits of `value` (below 10^8), leading zeros included.
inline void eight_digits(char* at, std::uint32_t value)
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
inline constexpr auto digit_thresholds = make_digit_thresholds();

// Number of decimal digits of `value`, at least 1, without a branch: the bit
// length times log10(2) is the count or one more than it.
inline int decimal_digits(std::uint64_t value)
{
    const auto bits = static_cast<std::size_t>(64 - __builtin_clzll(value | 1));
    const std::size_t guess = (bits * 1233) >> 12; // 1233 / 4096 is just above log10(2)
    return static_cast<int>(guess + 1 - (value < digit_thresholds[guess] ? 1 : 0));
}

} // namespace output_detail

// Writes `value` in signed decimal straight into the buffer. The numbers of
// a catalog row vary in length, and std::to_chars branches on the length, so
// that most of its time went to mispredicted branches. Here every number
// below 10^16 takes the same steps: sixteen digits, leading zeros and all,
// then the significant ones copied out as one block.
[[gnu::always_inline]] inline void output_number(OutputBuffer& out, std::int64_t value)
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
        output_detail::eight_digits(digits, static_cast<std::uint32_t>(magnitude / 100000000));
        output_detail::eight_digits(digits + 8, static_cast<std::uint32_t>(magnitude % 100000000));
        const int length = output_detail::decimal_digits(magnitude);
        std::memcpy(at, digits + 16 - length,
                    16); // the bytes after the number are written over later
        at += length;
    } else {
        at = std::to_chars(at, out.data + sizeof out.data, magnitude).ptr;
    }
    out.used = static_cast<std::size_t>(at - out.data);
}

#endif

#include "base64.h"

#include <algorithm>
#include <climits>
#include <cstddef>
#include <iterator>

const std::int32_t base64_digits[64] = {
    'A', 'B', 'C', 'D', 'E', 'F', 'G', 'H', 'I', 'J', 'K', 'L', 'M', 'N', 'O', 'P',
    'Q', 'R', 'S', 'T', 'U', 'V', 'W', 'X', 'Y', 'Z', 'a', 'b', 'c', 'd', 'e', 'f',
    'g', 'h', 'i', 'j', 'k', 'l', 'm', 'n', 'o', 'p', 'q', 'r', 's', 't', 'u', 'v',
    'w', 'x', 'y', 'z', '0', '1', '2', '3', '4', '5', '6', '7', '8', '9', '+', '/',
};

std::int32_t base64_map[128];
std::int32_t base64_inited;

// Runs once per process: kept out of line so that from_base64 stays small
// enough to be inlined into callers' loops.
[[gnu::noinline, gnu::cold]] void base64_init()
{
    std::fill(std::begin(base64_map), std::end(base64_map), 0);
    for (std::int32_t digit = 0; digit < 64; ++digit) {
        base64_map[base64_digits[digit]] = digit;
    }
    base64_inited = 1;
}

namespace {

// Bytes 0x80-0xFF lie outside the table; like every other character outside
// the alphabet they are worth 0.
inline std::uint64_t digit_value(unsigned char code)
{
    return code < 128 ? static_cast<std::uint64_t>(base64_map[code]) : 0;
}

} // namespace

int from_base64(std::int64_t* value, const char* text)
{
    if (base64_inited == 0) {
        base64_init();
    }

    // Unsigned arithmetic: bits shifted past bit 63 are dropped and the
    // negation wraps, exactly as the numerals are defined to behave.
    std::uint64_t accumulator = 0;
    std::size_t position = 0;
    const bool negative = text[0] == '-';
    // A leading minus sign is read as a digit: its value is 0 and it comes
    // first, so it leaves the accumulator at 0. Not skipping it keeps the
    // scan independent of the sign test, which makes short numerals faster.
    for (auto code = static_cast<unsigned char>(text[position]); code != '\0' && code != ' ';
         code = static_cast<unsigned char>(text[++position])) {
        accumulator = (accumulator << 6) + digit_value(code);
    }
    if (negative) {
        accumulator = 0 - accumulator;
    }

    *value = from_twos_complement(accumulator);
    return position > static_cast<std::size_t>(INT_MAX) ? INT_MAX : static_cast<int>(position);
}

// The numbers of the records that the sort carries: 7-bit groups, the low
// group first, the high bit saying that another follows, so that small
// numbers take a byte or two; signed ones zigzagged first, so that -1 is
// small too. One number has one spelling, so that equal records have equal
// bytes.
#ifndef B64NUM_VARINT_H
#define B64NUM_VARINT_H

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>
#include <string_view>

constexpr std::size_t longest_varint = 10;

// Writes `value` at `at`, which has room for longest_varint bytes; returns
// the end.
inline char* put_varint(char* at, std::uint64_t value)
{
    while (value >= 0x80) {
        *at++ = static_cast<char>(value | 0x80);
        value >>= 7;
    }
    *at++ = static_cast<char>(value);
    return at;
}

inline void put_varint(std::string& out, std::uint64_t value)
{
    char bytes[longest_varint];
    out.append(bytes, static_cast<std::size_t>(put_varint(bytes, value) - bytes));
}

// Reads a number off the front of `in`; a cut one ends with `in`.
inline std::uint64_t get_varint(std::string_view& in)
{
    std::uint64_t value = 0;
    for (unsigned shift = 0; !in.empty() && shift < 64; shift += 7) {
        const auto byte = static_cast<unsigned char>(in.front());
        in.remove_prefix(1);
        value |= std::uint64_t{byte & 0x7FU} << shift;
        if (byte < 0x80) {
            break;
        }
    }
    return value;
}

inline std::uint64_t zigzag(std::int64_t value)
{
    const auto bits = static_cast<std::uint64_t>(value);
    return (bits << 1) ^ (0 - (bits >> 63));
}

inline std::int64_t unzigzag(std::uint64_t value)
{
    const std::uint64_t bits = (value >> 1) ^ (0 - (value & 1));
    std::int64_t signed_bits = 0;
    std::memcpy(&signed_bits, &bits, sizeof bits);
    return signed_bits;
}

#endif

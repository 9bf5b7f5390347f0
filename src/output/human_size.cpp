#include "human_size.h"

#include <algorithm>
#include <charconv>
#include <cstdint>

std::size_t human_size(std::int64_t bytes, char (&text)[24])
{
    constexpr std::uint64_t base = 1024;
    static const char units[] = "KMGTPE";
    if (bytes < static_cast<std::int64_t>(base)) {
        return static_cast<std::size_t>(std::to_chars(text, text + sizeof text, bytes).ptr - text);
    }
    const auto value = static_cast<std::uint64_t>(bytes);
    std::size_t power = 0; // of the unit: units[power] is 1024^(power + 1)
    std::uint64_t unit = base;
    while (value / unit >= base && power + 1 < sizeof units - 1) {
        unit *= base;
        ++power;
    }
    const std::uint64_t whole = value / unit;
    const std::uint64_t rest = value % unit; // below 2^60, so rest * 10 fits
    char* at = text;
    if (whole < 10) {
        const std::uint64_t tenths = whole * 10 + (rest * 10 + unit - 1) / unit;
        if (tenths < 100) {
            at = std::to_chars(at, text + sizeof text, tenths / 10).ptr;
            *at++ = '.';
            *at++ = static_cast<char>('0' + tenths % 10);
        } else {
            at = std::to_chars(at, text + sizeof text, 10).ptr;
        }
    } else {
        const std::uint64_t rounded = whole + (rest != 0 ? 1 : 0);
        if (rounded >= base && power + 1 < sizeof units - 1) {
            ++power; // 1023.x of a unit rounds up to 1.0 of the next
            at = std::to_chars(at, text + sizeof text, 1).ptr;
            *at++ = '.';
            *at++ = '0';
        } else {
            at = std::to_chars(at, text + sizeof text, rounded).ptr;
        }
    }
    *at++ = units[power];
    return static_cast<std::size_t>(at - text);
}

std::size_t human_delta(std::int64_t bytes, char (&text)[24])
{
    if (bytes >= 0) {
        return human_size(bytes, text);
    }
    // The magnitude of the least value does not fit; one less shows the same.
    char magnitude[24];
    const std::size_t length = human_size(bytes == INT64_MIN ? INT64_MAX : -bytes, magnitude);
    text[0] = '-';
    std::copy(magnitude, magnitude + length, text + 1);
    return length + 1;
}

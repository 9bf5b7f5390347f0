// Properties that every decoded numeral must have, stated from the definition
// of a base-64 numeral rather than from the decoder's loop. Shared by the
// exhaustive test and the fuzzer.
#ifndef B64NUM_NUMERAL_PROPERTIES_H
#define B64NUM_NUMERAL_PROPERTIES_H

#include "base64.h"

#include <cstdint>
#include <cstring>
#include <string>

namespace numeral_properties {

inline std::uint64_t bits_of(std::int64_t value)
{
    return static_cast<std::uint64_t>(value);
}

inline std::uint64_t digit_value(char c)
{
    static const char alphabet[] =
        "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
    const char* found = c == '\0' ? nullptr : std::strchr(alphabet, c);
    return found == nullptr ? 0 : static_cast<std::uint64_t>(found - alphabet);
}

struct Decoded {
    std::int64_t value;
    int count;
};

inline Decoded decode(const std::string& text)
{
    Decoded result{INT64_C(0x5A5A5A5A5A5A5A5A), -1};
    result.count = from_base64(&result.value, text.c_str());
    return result;
}

// Checks `text` (read up to its first NUL, as the decoder reads it). Returns
// an empty string when every property holds, otherwise what failed.
inline std::string violation(const std::string& text)
{
    const Decoded whole = decode(text);
    const char* const chars = text.c_str();
    const bool negative = chars[0] == '-';
    const std::size_t start = negative ? 1 : 0;
    const std::size_t end = start + std::strcspn(chars + start, " ");
    if (whole.count < 0 || static_cast<std::size_t>(whole.count) != end) {
        return "count is not the index of the first NUL or space";
    }

    // The entry point over [begin, end) agrees, on the whole text and on all
    // of it but the last byte, NULs inside included.
    const std::size_t sizes[] = {text.size(), text.empty() ? 0 : text.size() - 1};
    for (const std::size_t size : sizes) {
        std::int64_t value = 0;
        const char* const stop = from_base64_range(&value, text.data(), text.data() + size);
        const Decoded terminated = decode(text.substr(0, size));
        if (value != terminated.value || stop - text.data() != terminated.count) {
            return "from_base64_range and from_base64 differ";
        }
    }

    const std::string numeral = text.substr(0, end);
    const Decoded cut = decode(numeral);
    if (cut.value != whole.value || cut.count != whole.count) {
        return "the text cut at the count decodes differently";
    }

    // The digits after a leading minus sign read as a numeral of their own;
    // a second minus sign there is a plain digit 0, like 'A'.
    std::string digits = numeral.substr(start);
    if (!digits.empty() && digits[0] == '-') {
        digits[0] = 'A';
    }
    const Decoded unsigned_part = decode(digits);
    if (negative && bits_of(whole.value) != 0 - bits_of(unsigned_part.value)) {
        return "a leading minus sign does not negate the rest";
    }

    if (!digits.empty()) {
        const Decoded shorter = decode(digits.substr(0, digits.size() - 1));
        const std::uint64_t expected = bits_of(shorter.value) * 64 + digit_value(digits.back());
        if (bits_of(unsigned_part.value) != expected) {
            return "one more digit does not give 64 times the value plus the digit";
        }
    }
    return {};
}

} // namespace numeral_properties

#endif

// Writes numbers as base-64 numerals from the definition, so that tests can
// build their inputs from known values instead of from the decoder.
#ifndef B64NUM_TESTS_BASE64_ENCODER_H
#define B64NUM_TESTS_BASE64_ENCODER_H

#include <cstdint>
#include <string>

// The base-64 digits of `bits`, most significant first.
inline std::string encode_base64(std::uint64_t bits)
{
    static const char alphabet[] =
        "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
    std::string reversed;
    do {
        reversed += alphabet[bits % 64];
        bits /= 64;
    } while (bits != 0);
    return {reversed.rbegin(), reversed.rend()};
}

// `value` as an LStat value holds it: a negative one as '-' and the digits
// of its magnitude, never as a numeral whose value wraps.
inline std::string encode_lstat_numeral(std::int64_t value)
{
    const auto bits = static_cast<std::uint64_t>(value);
    return value < 0 ? "-" + encode_base64(0 - bits) : encode_base64(bits);
}

#endif

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

#endif

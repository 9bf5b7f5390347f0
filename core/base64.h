// Decoder for base-64 numerals: positional numbers in base 64 written with the
// digits A-Z a-z 0-9 + / (values 0 to 63), most significant digit first, as
// Bacula keeps them in the LStat column of its catalog.
#ifndef B64NUM_BASE64_H
#define B64NUM_BASE64_H

#include <cstdint>
#include <cstring>

// The character of each digit value: base64_digits[i] is the code of digit i.
extern const std::int32_t base64_digits[64];

// Digit value by character code; 0 for every code outside the alphabet.
// Filled by base64_init().
extern std::int32_t base64_map[128];

// 0 until base64_init() has filled base64_map, 1 afterwards.
extern std::int32_t base64_inited;

// Builds base64_map from base64_digits and sets base64_inited. Calling it again
// rebuilds the same table.
void base64_init();

// Decodes the numeral at the start of the NUL-terminated `text` into *value.
// An optional leading '-' negates the result. Decoding stops at the first NUL
// or space; any other character is a digit, worth 0 when it is outside the
// alphabet. Values wrap modulo 2^64, so up to ten digits are exact and longer
// numerals keep their low 64 bits, read as two's complement.
// Returns the number of characters consumed (the index of the NUL or space
// that ended the numeral), saturated at INT_MAX for texts longer than that.
int from_base64(std::int64_t* value, const char* text);

// `bits` read as a two's complement number, without the conversion that
// C++17 leaves to the implementation: numerals wrap modulo 2^64, and so do
// sums and differences of the values they hold.
constexpr std::int64_t from_twos_complement(std::uint64_t bits)
{
    return bits <= static_cast<std::uint64_t>(INT64_MAX) ? static_cast<std::int64_t>(bits)
                                                         : -static_cast<std::int64_t>(~bits) - 1;
}

namespace base64_detail {

// The digit value of every byte, 0 outside the alphabet: base64_map's
// contents, fixed when the program is built, so that nothing is written
// when decoding starts.
struct DigitTable {
    std::uint8_t values[256];
};

constexpr DigitTable make_digit_table()
{
    constexpr char digits[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
    DigitTable table{};
    for (std::uint8_t digit = 0; digit < 64; ++digit) {
        table.values[static_cast<unsigned char>(digits[digit])] = digit;
    }
    return table;
}

inline constexpr DigitTable digit_table = make_digit_table();

} // namespace base64_detail

// Decodes the numeral at `begin` exactly as from_base64 decodes the same
// bytes NUL-terminated, reading none at or past `end`: it stops at the first
// space or NUL or at `end`, and returns where it stopped. It needs no
// terminating NUL, and reads a table built at compile time instead of
// base64_map, so that threads may call it at once, as database servers do.
// Sets *fits to whether the value is the numeral's own, not wrapped: at most
// 2^63 - 1, or 2^63 after a leading minus sign. No encoder writes a longer
// one, since a 64-bit field past 2^63 - 1 is written negative.
// Inline, so that engines' modules fold it into their loops.
inline const char* from_base64_checked(std::int64_t* value, bool* fits, const char* begin,
                                       const char* end)
{
    // Unsigned arithmetic wraps as numerals are defined to; as in
    // from_base64, a leading minus sign is a digit worth 0.
    std::uint64_t accumulator = 0;
    std::uint64_t lost = 0; // the bits that shifts pushed out
    const char* at = begin;
    for (; at != end && *at != ' ' && *at != '\0'; ++at) {
        lost |= accumulator >> 58;
        accumulator =
            (accumulator << 6) + base64_detail::digit_table.values[static_cast<unsigned char>(*at)];
    }
    const bool negative = begin != end && *begin == '-';
    *fits =
        lost == 0 && accumulator <= static_cast<std::uint64_t>(INT64_MAX) + (negative ? 1U : 0U);
    if (negative) {
        accumulator = 0 - accumulator;
    }
    *value = from_twos_complement(accumulator);
    return at;
}

// The same, where whether the value wrapped does not matter: b64num's own
// decoding. The test of fitting folds away where this is inlined.
inline const char* from_base64_range(std::int64_t* value, const char* begin, const char* end)
{
    bool fits = false;
    return from_base64_checked(value, &fits, begin, end);
}

// The numeral that starts the text [begin, end), as b64num prints it for
// an argument of these bytes, for the engines' b64num(); false for bytes
// that hold a NUL, which no argument can: text in another character set,
// such as UTF-16, or binary data, whose first numeral would be a wrong one.
inline bool read_numeral_text(std::int64_t* value, const char* begin, const char* end)
{
    if (begin != end &&
        std::memchr(begin, '\0', static_cast<std::size_t>(end - begin)) != nullptr) {
        return false;
    }
    from_base64_range(value, begin, end);
    return true;
}

#endif

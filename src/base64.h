// Decoder for base-64 numerals: positional numbers in base 64 written with the
// digits A-Z a-z 0-9 + / (values 0 to 63), most significant digit first, as
// Bacula keeps them in the LStat column of its catalog.
#ifndef B64NUM_BASE64_H
#define B64NUM_BASE64_H

#include <cstdint>

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

#endif

// Well-formed UTF-8, as RFC 3629 defines it: no overlong forms, no
// surrogates, nothing above U+10FFFF.
#ifndef B64NUM_UTF8_H
#define B64NUM_UTF8_H

#include <cstddef>

// Length of the well-formed UTF-8 sequence of two to four bytes at `text`,
// or 0 if there is none there (an ASCII byte included).
inline std::size_t utf8_sequence_length(const unsigned char* text, std::size_t available)
{
    const unsigned char lead = text[0];
    std::size_t length = 0;
    unsigned char low = 0x80;
    unsigned char high = 0xBF;
    if (lead >= 0xC2 && lead <= 0xDF) {
        length = 2;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        length = 3;
        low = lead == 0xE0 ? 0xA0 : 0x80;  // no overlong forms
        high = lead == 0xED ? 0x9F : 0xBF; // no surrogates
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        length = 4;
        low = lead == 0xF0 ? 0x90 : 0x80;  // no overlong forms
        high = lead == 0xF4 ? 0x8F : 0xBF; // nothing above U+10FFFF
    } else {
        return 0;
    }
    if (available < length || text[1] < low || text[1] > high) {
        return 0;
    }
    for (std::size_t i = 2; i < length; ++i) {
        if (text[i] < 0x80 || text[i] > 0xBF) {
            return 0;
        }
    }
    return length;
}

// True for the two-byte sequence of a C1 control character, U+0080 to
// U+009F, which some terminals obey as they obey ESC.
inline bool is_utf8_c1_control(const unsigned char* sequence, std::size_t length)
{
    return length == 2 && sequence[0] == 0xC2 && sequence[1] < 0xA0;
}

#endif

// LStat values written with the tests' encoder from the attributes they
// hold, for tests that decode them.
#ifndef B64NUM_TESTS_LSTAT_VALUES_H
#define B64NUM_TESTS_LSTAT_VALUES_H

#include "base64_encoder.h"

#include <cstdint>
#include <string>
#include <vector>

using Values = std::vector<std::int64_t>;

// The attributes of one regular file, in LStat order.
inline const Values file_attributes = {2049,       1321729, 0100644, 1,    1000,       1000,
                                       0,          1048576, 4096,    2048, 1765432100, 1765400000,
                                       1765400000, 0,       0,       2};

inline std::string lstat_text(const Values& values, const std::string& separator = " ")
{
    std::string text;
    for (const std::int64_t value : values) {
        text += (text.empty() ? "" : separator) + encode_lstat_numeral(value);
    }
    return text;
}

// The first `count` of the file's attributes.
inline Values first_attributes(std::size_t count)
{
    return {file_attributes.begin(), file_attributes.begin() + static_cast<long>(count)};
}

#endif

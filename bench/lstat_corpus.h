// Generated LStat-like rows: the attributes of files as a backup catalog
// holds them, for benchmarks.
#ifndef B64NUM_LSTAT_CORPUS_H
#define B64NUM_LSTAT_CORPUS_H

#include "base64_encoder.h"

#include <cstdint>
#include <random>
#include <string>
#include <vector>

namespace lstat_corpus {

// The attributes of one file, in LStat order.
inline std::vector<std::int64_t> lstat_row(std::mt19937_64& random)
{
    auto pick = [&](std::uint64_t low, std::uint64_t high) {
        return static_cast<std::int64_t>(low + random() % (high - low + 1));
    };
    const bool directory = random() % 8 == 0;
    // Sizes spread evenly over every power of two from bytes to terabytes.
    const std::int64_t size = directory ? 4096 : pick(0, (std::uint64_t{1} << pick(0, 42)) - 1);
    // Network and overlay file systems report 64-bit hashed inode numbers.
    const std::int64_t inode = random() % 10 == 0 ? pick(std::uint64_t{1} << 60, INT64_MAX)
                                                  : pick(2, std::uint64_t{1} << 26);
    const std::int64_t changed = pick(1300000000, 1800000000);
    return {
        pick(2049, 2070),                     // dev
        inode,                                // ino
        directory ? 040755 : 0100644,         // mode
        directory ? pick(2, 40) : pick(1, 2), // nlink
        pick(0, 1) * pick(1000, 1010),        // uid
        pick(0, 1) * pick(100, 1010),         // gid
        0,                                    // rdev
        size,                                 // size
        4096,                                 // blksize
        (size + 511) / 512,                   // blocks
        changed + pick(0, 90000000),          // atime
        changed - pick(0, 100000),            // mtime
        changed,                              // ctime
        0,                                    // linkfi
        0,                                    // flags
        pick(0, 2),                           // stream
    };
}

// Sixteen values of 1 to 40 random bits, a quarter of them negative: most
// numerals are long, and negative ones start with '-'.
inline std::vector<std::int64_t> long_numeral_row(std::mt19937_64& random)
{
    std::vector<std::int64_t> values(16);
    for (std::int64_t& value : values) {
        const auto bits = static_cast<int>(1 + random() % 40);
        value = static_cast<std::int64_t>(random() >> (64 - bits));
        if (random() % 4 == 0) {
            value = -value;
        }
    }
    return values;
}

inline std::string to_base64(std::int64_t value)
{
    return encode_lstat_numeral(value);
}

} // namespace lstat_corpus

#endif

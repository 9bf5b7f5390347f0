// The LStat value of a file from lstat(2), written with the tests' encoder,
// for tests that compare with what tools show of real files.
#ifndef B64NUM_TESTS_STAT_LSTAT_H
#define B64NUM_TESTS_STAT_LSTAT_H

#include "base64_encoder.h"

#include <sys/stat.h>

#include <cstdint>
#include <string>

inline std::string lstat_text(const struct stat& info)
{
    const std::int64_t values[] = {static_cast<std::int64_t>(info.st_dev),
                                   static_cast<std::int64_t>(info.st_ino),
                                   info.st_mode,
                                   static_cast<std::int64_t>(info.st_nlink),
                                   info.st_uid,
                                   info.st_gid,
                                   static_cast<std::int64_t>(info.st_rdev),
                                   info.st_size,
                                   info.st_blksize,
                                   info.st_blocks,
                                   info.st_atime,
                                   info.st_mtime,
                                   info.st_ctime,
                                   0,
                                   0,
                                   S_ISREG(info.st_mode) ? 1 : 0};
    std::string text;
    for (const std::int64_t value : values) {
        text += (text.empty() ? "" : " ") + encode_lstat_numeral(value);
    }
    return text;
}

#endif

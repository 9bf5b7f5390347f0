// Rows of b64num-lstat -l: the attributes of a file the way ls -l shows
// them, from its decoded LStat value.
#ifndef B64NUM_LONG_LISTING_H
#define B64NUM_LONG_LISTING_H

#include "catalog_line.h"
#include "file_mode.h"
#include "lstat.h"
#include "output_buffer.h"
#include "time_style.h"

#include <cstdint>

struct DeviceNumbers {
    unsigned major;
    unsigned minor;
};

// The major and minor numbers of a device, in Linux's encoding: the old
// 16-bit form and the 64-bit one alike.
DeviceNumbers device_numbers(std::int64_t rdev);

struct ListingStyle {
    TimeStyle time;
    bool human_sizes = false; // as ls -lh shows them
    bool shows_job = false;   // the JobId of each row's job, before the columns (--catalog)
};

// Writes one row: mode, links, owner and group as numbers, size (or major,
// minor for a device), time of last modification in the local time zone,
// then the passed-through columns, with control characters escaped as ls -b
// escapes them (see terminal_text.h). A field
// that the row lacks shows as ?.
void write_long_row(OutputBuffer& out, const PassThrough& columns, const LstatRow& row,
                    const ListingStyle& style, std::int64_t job = 0);

#endif

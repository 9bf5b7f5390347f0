// Rows of b64num-lstat -l: the attributes of a file the way ls -l shows
// them, from its decoded LStat value.
#ifndef B64NUM_LONG_LISTING_H
#define B64NUM_LONG_LISTING_H

#include "catalog_line.h"
#include "file_mode.h"
#include "lstat.h"
#include "output_buffer.h"

#include <cstdint>
#include <ctime>
#include <string>

struct DeviceNumbers {
    unsigned major;
    unsigned minor;
};

// The major and minor numbers of a device, in Linux's encoding: the old
// 16-bit form and the 64-bit one alike.
DeviceNumbers device_numbers(std::int64_t rdev);

// How a row shows its time of last modification, as ls --time-style does:
// one strftime format for times in the past six months, another for the
// others, and a width to pad to when a name follows (0 for none).
struct TimeStyle {
    std::string recent_format = "%Y-%m-%d %H:%M";
    std::string old_format = "%Y-%m-%d %H:%M";
    int width = 16;
    std::time_t now = 0; // what "the past six months" are counted back from
};

// Reads a style as ls --time-style names it: long-iso (the default),
// full-iso, iso, or +FORMAT, where a line feed in FORMAT separates the
// format of older times from that of recent ones and %N is the nanoseconds
// (LStat times are whole seconds). On an unknown style, returns false and
// says why in `error`.
bool parse_time_style(const std::string& style, std::time_t now, TimeStyle& parsed,
                      std::string& error);

struct ListingStyle {
    TimeStyle time;
    bool human_sizes = false; // as ls -lh shows them
};

// Writes one row: mode, links, owner and group as numbers, size (or major,
// minor for a device), time of last modification in the local time zone,
// then the passed-through columns, with control characters escaped as ls -b
// escapes them (see terminal_text.h). A field
// that the row lacks shows as ?.
void write_long_row(OutputBuffer& out, const PassThrough& columns, const LstatRow& row,
                    const ListingStyle& style);

#endif

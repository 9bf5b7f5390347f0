// Rows of b64num-lstat -l: the attributes of a file the way ls -l shows
// them, from its decoded LStat value.
#ifndef B64NUM_LONG_LISTING_H
#define B64NUM_LONG_LISTING_H

#include "lstat.h"
#include "lstat_output.h"

#include <cstdint>

// The ten characters of ls -l for `mode`: the type (- d l c b p s, or ? for
// any other), then rwx for owner, group and others, with s/S for set-user-ID
// and set-group-ID and t/T for the sticky bit.
void mode_string(std::int64_t mode, char (&text)[10]);

struct DeviceNumbers {
    unsigned major;
    unsigned minor;
};

// The major and minor numbers of a device, in Linux's encoding: the old
// 16-bit form and the 64-bit one alike.
DeviceNumbers device_numbers(std::int64_t rdev);

// Writes one row: mode, links, owner and group as numbers, size (or major,
// minor for a device), time of last modification as YYYY-MM-DD HH:MM in the
// local time zone, then the passed-through columns, with control characters escaped as ls -b
// escapes them (see terminal_text.h). A field
// that the row lacks shows as ?.
void write_long_row(OutputBuffer& out, const PassThrough& columns, const LstatRow& row);

#endif

// The values of the selection options of b64num-lstat, read as find reads
// its tests: --type, --size, --newer and --older, --uid and --gid, --name
// and --under.
#ifndef B64NUM_SELECTION_OPTIONS_H
#define B64NUM_SELECTION_OPTIONS_H

#include "row_selection.h"

#include <cstdint>
#include <string>

// Reads the value of the selection option `option` (its long name, as
// "size") into `selection`; false, with the message of misuse in `error`,
// when the value is none of that option's.
// Reads a time as --newer takes it: YYYY-MM-DD, YYYY-MM-DD HH:MM or
// YYYY-MM-DD HH:MM:SS in the local time zone, or @SECONDS since the epoch.
bool parse_time(const char* value, std::int64_t& seconds);

bool parse_selection(const std::string& option, const char* value, RowSelection& selection,
                     std::string& error);

#endif

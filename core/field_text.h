// The fields of an LStat value as the engines' helper functions give them
// in text: a time as a date and time of day in UTC, all fields as JSON.
#ifndef B64NUM_FIELD_TEXT_H
#define B64NUM_FIELD_TEXT_H

#include "lstat.h"

#include <cstddef>
#include <cstdint>

// Times are shown as dates in the years 1 to 9999: those that four digits
// write, and that every engine's date type holds. Times outside are shown
// as no date at all (NULL), never as a wrong one.

// "YYYY-MM-DD HH:MM:SS" in UTC for `seconds` since 1970-01-01 00:00:00
// UTC, as SQLite's and MariaDB's date functions read it, NUL-terminated;
// false, and nothing written, outside the years shown.
constexpr std::size_t utc_time_size = sizeof "YYYY-MM-DD HH:MM:SS";
bool write_utc_time(std::int64_t seconds, char (&text)[utc_time_size]);

// Whether `seconds` since the epoch fall in the years shown.
bool is_shown_time(std::int64_t seconds);

// The fields of `row` as one JSON object, {"dev":2049,...,"stream":2}, in
// LStat order, null for those that the value lacks; NUL-terminated, and
// returns its length.
constexpr std::size_t lstat_json_size = 512;
std::size_t write_lstat_json(const LstatRow& row, char (&text)[lstat_json_size]);

#endif

// Times as ls --time-style shows them, in the local time zone that TZ
// gives: for -l, and for the time fields of -f and --json.
#ifndef B64NUM_TIME_STYLE_H
#define B64NUM_TIME_STYLE_H

#include <cstddef>
#include <cstdint>
#include <ctime>
#include <string>

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

// Room for the text of a time in any style.
constexpr std::size_t time_text_size = 1024;

// Writes `seconds` since the epoch into `text` as `style` shows it, and
// returns the length. A time that the C library cannot convert shows as its
// number of seconds, as ls shows it.
std::size_t time_text(const TimeStyle& style, std::int64_t seconds, char (&text)[time_text_size]);

#endif

#include "field_text.h"

#include <cstdio>
#include <ctime>

bool is_shown_time(std::int64_t seconds)
{
    // 0001-01-01 and 10000-01-01, 00:00:00 UTC.
    constexpr std::int64_t first = -62135596800;
    constexpr std::int64_t past_last = 253402300800;
    return seconds >= first && seconds < past_last;
}

bool write_utc_time(std::int64_t seconds, char (&text)[utc_time_size])
{
    // gmtime_r, not gmtime: servers call from several threads at once.
    const std::time_t when = seconds;
    std::tm utc{};
    if (!is_shown_time(seconds) || gmtime_r(&when, &utc) == nullptr) {
        return false;
    }
    (void)std::snprintf(text, sizeof text, "%04d-%02d-%02d %02d:%02d:%02d", utc.tm_year + 1900,
                        utc.tm_mon + 1, utc.tm_mday, utc.tm_hour, utc.tm_min, utc.tm_sec);
    return true;
}

std::size_t write_lstat_json(const LstatRow& row, char (&text)[lstat_json_size])
{
    std::size_t used = 0;
    for (int index = 0; index < lstat_field_count; ++index) {
        const char* const separator = index == 0 ? "{" : ",";
        const int written =
            row.has(static_cast<LstatField>(index))
                ? std::snprintf(text + used, sizeof text - used, "%s\"%s\":%lld", separator,
                                lstat_field_names[index], static_cast<long long>(row.values[index]))
                : std::snprintf(text + used, sizeof text - used, "%s\"%s\":null", separator,
                                lstat_field_names[index]);
        used += written > 0 ? static_cast<std::size_t>(written) : 0;
    }
    const int written = std::snprintf(text + used, sizeof text - used, "}");
    return used + (written > 0 ? static_cast<std::size_t>(written) : 0);
}

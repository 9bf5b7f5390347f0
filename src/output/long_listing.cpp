#include "long_listing.h"

#include "human_size.h"
#include "row_formats.h"

#include <sys/sysmacros.h>

#include <algorithm>
#include <charconv>
#include <cstring>
#include <ctime>

namespace {

// Minimum widths, right-aligned as ls aligns numbers. A filter cannot look
// ahead, so they are fixed to fit ordinary values; a wider value widens its
// own row only. Links: up to 99. Owners and groups: the ids below 10000 of
// local users and system accounts. Sizes: up to 9,999,999,999 bytes, and
// devices as "major, minor" with three digits each.
constexpr int nlink_width = 2;
constexpr int id_width = 4;
constexpr int size_width = 10;
constexpr int human_size_width = 4; // 1023, 1.0K, 999M
constexpr int device_part_width = 3;

void pad(OutputBuffer& out, int width, std::size_t length)
{
    for (auto i = static_cast<int>(length); i < width; ++i) {
        output_char(out, ' ');
    }
}

// A space, then `text` right-aligned in `width`.
void right_aligned(OutputBuffer& out, const char* text, std::size_t length, int width)
{
    output_char(out, ' ');
    pad(out, width, length);
    output_bytes(out, text, length);
}

void number_field(OutputBuffer& out, const LstatRow& row, LstatField field, int width)
{
    char digits[24];
    if (!row.has(field)) {
        right_aligned(out, "?", 1, width);
        return;
    }
    const char* const end = std::to_chars(digits, digits + sizeof digits, row.values[field]).ptr;
    right_aligned(out, digits, static_cast<std::size_t>(end - digits), width);
}

// Writes `value` right-aligned in `width` at `at`; returns the end.
char* right_aligned_into(char* at, unsigned value, int width)
{
    char digits[12];
    const char* const end = std::to_chars(digits, digits + sizeof digits, value).ptr;
    for (auto length = end - digits; length < width; ++length) {
        *at++ = ' ';
    }
    return std::copy(static_cast<const char*>(digits), end, at);
}

void size_field_or_device(OutputBuffer& out, const LstatRow& row, bool human)
{
    if (!row.has(field_mode) || !is_device(row.values[field_mode])) {
        if (human && row.has(field_size)) {
            char text[24];
            right_aligned(out, text, human_size(row.values[field_size], text), human_size_width);
        } else {
            number_field(out, row, field_size, human ? human_size_width : size_width);
        }
        return;
    }
    if (!row.has(field_rdev)) {
        right_aligned(out, "?", 1, size_width);
        return;
    }
    const DeviceNumbers device = device_numbers(row.values[field_rdev]);
    char text[32];
    char* at = right_aligned_into(text, device.major, device_part_width);
    *at++ = ',';
    *at++ = ' ';
    at = right_aligned_into(at, device.minor, device_part_width);
    right_aligned(out, text, static_cast<std::size_t>(at - text), size_width);
}

// A space, then the local time as ls shows it in `style`, left-aligned in
// the style's width when more follows.
void time_field(OutputBuffer& out, const LstatRow& row, const TimeStyle& style, bool more_follows)
{
    char text[time_text_size] = "?";
    const std::size_t length =
        row.has(field_mtime) ? time_text(style, row.values[field_mtime], text) : 1;
    output_char(out, ' ');
    output_bytes(out, text, length);
    if (more_follows) {
        pad(out, style.width, length);
    }
}

} // namespace

DeviceNumbers device_numbers(std::int64_t rdev)
{
    const auto encoded = static_cast<dev_t>(rdev);
    return {major(encoded), minor(encoded)};
}

void write_long_row(OutputBuffer& out, const PassThrough& columns, const LstatRow& row,
                    const ListingStyle& style, std::int64_t job)
{
    char mode[10] = {'?', ' ', ' ', ' ', ' ', ' ', ' ', ' ', ' ', ' '};
    if (row.has(field_mode)) {
        mode_string(row.values[field_mode], mode);
    }
    output_bytes(out, mode, sizeof mode);
    number_field(out, row, field_nlink, nlink_width);
    number_field(out, row, field_uid, id_width);
    number_field(out, row, field_gid, id_width);
    size_field_or_device(out, row, style.human_sizes);
    time_field(out, row, style.time, columns.present || style.shows_job);
    if (style.shows_job) {
        output_char(out, ' ');
        output_number(out, job);
    }
    if (columns.present) {
        output_char(out, ' ');
        write_columns_for_terminal(out, columns.text, columns.length);
    }
    output_char(out, '\n');
}

#include "diff_listing.h"

#include "huge_pages.h"
#include "human_size.h"
#include "row_formats.h"

#include <algorithm>
#include <cstring>
#include <iterator>
#include <string>
#include <vector>

namespace {

struct Differing {
    std::uint64_t key[2]; // sixteen bytes of the printed path, past what all of them share
    std::uint32_t entry;
    Change change;
    std::int64_t delta;
};

// A tenth of a million-row job's paths differ between two backups: tens of
// MiB, in huge pages as the entries are.
using DifferingPaths = std::vector<Differing, HugePageAllocator<Differing>>;

// A path as printed: as the side that is printed gave it, OLD's for a
// removed path and NEW's otherwise, and whether that side's ended in '/'.
struct Printed {
    std::string_view path;
    bool slash;
};

Printed printed(const JobDiff& diff, const Differing& differing)
{
    const int side = differing.change == Change::removed ? old_side : new_side;
    return {given_path(diff, differing.entry, side), diff.entries[differing.entry].slash[side]};
}

// Byte `i` of a path as printed, its trailing '/' included; -1 past its end.
int printed_byte(const Printed& path, std::size_t i)
{
    if (i < path.path.size()) {
        return static_cast<unsigned char>(path.path[i]);
    }
    return i == path.path.size() && path.slash ? '/' : -1;
}

bool printed_before(const JobDiff& diff, const Differing& a, const Differing& b)
{
    if (a.key[0] != b.key[0] || a.key[1] != b.key[1]) {
        return a.key[0] != b.key[0] ? a.key[0] < b.key[0] : a.key[1] < b.key[1];
    }
    const Printed first = printed(diff, a);
    const Printed second = printed(diff, b);
    const std::size_t common = std::min(first.path.size(), second.path.size());
    const int order = std::memcmp(first.path.data(), second.path.data(), common);
    if (order != 0) {
        return order < 0;
    }
    for (std::size_t i = common;; ++i) {
        const int x = printed_byte(first, i);
        const int y = printed_byte(second, i);
        if (x != y || x < 0) {
            return x < y;
        }
    }
}

// Sorts the paths in byte order. Most paths share a long prefix, and
// comparing their bytes would follow two pointers each time: the sixteen
// bytes after the prefix that all share, read big-endian into a key beside
// each, tell most of them apart without leaving the vector.
void sort_by_path(const JobDiff& diff, DifferingPaths& differing)
{
    if (differing.empty()) {
        return;
    }
    const Printed first = printed(diff, differing.front());
    std::size_t shared = first.path.size() + (first.slash ? 1 : 0);
    for (const Differing& path : differing) {
        const Printed shown = printed(diff, path);
        std::size_t i = 0;
        while (i < shared && printed_byte(shown, i) == printed_byte(first, i)) {
            ++i;
        }
        shared = i;
    }
    for (Differing& path : differing) {
        const Printed shown = printed(diff, path);
        for (std::size_t half = 0; half < 2; ++half) {
            path.key[half] = 0;
            for (std::size_t i = shared + 8 * half; i < shared + 8 * half + 8; ++i) {
                const int byte = printed_byte(shown, i);
                path.key[half] =
                    path.key[half] << 8 | static_cast<std::uint64_t>(byte < 0 ? 0 : byte);
            }
        }
    }
    std::sort(differing.begin(), differing.end(), [&diff](const Differing& a, const Differing& b) {
        return printed_before(diff, a, b);
    });
}

void write_delta(OutputBuffer& out, std::int64_t delta, bool human_sizes)
{
    if (!human_sizes) {
        output_number(out, delta);
        return;
    }
    char text[24];
    output_bytes(out, text, human_delta(delta, text));
}

void write_path(OutputBuffer& out, const Printed& path)
{
    write_columns(out, path.path.data(), path.path.size());
    if (path.slash) {
        output_char(out, '/');
    }
}

// The object that --json prints for a side's row: its columns, the path as
// that side gave it, and its fields.
void write_side(OutputBuffer& out, const JobDiff& diff, std::uint32_t number, int side,
                const KeptRow& row, std::string& columns)
{
    const JobDiff::Entry& entry = diff.entries[number];
    if (entry.row[side] == nullptr) {
        output_bytes(out, "null", 4);
        return;
    }
    columns.assign(given_path(diff, number, side));
    if (entry.slash[side]) {
        columns += '/';
    }
    if (row.has_between) {
        columns += '\t';
        columns.append(row.between.data(), row.between.size());
    }
    write_json_object(out, {columns.data(), columns.size(), true}, row.fields, all_fields());
}

void write_json_line(OutputBuffer& out, const JobDiff& diff, const Differing& differing,
                     std::string& columns)
{
    const JobDiff::Entry& entry = diff.entries[differing.entry];
    KeptRow old_row{};
    KeptRow new_row{};
    compare_entry(diff, entry, old_row, new_row);
    const char status[] = {'{', '"', 's', 't', 'a', 't',
                           'u', 's', '"', ':', '"', change_letter(differing.change),
                           '"'};
    output_bytes(out, status, sizeof status);
    output_bytes(out, ",\"delta\":", 9);
    output_number(out, differing.delta);
    output_bytes(out, ",\"old\":", 7);
    write_side(out, diff, differing.entry, old_side, old_row, columns);
    output_bytes(out, ",\"new\":", 7);
    write_side(out, diff, differing.entry, new_side, new_row, columns);
    output_bytes(out, "}\n", 2);
}

void add_to_totals(DiffTotals& totals, const DifferingPaths& differing)
{
    for (const Differing& path : differing) {
        const auto change = static_cast<std::size_t>(path.change);
        ++totals.paths[change];
        totals.sums[change] += path.delta;
    }
}

} // namespace

bool write_diff_totals(OutputBuffer& out, const DiffTotals& totals, bool human_sizes)
{
    const auto& sums = totals.sums;
    const auto& paths = totals.paths;
    if (std::any_of(std::begin(sums), std::end(sums),
                    [](DiffTotals::DeltaSum sum) { return sum > INT64_MAX || sum < -INT64_MAX; })) {
        return false;
    }
    for (const Change change :
         {Change::added, Change::removed, Change::type, Change::modified, Change::attributes}) {
        const auto index = static_cast<std::size_t>(change);
        output_char(out, change_letter(change));
        output_char(out, '\t');
        output_number(out, static_cast<std::int64_t>(paths[index]));
        output_char(out, '\t');
        write_delta(out, static_cast<std::int64_t>(sums[index]), human_sizes);
        output_char(out, '\n');
    }
    return true;
}

bool write_diff(OutputBuffer& out, const JobDiff& diff, DiffReport report, bool human_sizes,
                DiffTotals& totals)
{
    return write_diff_part(out, diff, report, human_sizes, totals) &&
           (report != DiffReport::summary || write_diff_totals(out, totals, human_sizes));
}

bool write_diff_part(OutputBuffer& out, const JobDiff& diff, DiffReport report, bool human_sizes,
                     DiffTotals& totals)
{
    DifferingPaths differing;
    // NEW's rows lie in the order NEW gave them, not in the entries' order:
    // fetch them some entries ahead.
    constexpr std::size_t ahead = 16;
    for (std::size_t i = 0; i < diff.entries.size(); ++i) {
        if (i + ahead < diff.entries.size()) {
            __builtin_prefetch(diff.entries[i + ahead].row[new_side]);
        }
        const JobDiff::Entry& entry = diff.entries[i];
        const bool selected = (entry.row[old_side] != nullptr && entry.selected[old_side]) ||
                              (entry.row[new_side] != nullptr && entry.selected[new_side]);
        if (!selected || (entry.row[old_side] != nullptr && entry.row[new_side] != nullptr &&
                          same_kept_row(entry.row[old_side], entry.row[new_side]))) {
            continue;
        }
        KeptRow old_row{};
        KeptRow new_row{};
        const Change change = compare_entry(diff, entry, old_row, new_row);
        std::int64_t delta = 0;
        if (change != Change::none && !size_delta(diff, entry, old_row, new_row, delta)) {
            return false;
        }
        if (change != Change::none) {
            differing.push_back({{0, 0}, static_cast<std::uint32_t>(i), change, delta});
        }
    }
    add_to_totals(totals, differing);
    if (report == DiffReport::summary) {
        return true;
    }
    sort_by_path(diff, differing);
    std::string columns;
    for (const Differing& path : differing) {
        if (report == DiffReport::json) {
            write_json_line(out, diff, path, columns);
            continue;
        }
        output_char(out, change_letter(path.change));
        output_char(out, '\t');
        write_delta(out, path.delta, human_sizes);
        output_char(out, '\t');
        write_path(out, printed(diff, path));
        output_char(out, '\n');
    }
    return true;
}

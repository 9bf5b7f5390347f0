#include "diff_listing.h"

#include "human_size.h"
#include "row_formats.h"

namespace {

// The summary's statuses in their order, and how the JSON document names
// each (with what comes before it).
struct ChangeName {
    Change change;
    const char* name;
};
constexpr ChangeName change_names[] = {{Change::added, "{\"added\""},
                                       {Change::removed, ",\"removed\""},
                                       {Change::type, ",\"type\""},
                                       {Change::modified, ",\"modified\""},
                                       {Change::attributes, ",\"attributes\""}};

void write_delta(OutputBuffer& out, std::int64_t delta, bool human_sizes)
{
    if (!human_sizes) {
        output_number(out, delta);
        return;
    }
    char text[24];
    output_bytes(out, text, human_delta(delta, text));
}

// The object that --json prints for a side's row: its columns, the path as
// that side gave it, and its fields.
void write_side(OutputBuffer& out, const DiffRow* row, std::string& columns)
{
    if (row == nullptr) {
        output_bytes(out, "null", 4);
        return;
    }
    columns.assign(row->given);
    if (row->has_between) {
        columns += '\t';
        columns.append(row->between.data(), row->between.size());
    }
    write_json_object(out, {columns.data(), columns.size(), true}, row->fields, all_fields());
}

} // namespace

void write_diff_entry(OutputBuffer& out, const DiffEntry& entry, DiffReport report,
                      bool human_sizes, DiffTotals& totals, std::string& scratch)
{
    const auto change = static_cast<std::size_t>(entry.change);
    ++totals.paths[change];
    totals.sums[change] += entry.delta;
    if (is_summary(report)) {
        return;
    }
    if (report == DiffReport::json) {
        const char status[] = {'{', '"', 's', 't', 'a', 't',
                               'u', 's', '"', ':', '"', change_letter(entry.change),
                               '"'};
        output_bytes(out, status, sizeof status);
        output_bytes(out, ",\"delta\":", 9);
        output_number(out, entry.delta);
        output_bytes(out, ",\"old\":", 7);
        write_side(out, entry.old_row, scratch);
        output_bytes(out, ",\"new\":", 7);
        write_side(out, entry.new_row, scratch);
        output_bytes(out, "}\n", 2);
        return;
    }
    const DiffRow* const shown = entry.new_row != nullptr ? entry.new_row : entry.old_row;
    output_char(out, change_letter(entry.change));
    output_char(out, '\t');
    write_delta(out, entry.delta, human_sizes);
    output_char(out, '\t');
    write_columns(out, shown->given.data(), shown->given.size());
    output_char(out, '\n');
}

bool write_diff_totals(OutputBuffer& out, const DiffTotals& totals, DiffReport report,
                       bool human_sizes)
{
    const auto& sums = totals.sums;
    const auto& paths = totals.paths;
    if (std::any_of(std::begin(sums), std::end(sums),
                    [](DiffTotals::DeltaSum sum) { return sum > INT64_MAX || sum < -INT64_MAX; })) {
        return false;
    }
    if (report == DiffReport::summary_json) {
        for (const ChangeName& each : change_names) {
            const auto index = static_cast<std::size_t>(each.change);
            output_text(out, each.name);
            output_text(out, ":{\"paths\":");
            output_number(out, static_cast<std::int64_t>(paths[index]));
            output_text(out, ",\"delta\":");
            output_number(out, static_cast<std::int64_t>(sums[index]));
            output_char(out, '}');
        }
        output_text(out, "}\n");
        return true;
    }
    for (const ChangeName& each : change_names) {
        const auto index = static_cast<std::size_t>(each.change);
        const Change change = each.change;
        output_char(out, change_letter(change));
        output_char(out, '\t');
        output_number(out, static_cast<std::int64_t>(paths[index]));
        output_char(out, '\t');
        write_delta(out, static_cast<std::int64_t>(sums[index]), human_sizes);
        output_char(out, '\n');
    }
    return true;
}

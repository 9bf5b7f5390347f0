#include "diff_writer.h"

#include "job_diff.h"
#include "path_order.h"

#include <string>

namespace {

// Why the sides cannot be compared, if they cannot: a side that could not
// be read, or holds no rows, would be compared as an empty backup, and rows
// of other columns would differ in every path. Only the sides `read` to
// their end are judged.
std::string why_not_comparable(const bool read[2], const bool read_whole[2],
                               const unsigned long rows[2], const int columns[2])
{
    const char* const names[] = {"OLD", "NEW"};
    if (read[old_side] && read[new_side] && read_whole[old_side] && read_whole[new_side] &&
        rows[old_side] == 0 && rows[new_side] == 0) {
        return "OLD and NEW hold no rows";
    }
    std::string why;
    for (const int side : {old_side, new_side}) {
        const char* const trouble = !read[side]         ? nullptr
                                    : !read_whole[side] ? " could not be read"
                                    : rows[side] == 0   ? " holds no rows"
                                                        : nullptr;
        if (trouble != nullptr) {
            why += (why.empty() ? "" : " and ") + std::string(names[side]) + trouble;
        }
    }
    if (why.empty() && columns[old_side] != columns[new_side]) {
        why = "OLD's rows have " + std::to_string(columns[old_side]) + " columns and NEW's " +
              std::to_string(columns[new_side]);
    }
    return why;
}

// Keeps the rows of OLD, the first input, and NEW, the second, by path.
class DiffWriter final : public RowWriter {
public:
    DiffWriter(OutputBuffer& out, const FieldSelection& compare, DiffReport report,
               bool human_sizes, bool disk_usage)
        : out_(out), report_(report), human_sizes_(human_sizes)
    {
        start_diff(diff_, compare, report == DiffReport::json, disk_usage);
    }

    void start_input() override { ++side_; }

    bool take(CatalogLine& line) override
    {
        if (line.is_entry()) {
            add_to_diff(diff_, side_, line);
            columns_[side_] = line.columns;
            ++rows_[side_];
        }
        return true;
    }

    void end_input(bool read_whole) override { read_whole_[side_] = read_whole; }

    Ending finish() override
    {
        const std::string unusable = unusable_sides();
        if (!unusable.empty()) {
            return {unusable + ": nothing compared", true};
        }
        finish_diff(diff_);
        if (!write_diff(out_, diff_, report_, human_sizes_)) {
            return {total_passes, false};
        }
        return {};
    }

private:
    std::string unusable_sides() const
    {
        const bool read[] = {true, true};
        return why_not_comparable(read, read_whole_, rows_, columns_);
    }

    OutputBuffer& out_;
    DiffReport report_;
    bool human_sizes_;
    JobDiff diff_;
    int side_ = old_side - 1;
    bool read_whole_[2] = {false, false};
    unsigned long rows_[2] = {0, 0};
    int columns_[2] = {0, 0};
};

// The rows of OLD and NEW in path order, read at once and merged as comm
// merges two sorted inputs: the paths that both inputs have gone past are
// compared and written a part at a time, so that memory holds a part, not
// the backups.
class SortedDiffWriter final : public RowWriter {
public:
    SortedDiffWriter(OutputBuffer& out, const FieldSelection& compare, DiffReport report,
                     bool human_sizes, bool disk_usage)
        : out_(out), compare_(compare), report_(report), human_sizes_(human_sizes),
          disk_usage_(disk_usage)
    {
        start_part();
    }

    void reading_input(int input) override { side_ = input; }

    // The input that is behind: its last path comes first.
    int next_input() const override
    {
        if (!comparable()) {
            return -1;
        }
        if (ended_[old_side] || ended_[new_side]) {
            return ended_[old_side] ? (ended_[new_side] ? -1 : new_side) : old_side;
        }
        if (rows_[old_side] == 0 || rows_[new_side] == 0) {
            return rows_[old_side] == 0 ? old_side : new_side;
        }
        return latest(new_side).key < latest(old_side).key ? new_side : old_side;
    }

    bool take(CatalogLine& line) override
    {
        if (!line.is_entry()) {
            return true;
        }
        ++rows_[side_];
        columns_[side_] = line.columns;
        // Into the free place of the two: the row read before it stays the
        // latest where this one has another path, or is dropped where this
        // one is a later row of its path.
        Side& side = sides_[side_];
        Held& held = side.held[1 - side.latest];
        path_order_key(line, held.key);
        held.text.assign(line.text, line.length);
        held.line = line;
        held.line.text = held.text.data();
        side.ready = side.has_latest && held.key != latest(side_).key;
        side.latest = 1 - side.latest;
        side.has_latest = true;
        release();
        return true;
    }

    void end_input(bool read_whole) override
    {
        read_whole_[side_] = read_whole;
        ended_[side_] = true;
        Side& side = sides_[side_];
        if (side.has_latest) { // the last row of its path now
            side.latest = 1 - side.latest;
            side.has_latest = false;
            side.ready = true;
        }
        release();
    }

    Ending finish() override
    {
        const std::string unusable = unusable_sides();
        if (!unusable.empty()) {
            return {unusable + ": nothing compared", true};
        }
        write_part();
        if (too_large_ ||
            (report_ == DiffReport::summary && !write_diff_totals(out_, totals_, human_sizes_))) {
            return {total_passes, false};
        }
        return {};
    }

private:
    struct Held {
        std::string key; // in path order
        std::string text;
        CatalogLine line{}; // its text in `text`
    };

    // A side's rows not yet in the part, in two places that take turns: the
    // latest row read, which a later row of its path may still replace, and
    // before it the row `ready` to be merged, whose path the side has gone
    // past. Reading the side that is behind keeps a side from having more.
    struct Side {
        Held held[2];
        int latest = 0;
        bool has_latest = false;
        bool ready = false;
    };

    const Held& latest(int side) const { return sides_[side].held[sides_[side].latest]; }
    Held& ready(int side) { return sides_[side].held[1 - sides_[side].latest]; }

    void start_part()
    {
        if (part_rows_ == 0) {
            start_diff(part_, compare_, report_ == DiffReport::json, disk_usage_);
        } else {
            clear_diff(part_);
        }
        part_rows_ = 0;
    }

    // Whether the rows read so far can be compared: both sides hold rows, of
    // as many columns.
    bool comparable() const
    {
        const auto empty = [this](int side) { return ended_[side] && rows_[side] == 0; };
        if (empty(old_side) || empty(new_side)) {
            return false;
        }
        return rows_[old_side] == 0 || rows_[new_side] == 0 ||
               columns_[old_side] == columns_[new_side];
    }

    // Merges the ready rows whose paths the other side has gone past, or
    // has too, into the part, and writes the part when it is full.
    void release()
    {
        if (!comparable() || (!ended_[old_side] && rows_[old_side] == 0) ||
            (!ended_[new_side] && rows_[new_side] == 0)) {
            return;
        }
        while (merge_ready()) {
            if (part_rows_ >= part_size) {
                write_part();
            }
        }
    }

    // Merges the first ready path, paired where both sides have it ready;
    // false where none can go yet.
    bool merge_ready()
    {
        const bool old_ready = sides_[old_side].ready;
        const bool new_ready = sides_[new_side].ready;
        if (!old_ready && !new_ready) {
            return false;
        }
        int order = old_ready ? -1 : 1; // of OLD's ready path to NEW's
        if (old_ready && new_ready) {
            order = ready(old_side).key.compare(ready(new_side).key);
        } else {
            // Alone, where the other side holds no row up to its path.
            const int side = old_ready ? old_side : new_side;
            const int other = 1 - side;
            if (sides_[other].has_latest && !(ready(side).key < latest(other).key)) {
                return false;
            }
        }
        add_matched_rows(part_, order <= 0 ? &ready(old_side).line : nullptr,
                         order >= 0 ? &ready(new_side).line : nullptr);
        ++part_rows_;
        sides_[old_side].ready = old_ready && order > 0;
        sides_[new_side].ready = new_ready && order < 0;
        return true;
    }

    void write_part()
    {
        finish_diff(part_);
        too_large_ |= !write_diff_part(out_, part_, report_, human_sizes_, totals_);
        start_part();
    }

    // Of the sides read to their end: the other side, not needed past the
    // trouble, is not read to its end.
    std::string unusable_sides() const
    {
        return why_not_comparable(ended_, read_whole_, rows_, columns_);
    }

    static constexpr unsigned long part_size = 1UL << 14; // rows

    OutputBuffer& out_;
    FieldSelection compare_;
    DiffReport report_;
    bool human_sizes_;
    bool disk_usage_;
    JobDiff part_;
    unsigned long part_rows_ = 0;
    DiffTotals totals_;
    bool too_large_ = false;
    int side_ = old_side;
    Side sides_[2];
    bool ended_[2] = {false, false};
    bool read_whole_[2] = {false, false};
    unsigned long rows_[2] = {0, 0};
    int columns_[2] = {0, 0};
};

} // namespace

std::unique_ptr<RowWriter> make_sorted_diff_writer(OutputBuffer& out, const FieldSelection& compare,
                                                   DiffReport report, bool human_sizes,
                                                   bool disk_usage)
{
    return std::make_unique<SortedDiffWriter>(out, compare, report, human_sizes, disk_usage);
}

std::unique_ptr<RowWriter> make_diff_writer(OutputBuffer& out, const FieldSelection& compare,
                                            DiffReport report, bool human_sizes, bool disk_usage)
{
    return std::make_unique<DiffWriter>(out, compare, report, human_sizes, disk_usage);
}

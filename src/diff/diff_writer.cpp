#include "diff_writer.h"

#include "job_diff.h"
#include "path_order.h"

#include <algorithm>
#include <string>
#include <vector>

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
    DiffWriter(OutputBuffer& out, const DiffStyle& style) : out_(out), style_(style)
    {
        start_diff(diff_, style.compare, style.report == DiffReport::json, style.disk_usage,
                   style.latest);
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
        if (diff_.repeated.side >= 0) {
            return {repeated_path_message(diff_.repeated), true};
        }
        DiffTotals totals;
        if (!write_diff(out_, diff_, style_.report, style_.human_sizes, totals)) {
            return {total_passes, false};
        }
        return {{}, false, totals.any()};
    }

private:
    std::string unusable_sides() const
    {
        const bool read[] = {true, true};
        return why_not_comparable(read, read_whole_, rows_, columns_);
    }

    OutputBuffer& out_;
    DiffStyle style_;
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
    SortedDiffWriter(OutputBuffer& out, const DiffStyle& style) : out_(out), style_(style)
    {
        start_part();
    }

    void reading_input(int input) override { side_ = input; }

    // The input that is behind: its last path comes first.
    int next_input() const override
    {
        if (!comparable() || repeated_.side >= 0) {
            return -1;
        }
        if (ended_[old_side] || ended_[new_side]) {
            return ended_[old_side] ? (ended_[new_side] ? -1 : new_side) : old_side;
        }
        if (rows_[old_side] == 0 || rows_[new_side] == 0) {
            return rows_[old_side] == 0 ? old_side : new_side;
        }
        return sides_[new_side].latest().key < sides_[old_side].latest().key ? new_side : old_side;
    }

    bool take(CatalogLine& line) override
    {
        if (!line.is_entry()) {
            return true;
        }
        ++rows_[side_];
        columns_[side_] = line.columns;
        Held& held = sides_[side_].next_place();
        path_order_key(line, held.key);
        held.text.assign(line.text, line.length);
        held.line = line;
        held.line.text = held.text.data();
        const unsigned long earlier = sides_[side_].add();
        if (earlier > 0 && !style_.latest && repeated_.side < 0) {
            repeated_ = {side_, line.number, earlier};
            return true;
        }
        release();
        return true;
    }

    void end_input(bool read_whole) override
    {
        read_whole_[side_] = read_whole;
        ended_[side_] = true;
        sides_[side_].end();
        release();
    }

    Ending finish() override
    {
        if (repeated_.side >= 0) {
            return {repeated_path_message(repeated_), true};
        }
        const std::string unusable = unusable_sides();
        if (!unusable.empty()) {
            return {unusable + ": nothing compared", true};
        }
        write_part();
        if (too_large_ || (style_.report == DiffReport::summary &&
                           !write_diff_totals(out_, totals_, style_.human_sizes))) {
            return {total_passes, false};
        }
        return {{}, false, totals_.any()};
    }

private:
    struct Held {
        std::string key; // in path order
        std::string text;
        CatalogLine line{}; // its text in `text`
    };

    // A side's rows not yet in the part, in a ring of places that are
    // reused: first the rows ready to be merged, whose paths the side has
    // gone past, then the latest row read, which a later row of its path may
    // still replace. Reading the side that is behind keeps one row ready at
    // most, but the rows that wait until an input's shape is known arrive
    // together.
    class Side {
    public:
        std::size_t ready() const { return ready_; }
        bool has_latest() const { return has_latest_; }
        Held& first_ready() { return at(0); }
        const Held& latest() const { return at(ready_); }

        // The place of the next row, which add() then files.
        Held& next_place()
        {
            if (ready_ + (has_latest_ ? 1 : 0) == ring_.size()) {
                grow();
            }
            return at(ready_ + (has_latest_ ? 1 : 0));
        }

        // Files the row of next_place(); where it has the latest row's path,
        // it replaces that row, whose line it returns (0 otherwise).
        unsigned long add()
        {
            Held& added = at(ready_ + (has_latest_ ? 1 : 0));
            if (has_latest_ && added.key == at(ready_).key) {
                Held& replaced = at(ready_);
                const unsigned long earlier = replaced.line.number;
                std::swap(replaced, added);
                replaced.line.text = replaced.text.data();
                return earlier;
            }
            ready_ += has_latest_ ? 1 : 0;
            has_latest_ = true;
            return 0;
        }

        // At the end of the side's input: its latest row is ready.
        void end()
        {
            ready_ += has_latest_ ? 1 : 0;
            has_latest_ = false;
        }

        void pop_ready()
        {
            head_ = (head_ + 1) & (ring_.size() - 1);
            --ready_;
        }

    private:
        Held& at(std::size_t i) { return ring_[(head_ + i) & (ring_.size() - 1)]; }
        const Held& at(std::size_t i) const { return ring_[(head_ + i) & (ring_.size() - 1)]; }

        // Twice the places, the rows first; moved, each line's text is
        // where its copy now is.
        void grow()
        {
            std::rotate(ring_.begin(), ring_.begin() + static_cast<std::ptrdiff_t>(head_),
                        ring_.end());
            head_ = 0;
            ring_.resize(2 * ring_.size());
            for (Held& held : ring_) {
                held.line.text = held.text.data();
            }
        }

        std::vector<Held> ring_ = std::vector<Held>(2); // a power of two
        std::size_t head_ = 0;
        std::size_t ready_ = 0;
        bool has_latest_ = false;
    };

    void start_part()
    {
        if (part_rows_ == 0) {
            start_diff(part_, style_.compare, style_.report == DiffReport::json, style_.disk_usage,
                       style_.latest);
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
        Side& old_rows = sides_[old_side];
        Side& new_rows = sides_[new_side];
        const bool old_ready = old_rows.ready() > 0;
        const bool new_ready = new_rows.ready() > 0;
        if (!old_ready && !new_ready) {
            return false;
        }
        int order = old_ready ? -1 : 1; // of OLD's ready path to NEW's
        if (old_ready && new_ready) {
            order = old_rows.first_ready().key.compare(new_rows.first_ready().key);
        } else {
            // Alone, where the other side holds no row up to its path.
            Side& side = old_ready ? old_rows : new_rows;
            const Side& other = old_ready ? new_rows : old_rows;
            if (other.has_latest() && !(side.first_ready().key < other.latest().key)) {
                return false;
            }
        }
        add_matched_rows(part_, order <= 0 ? &old_rows.first_ready().line : nullptr,
                         order >= 0 ? &new_rows.first_ready().line : nullptr);
        ++part_rows_;
        if (order <= 0) {
            old_rows.pop_ready();
        }
        if (order >= 0) {
            new_rows.pop_ready();
        }
        return true;
    }

    void write_part()
    {
        finish_diff(part_);
        too_large_ |= !write_diff_part(out_, part_, style_.report, style_.human_sizes, totals_);
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
    DiffStyle style_;
    RepeatedPath repeated_;
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

std::unique_ptr<RowWriter> make_sorted_diff_writer(OutputBuffer& out, const DiffStyle& style)
{
    return std::make_unique<SortedDiffWriter>(out, style);
}

std::unique_ptr<RowWriter> make_diff_writer(OutputBuffer& out, const DiffStyle& style)
{
    return std::make_unique<DiffWriter>(out, style);
}

#include "diff_writer.h"

#include "diff_engine.h"
#include "external_sort.h"
#include "path_order.h"
#include "temporary_file.h"

#include <algorithm>
#include <cerrno>
#include <deque>
#include <string>
#include <unistd.h>
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

class DiffWriter final : public RowWriter, DiffEntryVisitor {
public:
    DiffWriter(OutputBuffer& out, const DiffStyle& style)
        : out_(out), style_(style),
          fields_(diff_fields(style.compare, style.report == DiffReport::json, style.disk_usage))
    {
        start_diff_engine(engine_, fields_, style.latest, !style.presorted);
        if (!style.presorted) {
            sort_ = std::make_unique<ExternalSort>(style.buffer_size, style.directory);
        }
    }

    ~DiffWriter() override
    {
        if (held_ != nullptr && held_->fd >= 0) {
            close(held_->fd);
        }
    }
    DiffWriter(const DiffWriter&) = delete;
    DiffWriter& operator=(const DiffWriter&) = delete;

    void start_input() override
    {
        if (!style_.presorted) {
            ++side_;
        }
    }

    void reading_input(int input) override { side_ = input; }

    // The input that is behind: its last path comes first.
    int next_input() const override
    {
        if (!comparable() || stopped_) {
            return -1;
        }
        if (ended_[old_side] || ended_[new_side]) {
            return ended_[old_side] ? (ended_[new_side] ? -1 : new_side) : old_side;
        }
        if (rows_[old_side] == 0 || rows_[new_side] == 0) {
            return rows_[old_side] == 0 ? old_side : new_side;
        }
        return last_key_[new_side] < last_key_[old_side] ? new_side : old_side;
    }

    bool take(CatalogLine& line) override
    {
        if (!line.is_entry() || stopped_) {
            return true;
        }
        ++rows_[side_];
        columns_[side_] = line.columns;
        encode_diff_row(fields_, side_, line, key_, payload_);
        if (sort_ != nullptr) {
            stopped_ = !sort_->add(key_, payload_);
            return true;
        }
        // As the catalog sorted it: a directory's path without its '/'
        // sorts before the paths after it, and its row waits for its place.
        last_key_[side_] = key_;
        if (lacks_slash(line)) {
            last_key_[side_].pop_back();
        }
        std::deque<Record>& rows = waiting_[side_];
        const auto place = rows.empty() || !(key_ < rows.back().key)
                               ? rows.end()
                               : std::upper_bound(rows.begin(), rows.end(), key_,
                                                  [](const std::string& key, const Record& row) {
                                                      return key < row.key;
                                                  });
        Record record;
        if (!spare_.empty()) {
            record = std::move(spare_.back());
            spare_.pop_back();
        }
        record.key.assign(key_);
        record.payload.assign(payload_);
        rows.insert(place, std::move(record));
        release();
        return true;
    }

    void end_input(bool read_whole) override
    {
        read_whole_[side_] = read_whole;
        ended_[side_] = true;
        if (sort_ == nullptr) {
            release();
        }
    }

    Ending finish() override
    {
        if (sort_ != nullptr && sort_->error() != 0) {
            return {temporary_file_trouble("write", sort_->directory(), sort_->error()), true};
        }
        const bool read[] = {true, true};
        const std::string unusable = sort_ != nullptr
                                         ? why_not_comparable(read, read_whole_, rows_, columns_)
                                         : why_not_comparable(ended_, read_whole_, rows_, columns_);
        if (!unusable.empty() && !engine_stopped()) {
            return {unusable + ": nothing compared", true};
        }
        return sort_ != nullptr ? compare_sorted() : finish_merged();
    }

private:
    struct Record {
        std::string key;
        std::string payload;
    };

    bool engine_stopped() const
    {
        return engine_.repeated.side >= 0 || engine_.order_unknown || engine_.too_large;
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

    // Hands the rows read to the comparison, in path order, OLD's before
    // NEW's of one path, as far as the other side's rows tell that no row
    // can come before them.
    void release()
    {
        if (!comparable() || (!ended_[old_side] && rows_[old_side] == 0) ||
            (!ended_[new_side] && rows_[new_side] == 0)) {
            return;
        }
        while (!stopped_) {
            const std::deque<Record>& old_rows = waiting_[old_side];
            const std::deque<Record>& new_rows = waiting_[new_side];
            if (old_rows.empty() && new_rows.empty()) {
                return;
            }
            // The first in path order, OLD's of one path first.
            const int side = new_rows.empty() || (!old_rows.empty() &&
                                                  old_rows.front().key <= new_rows.front().key)
                                 ? old_side
                                 : new_side;
            const int other = 1 - side;
            const std::string& key = waiting_[side].front().key;
            // No later row of either side can come before it.
            const bool own_settled = ended_[side] || key <= last_key_[side];
            const bool other_settled =
                ended_[other] ||
                (side == old_side ? !(last_key_[other] < key) : key < last_key_[other]);
            if (!own_settled || !other_settled) {
                return;
            }
            const Record& record = waiting_[side].front();
            stopped_ = !add_diff_record(engine_, record.key, record.payload, *this);
            spare_.push_back(std::move(waiting_[side].front()));
            waiting_[side].pop_front();
        }
    }

    // Rows in path order, merged as they came: what was written stays
    // written where a later path stops the comparison, as comm
    // --check-order leaves it.
    Ending finish_merged()
    {
        if (!stopped_) {
            stopped_ = !finish_diff_engine(engine_, *this);
        }
        if (engine_stopped()) {
            return stop_ending(written_any_);
        }
        return written_ending(out_);
    }

    // Rows sorted first: the report goes to a temporary file until the
    // comparison is whole.
    Ending compare_sorted()
    {
        // The report waits in memory while it is small, and in a temporary
        // file made when it is not.
        held_ = std::make_unique<OutputBuffer>();
        held_->fd = -1;
        held_->error = 0;
        held_->terminal = out_.terminal;
        held_->used = 0;
        std::string_view key;
        std::string_view payload;
        sort_->rewind();
        bool going = true;
        while (going && sort_->next(key, payload)) {
            going = add_diff_record(engine_, key, payload, *this);
        }
        going = going && finish_diff_engine(engine_, *this);
        if (sort_->error() != 0) {
            return {temporary_file_trouble("read", sort_->directory(), sort_->error()), true};
        }
        if (!going) {
            return stop_ending(false);
        }
        Ending ending = make_room(512) ? written_ending(*held_) : Ending{};
        if (held_->fd < 0 && held_error_ == 0) {
            output_bytes(out_, held_->data, held_->used);
            return ending;
        }
        if (held_->fd >= 0) {
            output_flush(*held_);
        }
        const int error = held_error_ != 0 ? held_error_ : held_->error;
        if (error != 0) {
            return {temporary_file_trouble("write", sort_->directory(), error), true};
        }
        const std::string copied = copy_held(held_->fd);
        if (!copied.empty()) {
            return {copied, true};
        }
        return ending;
    }

    // Room for `bytes` more of the report held: in memory, or past it in a
    // temporary file; false where that cannot be made.
    bool make_room(std::size_t bytes)
    {
        if (held_->fd >= 0 || held_->used + bytes <= sizeof held_->data) {
            return true;
        }
        if (held_error_ == 0) {
            held_->fd = make_temporary_file(sort_->directory());
            held_error_ = held_->fd < 0 ? errno : 0;
        }
        return held_error_ == 0;
    }

    // The report held in `fd`, to the output.
    std::string copy_held(int fd)
    {
        char bytes[1 << 16];
        for (std::uint64_t offset = 0;;) {
            const long got = read_some(fd, bytes, sizeof bytes, offset);
            if (got < 0) {
                return temporary_file_trouble("read", sort_->directory(), errno);
            }
            if (got == 0) {
                return {};
            }
            output_bytes(out_, bytes, static_cast<std::size_t>(got));
            offset += static_cast<std::uint64_t>(got);
        }
    }

    Ending written_ending(OutputBuffer& out)
    {
        if (is_summary(style_.report) &&
            !write_diff_totals(out, totals_, style_.report, style_.human_sizes)) {
            return {total_passes, false};
        }
        return {{}, false, totals_.any()};
    }

    // Why the comparison stopped; where lines were written before, that the
    // report stops there.
    Ending stop_ending(bool written) const
    {
        if (engine_.too_large) {
            return {written ? std::string(total_passes) + "; the report stops here"
                            : std::string(total_passes),
                    false};
        }
        std::string why;
        if (engine_.order_unknown) {
            why = "a file, and a directory of its path or a row below it, the later of which "
                  "rows in path order cannot tell (line " +
                  std::to_string(engine_.unknown_line) +
                  "); leave out --sorted for --latest to take the later one";
        } else {
            why = repeated_path_message(engine_.repeated);
        }
        const std::string nothing = ": nothing compared";
        if (written && why.size() > nothing.size() &&
            why.compare(why.size() - nothing.size(), nothing.size(), nothing) == 0) {
            why.resize(why.size() - nothing.size());
        }
        return {written ? why + ": the report stops here" : why, true};
    }

    void differs(const DiffEntry& entry) override
    {
        if (held_ != nullptr) {
            // At most what a line takes: JSON escapes a byte in six.
            const auto room = [](const DiffRow* row) -> std::size_t {
                return row != nullptr ? 6 * (row->given.size() + row->between.size()) : 0;
            };
            const std::size_t most = 1024 + room(entry.old_row) + room(entry.new_row);
            if (!make_room(most)) {
                return; // the comparison goes on, for nothing: the report is refused
            }
        }
        write_diff_entry(held_ != nullptr ? *held_ : out_, entry, style_.report, style_.human_sizes,
                         totals_, scratch_);
        written_any_ |= !is_summary(style_.report);
    }

    OutputBuffer& out_;
    DiffStyle style_;
    DiffFields fields_;
    DiffEngine engine_;
    DiffTotals totals_;
    std::unique_ptr<ExternalSort> sort_; // unless the rows come in path order
    std::unique_ptr<OutputBuffer> held_; // the report, until the comparison is whole
    int held_error_ = 0;                 // errno where its temporary file could not be made
    std::deque<Record> waiting_[2];      // rows in path order not yet compared
    std::vector<Record> spare_;          // taken off `waiting_`, their strings' room kept
    std::string last_key_[2];            // of each side's last row read
    std::string key_;
    std::string payload_;
    std::string scratch_;
    int side_ = old_side - 1;
    bool ended_[2] = {false, false};
    bool read_whole_[2] = {false, false};
    unsigned long rows_[2] = {0, 0};
    int columns_[2] = {0, 0};
    bool stopped_ = false;
    bool written_any_ = false;
};

} // namespace

std::unique_ptr<RowWriter> make_diff_writer(OutputBuffer& out, const DiffStyle& style)
{
    return std::make_unique<DiffWriter>(out, style);
}

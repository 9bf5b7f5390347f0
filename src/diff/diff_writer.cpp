#include "diff_writer.h"

#include "job_diff.h"

#include <string>

namespace {

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
    // Why the sides cannot be compared, if they cannot: a side that could
    // not be read, or holds no rows, would be compared as an empty backup,
    // and rows of other columns would differ in every path.
    std::string unusable_sides() const
    {
        const char* const names[] = {"OLD", "NEW"};
        if (read_whole_[old_side] && read_whole_[new_side] && rows_[old_side] == 0 &&
            rows_[new_side] == 0) {
            return "OLD and NEW hold no rows";
        }
        std::string why;
        for (const int side : {old_side, new_side}) {
            const char* const trouble = !read_whole_[side] ? " could not be read"
                                        : rows_[side] == 0 ? " holds no rows"
                                                           : nullptr;
            if (trouble != nullptr) {
                why += (why.empty() ? "" : " and ") + std::string(names[side]) + trouble;
            }
        }
        if (why.empty() && columns_[old_side] != columns_[new_side]) {
            why = "OLD's rows have " + std::to_string(columns_[old_side]) + " columns and NEW's " +
                  std::to_string(columns_[new_side]);
        }
        return why;
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

} // namespace

std::unique_ptr<RowWriter> make_diff_writer(OutputBuffer& out, const FieldSelection& compare,
                                            DiffReport report, bool human_sizes, bool disk_usage)
{
    return std::make_unique<DiffWriter>(out, compare, report, human_sizes, disk_usage);
}

#include "tree_writers.h"

#include "du_listing.h"
#include "job_diff.h"
#include "ncdu_export.h"
#include "treemap_svg.h"

#include <algorithm>
#include <ctime>
#include <iterator>
#include <string>

namespace {

const char total_too_large[] = "total passes 2^63 - 1 bytes";

bool is_entry(const CatalogLine& line)
{
    return line.verdict != Verdict::header && line.verdict != Verdict::empty;
}

// Builds the tree; headers and empty lines are no entries.
class TreeWriter : public RowWriter {
public:
    TreeWriter(OutputBuffer& out, bool keeps_files, bool merges_links, Versions versions)
        : out_(out)
    {
        start_tree(tree_, keeps_files, merges_links, versions);
    }

    bool take(CatalogLine& line) final
    {
        if (!is_entry(line)) {
            return true;
        }
        const Placement placement = add_to_tree(tree_, line);
        if (placement.verdict != Verdict::row) {
            line.verdict = placement.verdict;
            line.other_line = placement.other_line;
            return false;
        }
        return check(line);
    }

    Ending finish() final
    {
        // A failed or empty query gives no rows; it is no empty job.
        if (tree_.rows.empty()) {
            return {"no rows: nothing to total", false};
        }
        finish_tree(tree_);
        if (tree_.too_large || !fits(tree_)) {
            return {total_too_large, false};
        }
        write(out_, tree_);
        return {};
    }

private:
    virtual void write(OutputBuffer& out, const BackupTree& tree) = 0;
    // What the report has to say of a row that the tree took: false, with
    // the line's verdict saying why, to report it.
    virtual bool check(CatalogLine& /*line*/) const { return true; }
    // Whatever else the report sums, beside the bytes that the tree totals.
    virtual bool fits(const BackupTree& /*tree*/) const { return true; }

    OutputBuffer& out_;
    BackupTree tree_;
};

class DuWriter final : public TreeWriter {
public:
    DuWriter(OutputBuffer& out, Versions versions, int max_depth, bool human_sizes)
        : TreeWriter(out, false, true, versions), max_depth_(max_depth), human_sizes_(human_sizes)
    {
    }

private:
    void write(OutputBuffer& out, const BackupTree& tree) override
    {
        write_du_listing(out, tree, max_depth_, human_sizes_);
    }

    int max_depth_;
    bool human_sizes_;
};

class NcduWriter final : public TreeWriter {
public:
    NcduWriter(OutputBuffer& out, Versions versions, const char* version)
        : TreeWriter(out, true, false, versions), version_(version)
    {
    }

private:
    // A row stands in the export whatever ncdu cannot read of it, which is
    // left out, and reported.
    bool check(CatalogLine& line) const override
    {
        const LstatField fields[] = {field_uid, field_gid, field_mode, field_nlink};
        const auto* const beyond =
            std::find_if(std::begin(fields), std::end(fields),
                         [&line](LstatField f) { return !ncdu_reads(f, line.fields.values[f]); });
        if (beyond == std::end(fields)) {
            return true;
        }
        line.verdict = Verdict::beyond_ncdu;
        line.expected = *beyond;
        return false;
    }

    void write(OutputBuffer& out, const BackupTree& tree) override
    {
        write_ncdu_export(out, tree, version_, std::time(nullptr));
    }

    // ncdu sums the disk usage too.
    bool fits(const BackupTree& tree) const override { return disk_usage_fits(tree); }

    const char* version_;
};

class TreemapWriter final : public TreeWriter {
public:
    TreemapWriter(OutputBuffer& out, Versions versions, int width, int height)
        : TreeWriter(out, true, true, versions), width_(width), height_(height)
    {
    }

private:
    void write(OutputBuffer& out, const BackupTree& tree) override
    {
        write_treemap(out, tree, width_, height_);
    }

    int width_;
    int height_;
};

// Keeps the rows of OLD, the first input, and NEW, the second, by path.
class DiffWriter final : public RowWriter {
public:
    DiffWriter(OutputBuffer& out, const FieldSelection& compare, DiffReport report,
               bool human_sizes)
        : out_(out), report_(report), human_sizes_(human_sizes)
    {
        start_diff(diff_, compare, report == DiffReport::json);
    }

    void start_input() override { ++side_; }

    bool take(CatalogLine& line) override
    {
        if (is_entry(line)) {
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
            return {total_too_large, false};
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

std::unique_ptr<RowWriter> make_du_writer(OutputBuffer& out, Versions versions, int max_depth,
                                          bool human_sizes)
{
    return std::make_unique<DuWriter>(out, versions, max_depth, human_sizes);
}

std::unique_ptr<RowWriter> make_ncdu_writer(OutputBuffer& out, Versions versions,
                                            const char* version)
{
    return std::make_unique<NcduWriter>(out, versions, version);
}

std::unique_ptr<RowWriter> make_treemap_writer(OutputBuffer& out, Versions versions, int width,
                                               int height)
{
    return std::make_unique<TreemapWriter>(out, versions, width, height);
}

std::unique_ptr<RowWriter> make_diff_writer(OutputBuffer& out, const FieldSelection& compare,
                                            DiffReport report, bool human_sizes)
{
    return std::make_unique<DiffWriter>(out, compare, report, human_sizes);
}

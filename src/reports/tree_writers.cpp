#include "tree_writers.h"

#include "by_totals.h"
#include "du_listing.h"
#include "ncdu_export.h"
#include "qdirstat_cache.h"
#include "sorted_tree.h"
#include "terminal_text.h"
#include "treemap_svg.h"

#include <algorithm>
#include <ctime>
#include <iterator>
#include <string>

namespace {

// A row stands in ncdu's export whatever ncdu cannot read of it, which is
// left out, and reported.
bool ncdu_checks(CatalogLine& line)
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

// Rows in path order cannot follow a hard-linked file whose first link a
// later row makes a directory: its bytes would count nowhere.
const char sorted_link_lost[] =
    "a hard-linked file's first link is a directory in a later row, and its other links went "
    "by before: its bytes belong to one of them, which path order cannot tell; total these "
    "rows without --sorted";

// What a QDirStat cache file had to leave out, if anything.
std::string omissions_message(const CacheOmissions& omissions)
{
    if (omissions.entries == 0) {
        return {};
    }
    const bool one = omissions.entries == 1;
    return "left out of the cache file, its lines longer than the 1022 bytes that QDirStat "
           "reads: " +
           std::to_string(omissions.entries) + (one ? " entry" : " entries") +
           " (a directory with all below it), " + (one ? "" : "the first ") + "'" +
           quoted_for_terminal(omissions.first_path) + "'";
}

// Builds the tree; headers and empty lines are no entries.
class TreeWriter : public RowWriter {
public:
    TreeWriter(OutputBuffer& out, bool keeps_files, bool merges_links, const TreeScope& scope)
        : out_(out)
    {
        start_tree(tree_, keeps_files, merges_links, scope);
    }

    bool take(CatalogLine& line) final
    {
        if (!line.is_entry()) {
            return true;
        }
        const Placement placement =
            add_to_tree(tree_, line, line.selected ? tally_of(line) : BackupTree::none);
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
        if (tree_.directories.front().empty) {
            return {"no rows selected: nothing to total", false};
        }
        if (tree_.too_large || !fits(tree_)) {
            return {total_passes, false};
        }
        write(out_, tree_);
        return {shortfall()};
    }

private:
    virtual void write(OutputBuffer& out, const BackupTree& tree) = 0;
    // The tally that a row that counts counts in, or none.
    virtual std::uint32_t tally_of(const CatalogLine& /*line*/) { return BackupTree::none; }
    // What the report has to say of a row that the tree took: false, with
    // the line's verdict saying why, to report it.
    virtual bool check(CatalogLine& /*line*/) const { return true; }
    // What the report written had to leave out, if anything.
    virtual std::string shortfall() const { return {}; }
    // Whatever else the report sums, beside the bytes that the tree totals.
    virtual bool fits(const BackupTree& /*tree*/) const { return true; }

    OutputBuffer& out_;
    BackupTree tree_;
};

class DuWriter final : public TreeWriter {
public:
    DuWriter(OutputBuffer& out, const TreeScope& scope, int max_depth, bool human_sizes)
        : TreeWriter(out, false, true, scope), max_depth_(max_depth), human_sizes_(human_sizes)
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
    NcduWriter(OutputBuffer& out, const TreeScope& scope, const char* version)
        : TreeWriter(out, true, false, scope), version_(version)
    {
    }

private:
    bool check(CatalogLine& line) const override { return ncdu_checks(line); }

    void write(OutputBuffer& out, const BackupTree& tree) override
    {
        write_ncdu_export(out, tree, version_, std::time(nullptr));
    }

    // ncdu sums the disk usage too.
    bool fits(const BackupTree& tree) const override { return disk_usage_fits(tree); }

    const char* version_;
};

class QdirstatWriter final : public TreeWriter {
public:
    QdirstatWriter(OutputBuffer& out, const TreeScope& scope, const char* version)
        : TreeWriter(out, true, false, scope), version_(version)
    {
    }

private:
    void write(OutputBuffer& out, const BackupTree& tree) override
    {
        omissions_ = write_qdirstat_cache(out, tree, version_);
    }

    std::string shortfall() const override { return omissions_message(omissions_); }

    // QDirStat sums the disk usage too.
    bool fits(const BackupTree& tree) const override { return disk_usage_fits(tree); }

    const char* version_;
    CacheOmissions omissions_;
};

class TreemapWriter final : public TreeWriter {
public:
    TreemapWriter(OutputBuffer& out, const TreeScope& scope, int width, int height)
        : TreeWriter(out, true, true, scope), width_(width), height_(height)
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

// Totals by class, from a tree that counts as --du counts.
class ByWriter final : public TreeWriter {
public:
    ByWriter(OutputBuffer& out, const TreeScope& scope, std::vector<ByKey> keys,
             const ByStyle& style)
        : TreeWriter(out, false, true, scope), classes_(std::move(keys)), style_(style)
    {
    }

private:
    std::uint32_t tally_of(const CatalogLine& line) override { return classes_.class_of(line); }

    void write(OutputBuffer& out, const BackupTree& tree) override
    {
        classes_.write(out, tree.tallies, style_);
    }

    ClassTable classes_;
    ByStyle style_;
};

// The same reports, of rows in path order: only the directories open
// above the current row are held, and --du lists each as it closes.
class SortedTreeWriter : public RowWriter, ClosedDirectoryVisitor {
public:
    SortedTreeWriter(const TreeScope& scope, bool lists_directories, int max_levels,
                     SortedEntryVisitor* entries = nullptr)
    {
        start_sorted_tree(tree_, scope, lists_directories, max_levels, entries);
    }

    bool take(CatalogLine& line) final
    {
        if (!line.is_entry()) {
            return true;
        }
        const Placement placement =
            add_sorted_row(tree_, line, line.selected ? tally_of(line) : BackupTree::none, *this);
        if (placement.verdict != Verdict::row) {
            line.verdict = placement.verdict;
            line.other_line = placement.other_line;
            return false;
        }
        return check(line);
    }

    Ending finish() final
    {
        if (!tree_.any_row) {
            return {"no rows: nothing to total", false};
        }
        finish_sorted_tree(tree_, *this);
        if (tree_.counted_rows == 0) {
            return {"no rows selected: nothing to total", false};
        }
        if (tree_.too_large) {
            return {total_passes, false};
        }
        if (tree_.link_lost) {
            return {sorted_link_lost, false};
        }
        write_totals(tree_.tallies);
        return {shortfall()};
    }

private:
    virtual std::uint32_t tally_of(const CatalogLine& /*line*/) { return BackupTree::none; }
    virtual void write_totals(const std::vector<BackupTree::Tally>& /*tallies*/) {}
    virtual bool check(CatalogLine& /*line*/) const { return true; }
    virtual std::string shortfall() const { return {}; }
    void closed(const ClosedDirectory& /*directory*/) override {}

    SortedTree tree_;
};

// A QDirStat cache file, each entry as its row goes by.
class SortedQdirstatWriter final : public SortedTreeWriter, SortedEntryVisitor {
public:
    SortedQdirstatWriter(OutputBuffer& out, const TreeScope& scope, const char* version)
        : SortedTreeWriter(scope, false, -1, this), lines_(out, scope.versions), version_(version)
    {
    }

private:
    void open_directory(std::string_view path, const EntryAttributes* own, bool counts) override
    {
        if (depth_++ == 0) {
            lines_.header(version_);
        }
        if (left_out_at_ == 0 && !lines_.directory(path, own, counts)) {
            omissions_.note(path_without_slash(path), {});
            left_out_at_ = depth_; // and all below it
        }
    }

    void file(std::string_view path, const EntryAttributes& attributes) override
    {
        const std::size_t slash = path.rfind('/');
        if (left_out_at_ == 0 &&
            !lines_.file(path.substr(0, slash + 1), path.substr(slash + 1), attributes)) {
            omissions_.note(path.substr(0, slash + 1), path.substr(slash + 1));
        }
    }

    void close_directory() override
    {
        if (depth_-- == left_out_at_) {
            left_out_at_ = 0;
        }
    }

    std::string shortfall() const override { return omissions_message(omissions_); }

    QdirstatLines lines_;
    const char* version_;
    CacheOmissions omissions_;
    std::uint32_t depth_ = 0;       // of the directory open
    std::uint32_t left_out_at_ = 0; // the depth of the directory left out, or 0
};

// ncdu's export, each entry as its row goes by: ncdu sorts the entries of a
// directory itself.
class SortedNcduWriter final : public SortedTreeWriter, SortedEntryVisitor {
public:
    SortedNcduWriter(OutputBuffer& out, const TreeScope& scope, const char* version)
        : SortedTreeWriter(scope, false, -1, this), out_(out), version_(version),
          versions_(scope.versions)
    {
    }

private:
    bool check(CatalogLine& line) const override { return ncdu_checks(line); }

    void open_directory(std::string_view path, const EntryAttributes* own, bool counts) override
    {
        Frame frame{};
        if (frames_.empty()) {
            write_ncdu_header(out_, version_, std::time(nullptr));
            output_char(out_, '[');
            write_ncdu_entry(out_, path_without_slash(path), own, own != nullptr, counts, versions_,
                             buffer_);
        } else {
            frame = frames_.back();
            output_text(out_, ",\n[");
            write_ncdu_entry(out_, last_component(path), own,
                             own != nullptr && (!frame.has_dev || own->dev != frame.dev), counts,
                             versions_, buffer_);
        }
        if (own != nullptr) {
            frame = {true, own->dev};
        }
        frames_.push_back(frame);
    }

    void file(std::string_view path, const EntryAttributes& attributes) override
    {
        output_text(out_, ",\n");
        write_ncdu_entry(out_, path.substr(path.rfind('/') + 1), &attributes, false, true,
                         versions_, buffer_);
    }

    void close_directory() override
    {
        frames_.pop_back();
        output_text(out_, frames_.empty() ? "]]\n" : "]");
    }

    struct Frame {
        bool has_dev; // the device of the nearest directory with a row
        std::int64_t dev;
    };
    OutputBuffer& out_;
    const char* version_;
    Versions versions_;
    std::vector<Frame> frames_;
    std::string buffer_;
};

class SortedDuWriter final : public SortedTreeWriter {
public:
    SortedDuWriter(OutputBuffer& out, const TreeScope& scope, int max_depth, bool human_sizes)
        : SortedTreeWriter(scope, true, max_depth), out_(out), human_sizes_(human_sizes)
    {
    }

private:
    void closed(const ClosedDirectory& directory) override
    {
        write_du_line(out_, directory.total, directory.path, human_sizes_);
    }

    OutputBuffer& out_;
    bool human_sizes_;
};

class SortedByWriter final : public SortedTreeWriter {
public:
    SortedByWriter(OutputBuffer& out, const TreeScope& scope, std::vector<ByKey> keys,
                   const ByStyle& style)
        : SortedTreeWriter(scope, false, -1), out_(out), classes_(std::move(keys)), style_(style)
    {
    }

private:
    std::uint32_t tally_of(const CatalogLine& line) override { return classes_.class_of(line); }
    void write_totals(const std::vector<BackupTree::Tally>& tallies) override
    {
        classes_.write(out_, tallies, style_);
    }

    OutputBuffer& out_;
    ClassTable classes_;
    ByStyle style_;
};

} // namespace

std::unique_ptr<RowWriter> make_sorted_du_writer(OutputBuffer& out, const TreeScope& scope,
                                                 int max_depth, bool human_sizes)
{
    return std::make_unique<SortedDuWriter>(out, scope, max_depth, human_sizes);
}

std::unique_ptr<RowWriter> make_sorted_ncdu_writer(OutputBuffer& out, const TreeScope& scope,
                                                   const char* version)
{
    return std::make_unique<SortedNcduWriter>(out, scope, version);
}

std::unique_ptr<RowWriter> make_sorted_qdirstat_writer(OutputBuffer& out, const TreeScope& scope,
                                                       const char* version)
{
    return std::make_unique<SortedQdirstatWriter>(out, scope, version);
}

std::unique_ptr<RowWriter> make_sorted_by_writer(OutputBuffer& out, const TreeScope& scope,
                                                 std::vector<ByKey> keys, const ByStyle& style)
{
    return std::make_unique<SortedByWriter>(out, scope, std::move(keys), style);
}

std::unique_ptr<RowWriter> make_by_writer(OutputBuffer& out, const TreeScope& scope,
                                          std::vector<ByKey> keys, const ByStyle& style)
{
    return std::make_unique<ByWriter>(out, scope, std::move(keys), style);
}

std::unique_ptr<RowWriter> make_du_writer(OutputBuffer& out, const TreeScope& scope, int max_depth,
                                          bool human_sizes)
{
    return std::make_unique<DuWriter>(out, scope, max_depth, human_sizes);
}

std::unique_ptr<RowWriter> make_ncdu_writer(OutputBuffer& out, const TreeScope& scope,
                                            const char* version)
{
    return std::make_unique<NcduWriter>(out, scope, version);
}

std::unique_ptr<RowWriter> make_qdirstat_writer(OutputBuffer& out, const TreeScope& scope,
                                                const char* version)
{
    return std::make_unique<QdirstatWriter>(out, scope, version);
}

std::unique_ptr<RowWriter> make_treemap_writer(OutputBuffer& out, const TreeScope& scope, int width,
                                               int height)
{
    return std::make_unique<TreemapWriter>(out, scope, width, height);
}

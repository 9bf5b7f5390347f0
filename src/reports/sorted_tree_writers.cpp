#include "sorted_tree_writers.h"

#include "by_totals.h"
#include "du_listing.h"
#include "ncdu_export.h"
#include "qdirstat_cache.h"
#include "sorted_tree.h"

#include <ctime>
#include <string>
#include <utility>
#include <vector>

namespace {

// Rows in path order cannot follow a hard-linked file whose first link a
// later row makes a directory: its bytes would count nowhere.
const char sorted_link_lost[] =
    "a hard-linked file's first link is a directory in a later row, and its other links went "
    "by before: its bytes belong to one of them, which path order cannot tell; total these "
    "rows without --sorted";

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
        notice(line);
        return true;
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
        return {shortfall(), false, false, note()};
    }

private:
    virtual std::uint32_t tally_of(const CatalogLine& /*line*/) { return BackupTree::none; }
    virtual void write_totals(const std::vector<BackupTree::Tally>& /*tallies*/) {}
    // Notes what the report needs to know of a row that the tree took.
    virtual void notice(const CatalogLine& /*line*/) {}
    virtual std::string shortfall() const { return {}; }
    virtual std::string note() const { return {}; }
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
    void open_root(std::string_view name) override
    {
        lines_.header(version_);
        lines_.set_root(name);
        ++depth_;
        lines_.directory({}, nullptr, false);
    }

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

    std::string shortfall() const override { return omission_message(omissions_); }

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
    void notice(const CatalogLine& line) override { omissions_.check(line); }

    std::string note() const override { return omissions_.message(); }

    void open_root(std::string_view name) override
    {
        write_ncdu_header(out_, version_, std::time(nullptr));
        output_char(out_, '[');
        write_ncdu_entry(out_, name, nullptr, false, false, versions_, buffer_);
        frames_.push_back({});
    }

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
    NcduOmissions omissions_;
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
        if (directory.file) {
            write_du_path_line(out_, directory.total, directory.path, human_sizes_);
        } else {
            write_du_line(out_, directory.total, directory.path, human_sizes_);
        }
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

#include "tree_writers.h"

#include "treemap_svg.h"

#include <ctime>
#include <string>

namespace {

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
        const Placement placement = add_to_tree(tree_, line);
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
        return {shortfall(), false, false, note()};
    }

private:
    virtual void write(OutputBuffer& out, const BackupTree& tree) = 0;
    // Notes what the report needs to know of a row that the tree took.
    virtual void notice(const CatalogLine& /*line*/) {}
    // What the report written had to leave out, if anything: for a refusal,
    // and for a note.
    virtual std::string shortfall() const { return {}; }
    virtual std::string note() const { return {}; }
    // Whatever else the report sums, beside the bytes that the tree totals.
    virtual bool fits(const BackupTree& /*tree*/) const { return true; }

    OutputBuffer& out_;
    BackupTree tree_;
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

} // namespace

std::unique_ptr<RowWriter> make_treemap_writer(OutputBuffer& out, const TreeScope& scope, int width,
                                               int height)
{
    return std::make_unique<TreemapWriter>(out, scope, width, height);
}

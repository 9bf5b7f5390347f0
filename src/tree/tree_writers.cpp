#include "tree_writers.h"

#include "backup_tree.h"
#include "du_listing.h"
#include "ncdu_export.h"

#include <ctime>

namespace {

// Builds the tree; headers and empty lines are no entries.
class TreeWriter : public RowWriter {
public:
    TreeWriter(OutputBuffer& out, bool keeps_files) : out_(out) { start_tree(tree_, keeps_files); }

    bool take(CatalogLine& line) final
    {
        if (line.verdict == Verdict::header || line.verdict == Verdict::empty) {
            return true;
        }
        const unsigned long earlier = add_to_tree(tree_, line);
        if (earlier != 0) {
            line.verdict = Verdict::path_given_twice;
            line.other_line = earlier;
            return false;
        }
        return true;
    }

    void finish() final
    {
        finish_tree(tree_);
        write(out_, tree_);
    }

private:
    virtual void write(OutputBuffer& out, const BackupTree& tree) = 0;

    OutputBuffer& out_;
    BackupTree tree_;
};

class DuWriter final : public TreeWriter {
public:
    DuWriter(OutputBuffer& out, int max_depth, bool human_sizes)
        : TreeWriter(out, false), max_depth_(max_depth), human_sizes_(human_sizes)
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
    NcduWriter(OutputBuffer& out, const char* version) : TreeWriter(out, true), version_(version)
    {
    }

private:
    void write(OutputBuffer& out, const BackupTree& tree) override
    {
        write_ncdu_export(out, tree, version_, std::time(nullptr));
    }

    const char* version_;
};

} // namespace

std::unique_ptr<RowWriter> make_du_writer(OutputBuffer& out, int max_depth, bool human_sizes)
{
    return std::make_unique<DuWriter>(out, max_depth, human_sizes);
}

std::unique_ptr<RowWriter> make_ncdu_writer(OutputBuffer& out, const char* version)
{
    return std::make_unique<NcduWriter>(out, version);
}

// What --treemap draws: the tree of the entries that the tree engine
// writes (see sorted_tree.h), from the job's top, with each directory's
// total as --du counts it. Unlike the other reports, a treemap can place
// nothing before it knows every total, so it keeps the tree it draws; but
// only that: an entry too small a share of the bytes met so far to be drawn
// alone however the rest comes is folded into its directory's rest as it
// comes, a directory with all below it as it closes.
#ifndef B64NUM_TREEMAP_TREE_H
#define B64NUM_TREEMAP_TREE_H

#include "keyed_map.h"
#include "sorted_tree.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

struct TreemapFile {
    std::size_t name_at; // in TreemapTree::text, escaped
    std::uint32_t name_length;
    std::uint32_t directory;
    std::uint64_t bytes; // as --du counts them: 0 for a link counted elsewhere
};

struct TreemapDirectory {
    std::size_t path_at; // in TreemapTree::text, escaped, with its '/'
    std::uint32_t path_length;
    std::uint32_t parent;
    std::uint64_t total; // of it and everything below it
    std::vector<std::uint32_t> children;
    std::vector<std::uint32_t> files;
    // The entries too small to draw alone, folded as they came.
    std::uint64_t folded_entries;
    std::uint64_t folded_bytes;
    std::size_t first_file; // of the files below it, which come after it
};

struct TreemapTree {
    std::string text;
    std::vector<TreemapDirectory> directories; // a parent before its children
    std::vector<TreemapFile> files;
    std::uint32_t top = 0;     // what is drawn
    std::uint32_t above = 0;   // directories above the top, which are not drawn
    std::string root_name;     // of the root above several tops, the top; else empty
    std::uint64_t entries = 0; // met, folded or not
    // The bytes of the files of each kind, folded or not: kinds come from
    // names, which anyone chooses.
    KeyedMap<std::string, std::uint64_t> kind_bytes;
    bool disk_usage = false;
};

// The kind of a file whose name is escaped as its client escaped it: its
// extension, lower-cased (see file_kind.h).
std::string kind_of(std::string_view escaped_name);

// Makes the directory `depth` levels below the first, the root above every
// path, the top: the rows gave that depth once they were all read, and
// every directory above the top holds one directory and nothing else.
// `root_name` names the root where it is the top (see root_above_tops).
void set_top(TreemapTree& tree, std::uint32_t depth, std::string_view root_name);

// The path of a directory as a report of one top shows it, escaped: its
// whole path, or the name of the root above several tops.
std::string_view shown_path(const TreemapTree& tree, std::uint32_t directory);
// The last component of a directory's path, escaped.
std::string_view directory_name(const TreemapTree& tree, std::uint32_t directory);
std::string_view file_name(const TreemapTree& tree, const TreemapFile& file);
// A file's path, escaped, into `path`.
void file_path(const TreemapTree& tree, const TreemapFile& file, std::string& path);

// Builds the tree from the entries that the engine writes; the bytes of a
// directory are summed as it closes.
class TreemapBuilder final : public SortedEntryVisitor {
public:
    // `least_share`: an entry is drawn alone only where its bytes are at
    // least this share of the top's total (see least_drawn_share); 0 keeps
    // every entry.
    TreemapBuilder(TreemapTree& tree, double least_share) : tree_(tree), least_share_(least_share)
    {
    }

    // Starts again on an empty tree.
    void reset();

    void open_directory(std::string_view path, const EntryAttributes* own, bool counts) override;
    void open_root(std::string_view name) override;
    void file(std::string_view path, const EntryAttributes& attributes, bool counted) override;
    void close_directory() override;

private:
    std::uint32_t open_one(std::string_view path);
    bool folds(std::uint64_t bytes) const;
    void fold(std::uint32_t directory);

    TreemapTree& tree_;
    double least_share_;
    std::uint64_t met_bytes_ = 0;     // of the entries met: no more than the top's total
    std::vector<std::uint32_t> open_; // the directories open, the deepest last
};

#endif

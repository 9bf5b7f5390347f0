// What --treemap draws: the tree of the entries that the tree engine
// writes (see sorted_tree.h), from the job's top, with each directory's
// total as --du counts it. Unlike the other reports, a treemap can place
// nothing before it knows every total, so it keeps the tree it draws.
#ifndef B64NUM_TREEMAP_TREE_H
#define B64NUM_TREEMAP_TREE_H

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
};

struct TreemapTree {
    std::string text;
    std::vector<TreemapDirectory> directories; // a parent before its children
    std::vector<TreemapFile> files;
    std::uint32_t top = 0;   // what is drawn
    std::uint32_t above = 0; // directories above the top, which are not drawn
    std::string root_name;   // of the root above several tops, the top; else empty
    bool disk_usage = false;
};

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
    explicit TreemapBuilder(TreemapTree& tree) : tree_(tree) {}

    // Starts again on an empty tree.
    void reset();

    void open_directory(std::string_view path, const EntryAttributes* own, bool counts) override;
    void open_root(std::string_view name) override;
    void file(std::string_view path, const EntryAttributes& attributes, bool counted) override;
    void close_directory() override;

private:
    std::uint32_t open_one(std::string_view path);

    TreemapTree& tree_;
    std::vector<std::uint32_t> open_; // the directories open, the deepest last
};

#endif

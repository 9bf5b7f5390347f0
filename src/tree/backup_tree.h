// The tree of directories and files that a backup job's rows describe, as
// du and ncdu would see it if the job were restored: subtree totals, hard
// links counted once, and directories that have no row of their own. Or,
// over the rows of several jobs, where the backed-up bytes went (see
// Versions).
//
// A row's first column is its full path, known by its identity (see
// path_identity.h): escaped as psql's COPY escapes it, a directory's path
// with a trailing '/', a file's path its directory's path and its name. Escapes never hold '/', so
// paths are split as they came; names are unescaped only where output needs their bytes.
#ifndef B64NUM_BACKUP_TREE_H
#define B64NUM_BACKUP_TREE_H

#include "byte_store.h"
#include "catalog_line.h"
#include "path_index.h"

#include <cstddef>
#include <cstdint>
#include <deque>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

// Bytes summed over a tree: wide enough that no sum of rows wraps, so that
// a total past what a 64-bit number holds is found, not printed wrapped.
__extension__ typedef unsigned __int128 ByteSum;

// What du and ncdu show of an entry, from its LStat value.
struct EntryAttributes {
    std::int64_t dev, ino, mode, nlink, uid, gid, size, blocks, mtime;
};

struct TreeDirectory {
    std::string_view path; // with its trailing '/'; "" for the root above every path
    std::uint32_t parent;
    std::uint32_t depth; // levels below the root above every path
    bool has_row;
    bool row_counts;            // its row is one the selections let through
    bool empty;                 // once finished: nothing at or below it counts
    unsigned long line;         // of the row that made it, for messages
    std::uint32_t file_rows;    // rows of files directly in it that count
    std::uint32_t child_nodes;  // directories made directly in it
    std::uint32_t cleared_at;   // Versions::latest: rows below it before this one are gone
    EntryAttributes attributes; // when has_row
    std::uint64_t total;        // bytes at or below it, once the tree is finished and not too_large
    std::vector<std::uint32_t> children; // sorted by name, once the tree is finished
};

struct TreeFile {
    std::string_view name; // escaped
    std::uint32_t directory;
    bool gone;    // its path's later row is a directory's
    bool counted; // its size counts in the totals: false for a hard link counted elsewhere
    EntryAttributes attributes;
};

// What counts of a path that rows give more than once, as the rows of
// several jobs do. A path's identity ignores a trailing '/'. Over several
// jobs a path may also be a file in one and hold paths in another.
enum class Versions {
    // The first row counts; the others are refused, and so is a row that
    // puts a file where paths lie below it, or a path below a file.
    first,
    // The last row counts, as a restore of a full backup and the
    // incrementals after it brings it back: a row that puts a file at a
    // path takes away what earlier rows put below it, and a path below a
    // file that comes later makes it a directory again.
    latest,
    // Every row counts: the bytes that the jobs backed up, hard links not
    // merged. A path holds the sizes of all its rows and the type of its
    // last, but a path that holds paths is a directory.
    all,
};

// Which rows a tree counts: of a path that rows give more than once, and
// from which top (--under), by its real bytes; empty for the deepest
// directory that holds every row.
struct TreeScope {
    Versions versions = Versions::first;
    std::string top_path;
    bool disk_usage = false; // bytes are blocks times 512, as du counts them without -b
};

struct BackupTree {
    bool keeps_files = false;  // ncdu lists files; du needs only their sizes
    bool merges_links = false; // each hard-linked file counts once, as du counts it
    Versions versions = Versions::first;
    ByteStore store;
    std::vector<TreeDirectory> directories;        // a parent always before its children
    std::vector<std::string_view> directory_paths; // the same paths, compact for lookups
    PathIndex directory_index;
    struct Row {
        std::string_view path; // without a trailing '/'
        unsigned long line;
    };
    std::vector<Row> rows; // a path each, to find a path given again
    static constexpr std::uint32_t none = UINT32_MAX;
    // What a path's row put into the tree, so that a later row can take it
    // out: beside each of `rows` when later rows count, empty otherwise.
    struct Placed {
        std::uint32_t directory; // the directory it is, or the one that holds it
        std::uint32_t file;      // into files, or none
        std::uint32_t link;      // into links, or none
        std::uint32_t order;     // of its row among all rows, from 1
        bool is_directory;
        bool live;             // not taken out
        bool counts;           // the selections let its row through
        std::uint32_t tally;   // the tally it counts in, or none
        std::uint64_t counted; // bytes it added to bytes[directory]
        std::uint64_t size;    // its size, summed over its rows with Versions::all
        std::uint64_t blocks;  // likewise
    };
    std::vector<Placed> placed;
    std::uint32_t rows_taken = 0;
    // Rows of files whose path is a directory's too, to settle once all
    // rows are in: by order with Versions::latest, as a directory with
    // Versions::all.
    std::vector<std::uint32_t> conflicts;
    bool has_clearings = false; // some directory's cleared_at is set
    PathIndex row_index;
    std::deque<TreeFile> files;                                // when keeps_files
    std::vector<std::vector<const TreeFile*>> directory_files; // sorted by name, once finished
    struct Link {
        std::int64_t dev, ino;
        std::string_view path;
        std::uint32_t directory;
        std::uint32_t tally; // or none
        bool live;           // not replaced by a later row
        std::uint64_t size;
    };
    std::vector<Link>
        links; // files with more than one link, for du's count, when no files are kept
    std::vector<ByteSum> bytes; // of each directory and its files, links aside
    // Bytes and entries of the rows that count, by the tally each row was
    // given (a class of --by), each hard-linked file once as du counts it;
    // for a tree that keeps no files.
    struct Tally {
        std::uint64_t entries = 0;
        ByteSum bytes = 0;
    };
    std::vector<Tally> tallies;
    std::uint32_t top = 0;      // once finished: 0 for the root above several tops
    bool tops_absolute = false; // with several tops, every one is absolute (see root_above_tops)
    std::string copy_form;      // a path that its client escaped otherwise than COPY does
    std::string with_slash;     // a directory's path with its '/'
    std::string below_path;     // a file's path as a directory's
    // Directories that a row needs and that are not there yet, deepest
    // first, with their hashes.
    std::vector<std::pair<std::string_view, std::uint32_t>> missing;
    bool sum_wrapped = false;    // sizes of one path's rows passed 2^63 - 1 (Versions::all)
    bool blocks_wrapped = false; // so did its block counts
    bool too_large = false;      // once finished: its total passes 2^63 - 1
    std::string top_path;        // --under: the top, by its real bytes; empty for the deepest
    bool disk_usage = false;     // sizes are blocks times 512
};

// Counts `bytes` and an entry of a row in tally `index` (none for no
// tally), or with `sign` -1 takes them out.
void add_to_tally(std::vector<BackupTree::Tally>& tallies, std::uint32_t index, std::uint64_t bytes,
                  int sign);

// Makes `tree`, as it is constructed, a tree for du's totals
// (`merges_links`), ncdu's entries (`keeps_files`), or both, as a treemap
// draws them.
void start_tree(BackupTree& tree, bool keeps_files, bool merges_links, const TreeScope& scope);

// Whether a row found its place in the tree, or the line of the row it
// clashes with (Versions::first only).
struct Placement {
    Verdict verdict; // Verdict::row, path_given_twice, file_over_paths or below_a_file
    unsigned long other_line;
    // Where the verdict is not the row's but an earlier one's, which gives
    // up its place: that row's order (see TreeRow); 0 for the row itself.
    std::uint64_t refused_order = 0;
};

// Adds a row that the rules of a tree passed (see RowRules): its path is
// the first column, and its type comes from its mode, so that a directory
// whose path lacks the trailing '/' is still a directory. A row refused
// places nothing. A row that the selections do not let through takes its
// path, as rows of several jobs do, but counts no bytes, and a directory
// is listed only where a row that counts lies at or below it. A row that
// counts counts in `tally` too, unless it is BackupTree::none.
Placement add_to_tree(BackupTree& tree, const CatalogLine& line,
                      std::uint32_t tally = BackupTree::none);

// Settles the paths that are a file's and a directory's (see Versions);
// counts each hard-linked file once, in the directory of its link whose
// path comes first by its real bytes, when links are merged; sums the
// subtrees, sorts children by name, leaves out directories that nothing is
// left in, and finds the top: the deepest directory that holds every row, or the one of top_path.
// Sets too_large when the total passes 2^63 - 1, where no total is right.
void finish_tree(BackupTree& tree);

// The disk usage of every entry, blocks times 512, summed as ncdu sums
// it, each link of a file apart: false when it passes 2^63 - 1.
bool disk_usage_fits(const BackupTree& tree);

// The number of '/'-separated levels between `directory` and the top; with
// several tops, between it and its top, the root above them being -1.
int levels_below_top(const BackupTree& tree, std::uint32_t directory);

// With --under a file's path, that file's path as its row gave it, escaped;
// otherwise empty.
std::string_view under_file(const BackupTree& tree);

// Whether no one directory holds every row (see root_above_tops): the top
// is the root above them.
bool has_several_tops(const BackupTree& tree);

// A directory's path as reports of one root show it, escaped: without its
// trailing '/', the root above several tops as root_above_tops names it.
std::string_view shown_path(const BackupTree& tree, std::uint32_t directory);

// The last component of a directory's path, escaped: "" for the root "/".
std::string_view last_component(std::string_view directory_path);

// A directory's path without its trailing '/', escaped: "/" for the root,
// "." for the root above every path.
std::string_view path_without_slash(std::string_view directory_path);

#endif

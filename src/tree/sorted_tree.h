// The tree engine of --du, --ncdu, --qdirstat, --treemap and --by: the
// totals of a backup tree whose rows come in path order (see path_order.h), sorted by
// the tool or by the catalog (--sorted), as du walks a disk: one directory
// at a time, keeping only the directories open above the current row, the
// files there that a later row could still put paths below, and the inodes
// of hard-linked files. Memory does not grow with the rows. Directories are
// given as the input closes them, children before their parent; with the
// rows' input order known, the versions of a path count as that order says
// (see Versions).
#ifndef B64NUM_SORTED_TREE_H
#define B64NUM_SORTED_TREE_H

#include "keyed_map.h"
#include "tree_row.h"
#include "tree_types.h"

#include <cstdint>
#include <deque>
#include <string>
#include <vector>

// A directory that every row at or below it has gone by.
struct ClosedDirectory {
    std::string path; // escaped, with its trailing '/'; "" for the root above every path
    std::uint32_t depth;
    std::uint64_t total; // of the rows that count at or below it
    bool file = false;   // instead the file that --under names, with its path: the whole tree
};

class ClosedDirectoryVisitor {
public:
    // A directory at or below the top that holds a row that counts (and
    // with max_levels, no more levels below the top).
    virtual void closed(const ClosedDirectory& directory) = 0;

protected:
    ClosedDirectoryVisitor() = default;
    ClosedDirectoryVisitor(const ClosedDirectoryVisitor&) = default;
    ClosedDirectoryVisitor& operator=(const ClosedDirectoryVisitor&) = default;
    ~ClosedDirectoryVisitor() = default;
};

// What --ncdu and --qdirstat write, in path order from the top: each
// directory that a row that counts lies at or below, before every entry
// below it, and each file that counts, inside its directory.
class SortedEntryVisitor {
public:
    // `path` escaped, with its '/'; `own` its row, or nullptr for one
    // without a row, and whether that row counts.
    virtual void open_directory(std::string_view path, const EntryAttributes* own, bool counts) = 0;
    // The root above several tops (see root_above_tops), named `name`,
    // instead of the directory of path "".
    virtual void open_root(std::string_view name) = 0;
    // `counted`: its bytes count in the totals, false for a hard link whose
    // inode another link counted (where links are merged).
    virtual void file(std::string_view path, const EntryAttributes& attributes, bool counted) = 0;
    virtual void close_directory() = 0;

protected:
    SortedEntryVisitor() = default;
    SortedEntryVisitor(const SortedEntryVisitor&) = default;
    SortedEntryVisitor& operator=(const SortedEntryVisitor&) = default;
    ~SortedEntryVisitor() = default;
};

struct SortedTree {
    struct Open {
        std::size_t path_end;       // of its path in `path`
        ByteSum bytes;              // of the rows that count at or below it so far
        std::uint64_t counted_rows; // that count at or below it
        bool has_row;
        bool row_counts;
        bool written;                    // opened by `entries`
        std::uint64_t own_counted;       // its own row and its files, that count
        std::uint32_t nonempty_children; // closed, holding rows that count
        std::uint32_t child_top;         // the depth of the last one's top (see top_depth)
        // Versions::latest: a file at its path came later than the rows
        // at or below it whose order is less, and took them away.
        std::uint64_t cleared_before;
        EntryAttributes attributes;
    };

    // The row of the path read last: a later row of the same path may
    // replace it or add to it.
    struct Row {
        bool valid = false;
        bool is_directory;
        bool counts;
        std::uint32_t tally;
        LinkClaim link;
        unsigned long line;
        std::uint64_t order;
        std::string identity; // its path without a trailing '/'
        EntryAttributes attributes;
    };

    // A file that a later row could put paths below.
    struct Candidate {
        std::size_t path_end; // of its path in `candidate_path`
        std::uint32_t depth;  // of its directory
        bool counts;
        bool first_link;   // counted as the first link of its inode
        bool link_settled; // by the rows, not by `linked`
        bool tallied;      // its bytes count: no other link of its inode counted first
        std::uint32_t tally;
        unsigned long line;
        std::uint64_t order;
        std::uint64_t counted;
        EntryAttributes attributes;
    };

    // A file's rows that the directory at its path takes (Versions::all).
    struct Inherited {
        bool valid = false;
        std::uint32_t depth;
        bool counts;
        std::uint32_t tally;
        std::uint64_t counted;
        EntryAttributes attributes;
    };

    // A file settled while a directory below its own is open, to be
    // written once its own is the deepest again.
    struct Unwritten {
        std::uint32_t depth;
        std::string path;
        EntryAttributes attributes;
        bool counted;
    };

    ByteSum entry_blocks = 0;              // of the entries written, which ncdu and QDirStat sum
    SortedEntryVisitor* entries = nullptr; // what --ncdu and --qdirstat write, or none
    std::uint64_t counted_rows = 0;
    std::uint64_t counting_candidates = 0; // files that count and that paths may still replace
    std::vector<Open> open;                // the root above every path first
    // Each a prefix of the next, their paths the prefixes of `candidate_path`.
    std::vector<Candidate> candidates;
    std::vector<Unwritten> unwritten;
    std::vector<Tally> tallies;
    std::string top_path;       // --under, by its real bytes
    std::string under_file;     // the path, escaped, of a file that --under names
    std::string path;           // of the deepest open directory, escaped, with its '/'
    std::string candidate_path; // of the last candidate
    std::string scratch;
    std::string copy_form; // a path that its client escaped otherwise than COPY does
    // The inodes of hard-linked files met, where the rows do not say which
    // link counts (LinkClaim::undecided), with the number of links that did
    // not count since one before them did: a link count may be wrong, so
    // that none leaves before the end.
    KeyedMap<InodeKey, std::uint64_t> linked;
    std::deque<ClosedDirectory> held; // closed, until they are known to be at or below the top
    // The inodes whose first link, as the rows settled it, never counted:
    // the next link to count takes its place.
    KeyedMap<InodeKey, bool> orphans;
    // The orders of hard-linked files' rows that later rows took out: where
    // one was its inode's first link, its bytes belong to another link, which
    // the rows are read again to find, with these rows claiming none.
    std::vector<std::uint64_t> taken_links;
    Inherited inherited;
    Row pending;
    Versions versions = Versions::first;
    int max_levels = -1; // below the top, of the directories listed; -1 for all
    // With entries written: the depth of the top, which the rows, read once
    // before, gave (see top_depth), and with the root above every path as
    // the top, whether every path is absolute (see root_above_tops).
    std::uint32_t entry_top = 0;
    bool tops_absolute = false;
    std::uint32_t lca_depth = 0;    // of the deepest directory holding every row that counts
    std::uint32_t lowest_since = 0; // the least depth left open since the last such row
    bool disk_usage = false;
    // Each hard-linked file counts once, as du counts it; ncdu and QDirStat
    // count each link themselves, and sum the disk usage too.
    bool merges_links = true;
    bool sums_blocks = false;
    bool every_path_absolute = true; // of the rows that count, for the root above several tops
    std::uint32_t top_depth = 0;     // once finished: of the top, 0 for the root above every path
    // The rows' order says which of a path's rows is later, as rows in
    // input order do; rows in path order (--sorted) say so only of rows
    // with the same spelling, a file's and a directory's coming apart.
    bool order_known = true;
    // Versions::latest: a file taken out by a later row below it, whose
    // directory opens next with the file's order (see Open).
    std::uint64_t clearing = 0;
    std::uint32_t clearing_depth = 0;
    bool lists_directories = false;
    // A link that counted for others was taken out by a later row: the
    // others, gone by, cannot count in its place.
    bool link_lost = false;
    bool any_row = false;
    bool any_counted = false;
    bool too_large = false;      // a total passes 2^63 - 1
    bool blocks_wrapped = false; // a path's rows' block counts passed 2^63 - 1
};

void start_sorted_tree(SortedTree& tree, const TreeScope& scope, bool lists_directories,
                       int max_levels, SortedEntryVisitor* entries = nullptr);

// Adds `row`, which comes at or after the last one in path order (rows of
// one path in their input order where order_known); directories that it
// closes go to `visitor` once they are known to be at or below the top.
// With Versions::latest, a row that a later file at a path above it took
// away is passed over; without order_known, such a file is
// Verdict::order_unknown, after which no row may be added.
Placement add_sorted_row(SortedTree& tree, const TreeRow& row, ClosedDirectoryVisitor& visitor);

// Closes every directory still open: the top among them, and those at or
// below it, go to `visitor`.
void finish_sorted_tree(SortedTree& tree, ClosedDirectoryVisitor& visitor);

#endif

// Which link of a hard-linked inode counts its bytes, as du counts each
// inode once: the first of its links in path order. Over rows that the
// tool holds sorted, this is settled before the tree is built, so that the
// engine keeps no table of every inode it meets, which would grow with the
// job: the rows are read once and each link noted by its inode and its
// place among the rows; the notes are sorted by inode, the first place of
// each inode kept, and those places sorted, to be read beside the rows.
// Both sorts spill to temporary files as the rows' sort does.
#ifndef B64NUM_FIRST_LINKS_H
#define B64NUM_FIRST_LINKS_H

#include "tree_row.h"

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

class ExternalSort;

class FirstLinks {
public:
    // Sorts in memory up to `budget` bytes in all, beyond that in
    // temporary files in `directory`.
    FirstLinks(std::size_t budget, std::string directory);
    ~FirstLinks();
    FirstLinks(const FirstLinks&) = delete;
    FirstLinks& operator=(const FirstLinks&) = delete;

    // Reads `rows` once, from the first: the rows whose orders
    // `unclaiming` holds (sorted) claim no inode. False if a temporary
    // file could not be written or read: see error(), and the rows' own.
    bool settle(ExternalSort& rows, const std::vector<std::uint64_t>& unclaiming);

    // Starts over from the first row, for another reading of the rows.
    void rewind();

    // The claim of the next row of the rows, in their order.
    LinkClaim claim(const TreeRow& row);

    // Whether a row below a link's path came, which may take the link out
    // and its place as the first with it: the rows are read again then
    // (see SortedTree::taken_links).
    bool may_be_taken_out() const { return may_be_taken_out_; }

    // errno of the first failed write or read of a temporary file, or 0.
    int error() const { return error_; }

private:
    bool is_link(const TreeRow& row) const;
    void read_next_first();

    std::size_t budget_;
    std::string directory_;
    std::unique_ptr<ExternalSort> firsts_; // the places of the first links, in order
    std::vector<std::uint64_t> unclaiming_;
    std::uint64_t place_ = 0;      // of the next row
    std::uint64_t next_first_ = 0; // the place of the next first link
    bool any_first_ = false;       // left to read
    bool may_be_taken_out_ = false;
    int error_ = 0;
};

#endif

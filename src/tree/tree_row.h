// A row as the tree engine takes it: its path, what du and ncdu show of it,
// whether it counts, and where it came in the input. The tree modes sort
// their rows by path first; a row travels through the sort as a record
// whose key is its place in path order and whose payload is the rest.
#ifndef B64NUM_TREE_ROW_H
#define B64NUM_TREE_ROW_H

#include "catalog_line.h"
#include "tree_types.h"

#include <cstdint>
#include <string>
#include <string_view>

// Whether a row's bytes are those of its inode where hard links count once:
// `undecided` for the engine to find out from the inodes it met, or else
// settled before (see first_links.h): `none` for a row that is no link,
// `first` for the link that counts, `later` for the others.
enum class LinkClaim : std::uint8_t { undecided, none, first, later };

struct TreeRow {
    std::string_view path; // the first column, as its client escaped it
    EntryAttributes attributes;
    // Its place in the input, inputs one after another: a later row's is
    // greater, and a later row of a path is a later version of it.
    std::uint64_t order;
    std::uint32_t input; // for messages: which input
    unsigned long line;  // and which line of it
    std::uint32_t tally; // the tally it counts in, or no_tally
    bool selected;       // the selections let it through
    LinkClaim link = LinkClaim::undecided;
};

// The input and the line of a row, from its order.
std::uint32_t input_of_order(std::uint64_t order);
unsigned long line_of_order(std::uint64_t order);

// The row of `line`, line `line.number` of input `input`.
TreeRow tree_row(const CatalogLine& line, std::uint32_t input, std::uint32_t tally);

// The payload of a row's record, beside its key `key` (see path_order.h).
void encode_tree_row(const TreeRow& row, std::string_view key, std::string& payload);

// The row of a record; its path points into `key` or `payload`.
void decode_tree_row(std::string_view key, std::string_view payload, TreeRow& row);

// Of the row of a record, only what says whether it is a hard link: its
// order, whether it counts, and its device, inode, mode and link count.
void decode_link_fields(std::string_view payload, TreeRow& row);

#endif

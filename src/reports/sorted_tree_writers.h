// The writers of --du, --ncdu, --qdirstat and --by over rows in path order
// (--sorted): as the tree writers of tree_writers.h, one directory at a
// time.
#ifndef B64NUM_SORTED_TREE_WRITERS_H
#define B64NUM_SORTED_TREE_WRITERS_H

#include "by_totals.h"
#include "row_writers.h"
#include "tree_types.h"

#include <cstddef>
#include <memory>
#include <string>
#include <vector>

// How a tree writer gets its rows in path order: as they come, or sorted
// in memory up to `buffer_size` and in temporary files in `directory`.
struct TreeSort {
    bool presorted = true;
    std::size_t buffer_size = std::size_t{256} << 20;
    std::string directory = "/tmp";
};

// The same --du, --ncdu, --qdirstat and --by, of rows in path order (see
// sorted_tree.h): in memory that does not grow with the rows, --du listing
// each directory as the input closes it, children before their parent,
// --ncdu and --qdirstat writing each entry as its row goes by, from the
// root of the paths or --under's; --du with `json` as one document (see
// du_listing.h).
std::unique_ptr<RowWriter> make_sorted_du_writer(OutputBuffer& out, const TreeScope& scope,
                                                 const TreeSort& sort, int max_depth,
                                                 bool human_sizes, bool json = false);
std::unique_ptr<RowWriter> make_sorted_ncdu_writer(OutputBuffer& out, const TreeScope& scope,
                                                   const TreeSort& sort, const char* version);
std::unique_ptr<RowWriter> make_sorted_qdirstat_writer(OutputBuffer& out, const TreeScope& scope,
                                                       const TreeSort& sort, const char* version);
// The treemap of the tree that --du totals, `width` by `height` pixels (see
// treemap_svg.h), which holds the tree it draws.
std::unique_ptr<RowWriter> make_treemap_writer(OutputBuffer& out, const TreeScope& scope,
                                               const TreeSort& sort, int width, int height);
std::unique_ptr<RowWriter> make_sorted_by_writer(OutputBuffer& out, const TreeScope& scope,
                                                 const TreeSort& sort, std::vector<ByKey> keys,
                                                 const ByStyle& style);

#endif

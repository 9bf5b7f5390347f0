// The writer of --treemap, which builds a backup tree from the rows and
// draws it once the last input is read.
#ifndef B64NUM_TREE_WRITERS_H
#define B64NUM_TREE_WRITERS_H

#include "backup_tree.h"
#include "field_list.h"
#include "row_writers.h"

#include <memory>
#include <vector>

// The tree's treemap, `width` by `height` pixels (see treemap_svg.h).
std::unique_ptr<RowWriter> make_treemap_writer(OutputBuffer& out, const TreeScope& scope, int width,
                                               int height);

#endif

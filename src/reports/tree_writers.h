// The writers of the modes that build a backup tree from the rows and draw
// from it once the last input is read: --ncdu, --qdirstat and --treemap.
#ifndef B64NUM_TREE_WRITERS_H
#define B64NUM_TREE_WRITERS_H

#include "backup_tree.h"
#include "field_list.h"
#include "row_writers.h"

#include <memory>
#include <vector>

// The tree in ncdu's export format (see ncdu_export.h), stamped with the
// time it is written.
std::unique_ptr<RowWriter> make_ncdu_writer(OutputBuffer& out, const TreeScope& scope,
                                            const char* version);

// The tree as a QDirStat cache file (see qdirstat_cache.h).
std::unique_ptr<RowWriter> make_qdirstat_writer(OutputBuffer& out, const TreeScope& scope,
                                                const char* version);

// The tree's treemap, `width` by `height` pixels (see treemap_svg.h).
std::unique_ptr<RowWriter> make_treemap_writer(OutputBuffer& out, const TreeScope& scope, int width,
                                               int height);

#endif

// The squarified treemap (Bruls, Huizing and van Wijk, 2000) of a backup
// tree: each entry a rectangle whose area is its bytes, nested in its
// directory's rectangle below a band for the directory's name, where the
// directory's own bytes (its own entry's size) take their share beside its
// entries. Siblings are placed largest first, in rows that take another
// sibling while that makes the row's worst aspect ratio better. Entries too
// small to see are not laid out alone: each directory's are one rectangle,
// its rest.
#ifndef B64NUM_TREEMAP_LAYOUT_H
#define B64NUM_TREEMAP_LAYOUT_H

#include "treemap_tree.h"

#include <cstddef>
#include <cstdint>

struct Rect {
    double x, y, width, height;
};

// The height of the band above a directory's entries that holds its name.
constexpr double name_band = 16;

// Takes what the layout draws, in the order a document nests it: a
// directory, then its entries, then the end of the directory.
class TreemapVisitor {
public:
    TreemapVisitor() = default;
    TreemapVisitor(const TreemapVisitor&) = delete;
    TreemapVisitor& operator=(const TreemapVisitor&) = delete;
    virtual ~TreemapVisitor() = default;

    // `band` is where its name goes, as high as name_band; 0 high when
    // the rectangle is too small for a name.
    virtual void open_directory(std::uint32_t directory, const Rect& rect, const Rect& band) = 0;
    virtual void file(const TreemapFile& file, std::uint64_t bytes, const Rect& rect) = 0;
    // The bytes of `directory`'s own entry.
    virtual void own(std::uint32_t directory, std::uint64_t bytes, const Rect& rect) = 0;
    // The entries of `directory` too small to draw alone.
    virtual void rest(std::uint32_t directory, std::uint64_t entries, std::uint64_t bytes,
                      const Rect& rect) = 0;
    virtual void close_directory() = 0;
};

// Lays out `tree` from its top in `canvas`; an entry whose area
// would be under `smallest` square pixels goes into its directory's rest.
// Returns the number of rectangles; `visitor` may be null, to count them.
std::size_t lay_out_treemap(const TreemapTree& tree, const Rect& canvas, double smallest,
                            TreemapVisitor* visitor);

#endif

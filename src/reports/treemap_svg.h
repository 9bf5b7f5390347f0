// b64num-lstat --treemap: the tree that --du totals, as one SVG document of
// its squarified treemap (see treemap_layout.h). The document is well-formed
// XML in UTF-8 and holds no script and no reference to anything outside it,
// so that it opens anywhere, mail clients included. Names are written as
// markup_text.h escapes them: no name can break the document or add to it.
//
// Every entry drawn is a <rect> with data-path, its path, data-bytes, its
// bytes as --du counts them, and a <title> of both for the browser to show
// on hover; a directory's own bytes are a <rect> of class "own", in the
// directory's colour, with its path and its own bytes; the rest of a
// directory, its entries too small to draw alone, is one <rect> with
// data-rest, their number, and data-bytes, their sum. A name
// is a <text> after its <rect>, and only where it fits. Files are filled by
// kind, the extension of their name lower-cased, and a legend gives the
// colors of the eight kinds with the most bytes.
#ifndef B64NUM_TREEMAP_SVG_H
#define B64NUM_TREEMAP_SVG_H

#include "output_buffer.h"
#include "treemap_tree.h"

constexpr int smallest_treemap_width = 320;
constexpr int smallest_treemap_height = 200;
constexpr int largest_treemap_side = 16384;

// Writes the document of `tree`, which holds an entry at least, `width` by
// `height` pixels.
void write_treemap(OutputBuffer& out, const TreemapTree& tree, int width, int height);

// The least share of the top's total that an entry drawn alone in a
// document `width` by `height` pixels holds.
double least_drawn_share(int width, int height);

#endif

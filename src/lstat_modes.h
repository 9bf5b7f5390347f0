// The modes of b64num-lstat, in one place: for each, the writer of its
// output and the rules its rows are held to.
#ifndef B64NUM_LSTAT_MODES_H
#define B64NUM_LSTAT_MODES_H

#include "lstat_options.h"
#include "output_buffer.h"
#include "row_shape.h"
#include "row_writers.h"

#include <memory>

struct ModeSetup {
    std::unique_ptr<RowWriter> writer;
    RowRules rules;
    // The writer takes the rows that the selections do not let through, to
    // know of them (a tree's paths, --diff's other side); the other modes
    // never see them.
    bool takes_unselected = false;
};

// The writer and the row rules of the mode that `options` ask for, writing
// to `out`.
ModeSetup set_up_mode(const Options& options, OutputBuffer& out);

#endif

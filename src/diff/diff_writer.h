// The writer of --diff: the rows of two inputs, OLD then NEW, compared once
// the second is read.
#ifndef B64NUM_DIFF_WRITER_H
#define B64NUM_DIFF_WRITER_H

#include "diff_listing.h"
#include "field_list.h"
#include "row_writers.h"

#include <memory>

// What a comparison compares and how it reports.
struct DiffStyle {
    FieldSelection compare{}; // the fields whose differences count
    DiffReport report = DiffReport::lines;
    bool human_sizes = false;
    bool disk_usage = false; // DELTA counts blocks times 512
    bool latest = false;     // a path's later row on a side stands (see job_diff.h)
};

// What changed between the first input, OLD, and the second, NEW (see
// job_diff.h and diff_listing.h).
std::unique_ptr<RowWriter> make_diff_writer(OutputBuffer& out, const DiffStyle& style);

// The same of two inputs in path order (--sorted), read at once and
// merged as comm merges, in memory that does not grow with the rows: paths
// come out in path order, a part at a time.
std::unique_ptr<RowWriter> make_sorted_diff_writer(OutputBuffer& out, const DiffStyle& style);

#endif

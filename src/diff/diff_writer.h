// The writer of --diff: the rows of two inputs, OLD then NEW, in path
// order, through the one comparison (see diff_engine.h).
#ifndef B64NUM_DIFF_WRITER_H
#define B64NUM_DIFF_WRITER_H

#include "diff_listing.h"
#include "field_list.h"
#include "row_writers.h"

#include <cstddef>
#include <memory>
#include <string>

// What a comparison compares, how it reports, and how its rows come in
// path order.
struct DiffStyle {
    FieldSelection compare{}; // the fields whose differences count
    DiffReport report = DiffReport::lines;
    bool human_sizes = false;
    bool disk_usage = false; // DELTA counts blocks times 512
    bool latest = false;     // a path's later row on a side stands
    // Each input comes in path order (--sorted): read both at once and
    // merged as comm merges, each path written as it is settled. Otherwise
    // the rows are sorted first, in memory up to `buffer_size` and in
    // temporary files in `directory`, and the report is held until the
    // comparison is whole, so that a refusal prints none of it.
    bool presorted = false;
    std::size_t buffer_size = std::size_t{256} << 20;
    std::string directory = "/tmp";
};

// What changed between the first input, OLD, and the second, NEW.
std::unique_ptr<RowWriter> make_diff_writer(OutputBuffer& out, const DiffStyle& style);

#endif

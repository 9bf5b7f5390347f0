// b64num-lstat --diff: what changed between two backups, one line per path
// that differs, as a summary of the changes, or as JSON Lines.
#ifndef B64NUM_DIFF_LISTING_H
#define B64NUM_DIFF_LISTING_H

#include "job_diff.h"
#include "output_buffer.h"

#include <algorithm>
#include <iterator>

enum class DiffReport {
    lines,   // STATUS TAB DELTA TAB PATH, in byte order of the path
    json,    // {"status":...,"delta":...,"old":ROW,"new":ROW}, in the same order
    summary, // + - T M U, each with TAB, the number of paths, TAB, their DELTA's sum
};

// The counts of a summary, over the parts of a comparison.
struct DiffTotals {
    // Each DELTA lies within 2^63 - 1 either way; a sum of them need not.
    __extension__ typedef __int128 DeltaSum;
    unsigned long paths[change_count] = {};
    DeltaSum sums[change_count] = {};

    bool any() const
    {
        return std::any_of(std::begin(paths), std::end(paths),
                           [](unsigned long count) { return count > 0; });
    }
};

// Writes the report. A path is printed as the side that has it gave it, NEW
// where both do, escaped as the client escaped it. DELTA is NEW's size minus
// OLD's; with `human_sizes` as du -h shows sizes, with its sign. Returns
// false, having written nothing, when a DELTA or a summary's sum passes
// 2^63 - 1 either way. The paths that differ are counted in `totals`.
bool write_diff(OutputBuffer& out, const JobDiff& diff, DiffReport report, bool human_sizes,
                DiffTotals& totals);

// The same for one part of a comparison whose parts come in path order,
// each written as it is done: a summary's counts go to `totals`, which
// write_diff_totals writes at the end.
bool write_diff_part(OutputBuffer& out, const JobDiff& diff, DiffReport report, bool human_sizes,
                     DiffTotals& totals);
bool write_diff_totals(OutputBuffer& out, const DiffTotals& totals, bool human_sizes);

#endif

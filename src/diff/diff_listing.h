// b64num-lstat --diff: what changed between two backups, one line per path
// that differs, as a summary of the changes, or as JSON Lines.
#ifndef B64NUM_DIFF_LISTING_H
#define B64NUM_DIFF_LISTING_H

#include "diff_engine.h"
#include "output_buffer.h"

#include <algorithm>
#include <iterator>
#include <string>

enum class DiffReport {
    lines,   // STATUS TAB DELTA TAB PATH, in path order
    json,    // {"status":...,"delta":...,"old":ROW,"new":ROW}, in the same order
    summary, // + - T M U, each with TAB, the number of paths, TAB, their DELTA's sum
    // The same counts as one JSON document, for monitoring:
    // {"added":{"paths":N,"delta":D},"removed":...,"type":...,"modified":...,"attributes":...}
    summary_json,
};

inline bool is_summary(DiffReport report)
{
    return report == DiffReport::summary || report == DiffReport::summary_json;
}

// The counts of a summary.
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

// Counts a path that differs in `totals`, and writes its line unless the
// report is a summary. A path is printed as the side that has it gave it,
// NEW where both do, escaped as the client escaped it. DELTA is NEW's size
// minus OLD's; with `human_sizes` as du -h shows sizes, with its sign.
// `scratch` holds what a line is built in.
void write_diff_entry(OutputBuffer& out, const DiffEntry& entry, DiffReport report,
                      bool human_sizes, DiffTotals& totals, std::string& scratch);

// The summary's lines, or its document; false, having written nothing,
// when a sum passes 2^63 - 1 either way.
bool write_diff_totals(OutputBuffer& out, const DiffTotals& totals, DiffReport report,
                       bool human_sizes);

#endif

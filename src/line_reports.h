// What b64num-lstat says of the lines that it does not print as they are:
// the first few of each input in full, the rest counted by their cause, so
// that an input of millions of bad lines is told in a dozen lines of
// standard error, not millions.
#ifndef B64NUM_LINE_REPORTS_H
#define B64NUM_LINE_REPORTS_H

#include "verdict.h"

#include <string>
#include <utility>
#include <vector>

constexpr unsigned long lines_reported_in_full = 10;

struct LineReports {
    unsigned long reported = 0;                                 // of this input, in full or not
    std::vector<std::pair<const char*, unsigned long>> counted; // by verdict_reason, past the first
};

// Counts a line reported for `verdict`: true while it is one of the first
// of its input, to report in full.
bool report_in_full(LineReports& reports, Verdict verdict);

// "N more lines refused (M of them: REASON)", REASON the commonest cause
// among the lines not reported in full; empty when there are none.
std::string lines_not_in_full(const LineReports& reports);

#endif

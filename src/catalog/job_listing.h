// The listing of --jobs: the jobs of a selection as TSV, a header line
// first, as an administrator lists them in the catalog's console.
#ifndef B64NUM_JOB_LISTING_H
#define B64NUM_JOB_LISTING_H

#include "job_selection.h"

#include <string>
#include <vector>

// JobId, Client, Level, StartTime, JobFiles, JobBytes, a line a job; names
// escaped as COPY escapes them, so that a TAB or a line feed in one cannot
// make a column.
std::string job_listing(const std::vector<JobRecord>& jobs);

#endif

// The command line of b64num-lstat: its options, read with getopt_long, and
// the messages of misuse.
#ifndef B64NUM_LSTAT_OPTIONS_H
#define B64NUM_LSTAT_OPTIONS_H

#include "buffer_size.h"
#include "by_totals.h"
#include "diff_listing.h"
#include "field_list.h"
#include "long_listing.h"
#include "mode_table.h"
#include "row_selection.h"
#include "tree_types.h"

#include <cstdint>
#include <string>
#include <vector>

// Exit statuses: 0 when all is reported, or for --diff, as diff exits,
// when the inputs are the same, and 1 when they differ.
constexpr int status_incomplete = 1; // a line refused, a report refused or cut short
constexpr int status_no_report = 2;  // misuse, or an input that could not be read
constexpr int status_usage = status_no_report;
constexpr int status_differ = 1;       // --diff: the inputs differ
constexpr int status_diff_trouble = 2; // --diff: any trouble, a refused line included

struct Options {
    Mode mode = Mode::fields;
    FieldSelection fields{};
    bool header = false;
    int du_depth = -1; // levels below the top; -1 for all
    int treemap_width = 1600;
    int treemap_height = 1000;
    Versions versions = Versions::first;
    FieldSelection compare{}; // with --diff
    DiffReport diff_report = DiffReport::lines;
    ListingStyle listing;
    bool times_in_style = false; // -f and --json show times in listing.time's style
    bool disk_usage = false;     // sizes are blocks times 512, as du counts without -b
    bool json = false;           // --json: --du's and --diff --summary's report as one document
    bool csv = false;            // the input is CSV, not TAB-separated
    bool sorted = false;         // the rows come in path order (see path_order.h)
    std::size_t buffer_size = default_buffer_size; // -S: memory for the sort of a tree's rows
    std::string temporary_directory;               // -T, or empty for $TMPDIR
    std::string catalog;                           // --catalog's URI, or $B64NUM_CATALOG with --job
    // --job: the JobIds to read from it, a list an input (OLD's, then NEW's)
    std::vector<std::vector<std::int64_t>> job_lists;
    std::vector<std::string> clients; // --client: or their jobs
    bool chain = false;               // --chain: the jobs a restore of a client uses
    bool has_before = false;          // --before: jobs started before `before`
    std::int64_t before = 0;
    std::string fileset; // --fileset: the client's jobs of this FileSet
    // --progress (1) and --no-progress (0): a progress line on standard
    // error while the rows are read; by default (-1) where it is a terminal.
    int progress = -1;
    RowSelection selection;     // the rows that count
    std::vector<ByKey> by_keys; // with --by
    ByStyle by_style;
    bool help = false;    // print the help and stop
    bool version = false; // print the version and stop
    int first_file = 0;   // the first operand in argv
};

// The help of --help, its synopsis first.
std::string help_text();

// Reads the command line. Returns -1 when the run should go on, otherwise
// the exit status of a usage error, which it has reported.
int parse_options(int argc, char* argv[], Options& options);

// Writes "b64num-lstat: MESSAGE" and a line feed to standard error;
// `message` must quote input with quoted_for_terminal().
void complain(const std::string& message);

#endif

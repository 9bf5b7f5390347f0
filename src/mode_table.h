// The modes of b64num-lstat in one table: the option that chooses each, the
// options it takes beside the selections and --csv, how many inputs it
// reads, whether its rows need the path first, and what its exit statuses
// say. The checks of the command line, the usage lines and the exit
// statuses of --help come from here; a test holds the manual to them.
#ifndef B64NUM_MODE_TABLE_H
#define B64NUM_MODE_TABLE_H

#include <cstddef>

// What b64num-lstat writes: one mode a run.
enum class Mode { fields, json, long_listing, du, ncdu, qdirstat, treemap, diff, by, jobs };

// The options that a mode may take, a bit each.
enum Takes : unsigned {
    takes_fields = 1U << 0,
    takes_header = 1U << 1,
    takes_json = 1U << 2,
    takes_human = 1U << 3,
    takes_time_style = 1U << 4,
    takes_compare = 1U << 5,
    takes_summary = 1U << 6,
    takes_latest = 1U << 7,
    takes_all_versions = 1U << 8,
    takes_sorted = 1U << 9,
    takes_sort_settings = 1U << 10,
    takes_disk_usage = 1U << 11,
    takes_catalog = 1U << 12, // --catalog and a selection of its jobs, for FILE
};

struct OptionTraits {
    Takes bit;
    const char* name; // as messages name it
    const char* does; // what it does, for the message of a mode that does not take it
};

// Every option of Takes, in the order messages name them.
extern const OptionTraits option_table[13];

// What the exit statuses 0, 1 and 2 say.
struct ExitStatuses {
    const char* meaning[3];
};

// A report's, and a comparison's (as diff exits).
extern const ExitStatuses report_statuses;
extern const ExitStatuses comparison_statuses;

struct ModeTraits {
    const char* name;  // the option that chooses it: -f for the mode of no option
    const char* does;  // what it does, for messages
    const char* usage; // its line of the usage, after the program's name
    const ExitStatuses* statuses;
    Mode mode;
    unsigned takes;  // Takes bits
    int inputs;      // 2 for exactly two, OLD and NEW; 0 for any number
    bool reads_tree; // its rows need the path as their first column
};

constexpr std::size_t mode_count = 9;

// Every mode but Mode::json, which is the first one's with --json, in the
// order the usage lists them.
extern const ModeTraits mode_table[mode_count];

const ModeTraits& traits_of(Mode mode);

#endif

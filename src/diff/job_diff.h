// What changed between two backups: the rows of two inputs, OLD and NEW, by
// path, and how a path's row in one differs from its row in the other. A
// path is known by its identity, as the tree modes know it (see
// path_identity.h), so that the same catalog through psql and mysql gives
// the same paths, and a file that became a directory is one path whose
// type changed. An input gives a path once, unless a path's later row is
// to stand (--latest), as a full backup followed by its incrementals gives
// each file at its latest version; otherwise a path given again is noted,
// as rows whose first column is no path give every path again.
#ifndef B64NUM_JOB_DIFF_H
#define B64NUM_JOB_DIFF_H

#include "byte_store.h"
#include "catalog_line.h"
#include "chunked_array.h"
#include "field_list.h"
#include "keyed_map.h"
#include "path_index.h"

#include <array>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

// One status a path, the first that applies, in this order after the two
// that have one side only.
enum class Change : unsigned char {
    none,
    added,      // + only in NEW
    removed,    // - only in OLD
    type,       // T the file type differs
    modified,   // M size, mtime or a column between the path and the LStat value differs
    attributes, // U only the permission bits, or another compared field, differ
};

constexpr int change_count = 6;

// The status as --diff prints it: + - T M U.
char change_letter(Change change);

constexpr int old_side = 0;
constexpr int new_side = 1;

// A path that one side gave twice: where, and where it gave it before.
struct RepeatedPath {
    int side = -1; // none yet
    unsigned long line = 0;
    unsigned long earlier_line = 0;
};

struct JobDiff {
    std::uint32_t compared = 0; // a bit per field whose difference counts
    std::uint32_t kept = 0;     // a bit per field kept of each row
    bool disk_usage = false;    // DELTA counts blocks times 512
    bool latest = false;        // a path's later row on a side stands; else it is repeated
    RepeatedPath repeated;      // the first path given twice, without `latest`
    ByteStore paths;
    ByteStore rows;
    struct Entry {
        const char* path; // its identity
        std::uint32_t length;
        bool slash[2];               // whether the path as each side gave it ended in '/'
        bool selected[2];            // whether the selections let each side's row through
        const unsigned char* row[2]; // what each side keeps of its row, or nullptr
        std::uint32_t line[2];       // of each side's row, for messages; at most UINT32_MAX
    };
    ChunkedArray<Entry> entries;
    PathIndex index;
    // The path as each side gave it, by entry, where its client spelt it
    // otherwise than its identity: a few paths, from mysql -B.
    std::array<KeyedMap<std::uint32_t, std::string_view>, 2> escaped;
    std::string copy_form; // a path whose client spelt it otherwise, while it is looked up
    // Rows taken but not yet placed. Placing a row costs cache misses in the
    // index, its entry and the entry's path, one after the other; a batch
    // fetches each level for all its rows before it needs any of them.
    struct Pending {
        std::uint32_t hash; // of the identity
        int side;
        bool slash;
        bool selected;
        const unsigned char* row;
        std::uint32_t line;
        std::size_t path_start; // in pending_paths: the identity, then the path as given
        std::size_t path_length;
        std::size_t escaped_length; // 0 where it is the identity
    };
    std::vector<Pending> pending;
    std::string pending_paths;
    ByteStore pending_rows; // NEW's, until they are placed
};

// Starts a comparison of the fields `compare`. The rows keep those, mode
// and size (and blocks with `disk_usage`, where DELTA counts blocks times
// 512, as du counts), or with `keep_every_field` all of them, as --json
// prints them. With `latest`, a path's later row on a side stands.
void start_diff(JobDiff& diff, const FieldSelection& compare, bool keep_every_field,
                bool disk_usage, bool latest);

// The message of a path given twice by one side, where only --latest says
// which row stands.
std::string repeated_path_message(const RepeatedPath& repeated);

// Keeps what `side` gives of the row of `line`, which the rules of a tree
// passed (see RowRules): its path is the first column. A path is compared
// when the selections let its row on either side through.
void add_to_diff(JobDiff& diff, int side, const CatalogLine& line);

// Forgets every row kept, keeping what holds them for the next ones.
void clear_diff(JobDiff& diff);

// Keeps the rows of one path that a merge of two inputs in path order
// paired, OLD's or NEW's nullptr where that side has none; no index, as no
// other row of that path comes.
void add_matched_rows(JobDiff& diff, const CatalogLine* old_line, const CatalogLine* new_line);

// Places the rows still pending; after the last row, before the entries
// are read.
void finish_diff(JobDiff& diff);

// The path of `entry` as `side` gave it, without its trailing '/'.
std::string_view given_path(const JobDiff& diff, std::uint32_t entry, int side);

// A kept row, read back.
struct KeptRow {
    LstatRow fields; // the kept fields, the others 0; count as the row had them
    bool has_between;
    std::string_view between; // the columns between the path and the LStat value, escaped
};

KeptRow read_kept_row(const JobDiff& diff, const unsigned char* row);

// Whether two kept rows hold the same values, from their bytes: the test
// that most paths pass, without reading either back.
bool same_kept_row(const unsigned char* a, const unsigned char* b);

// How the two sides of `entry` differ; `old_row` and `new_row` are read
// back where the sides have a row.
Change compare_entry(const JobDiff& diff, const JobDiff::Entry& entry, KeptRow& old_row,
                     KeptRow& new_row);

// NEW's size minus OLD's, or their disk usage, a missing side counting 0;
// false when it passes 2^63 - 1 either way.
bool size_delta(const JobDiff& diff, const JobDiff::Entry& entry, const KeptRow& old_row,
                const KeptRow& new_row, std::int64_t& delta);

#endif

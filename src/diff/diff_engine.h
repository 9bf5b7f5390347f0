// The comparison of --diff: the rows of OLD and NEW in path order (see
// path_order.h), as one stream in which a path's rows come in their input
// order, OLD's before NEW's, compared a path at a time. A path is known by
// its real bytes; a file `a` and a directory `a/` are one path, whose rows
// lie apart in path order (`a b` sorts between them), so a file's rows wait
// until the order passes `a/`, and the paths after it wait with them: the
// paths that differ come out in path order, a change between file and
// directory as one path of status T, at the place of NEW's row.
#ifndef B64NUM_DIFF_ENGINE_H
#define B64NUM_DIFF_ENGINE_H

#include "diff_row.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <string>
#include <string_view>
#include <vector>

// A path that one side gave twice: where, and where it gave it before.
struct RepeatedPath {
    int side = -1; // none yet
    unsigned long line = 0;
    unsigned long earlier_line = 0;
};

// The message of a path given twice by one side, where only --latest says
// which row stands.
std::string repeated_path_message(const RepeatedPath& repeated);

// A path that differs.
struct DiffEntry {
    Change change;
    std::int64_t delta;     // NEW's size minus OLD's (see size_delta)
    const DiffRow* old_row; // or nullptr
    const DiffRow* new_row; // or nullptr
};

class DiffEntryVisitor {
public:
    virtual void differs(const DiffEntry& entry) = 0;

protected:
    DiffEntryVisitor() = default;
    DiffEntryVisitor(const DiffEntryVisitor&) = default;
    DiffEntryVisitor& operator=(const DiffEntryVisitor&) = default;
    ~DiffEntryVisitor() = default;
};

struct DiffEngine {
    // A row's record, copied.
    struct Held {
        bool present = false;
        std::string key;
        std::string payload;
    };
    // A path's rows on each side, its last row standing (--latest).
    struct Path {
        std::string key;
        std::array<Held, 2> rows;
        bool resolved = false; // no later row can join it
        bool moved = false;    // to the place of NEW's row, which came later
    };
    DiffFields fields;
    bool latest = false;     // a path's later row on a side stands; else it is repeated
    bool order_known = true; // the rows of one side come in input order, not path order
    Path group;              // the rows of the key read last
    bool in_group = false;
    std::deque<Path> waiting;       // in path order, behind a file's path not yet resolved
    std::vector<Path> spare;        // taken off `waiting`, their strings' room kept for the next
    std::size_t gone = 0;           // paths taken off the front of `waiting` so far
    std::vector<std::size_t> files; // unresolved, by their number, each a prefix of the next
    // --latest: the files read whose paths the keys still start with, and
    // the line of each side's row (0 for none). A row below one, on its
    // side, from a line before it is gone from the state the side restores.
    struct Cleared {
        std::string key;
        std::array<unsigned long, 2> lines;
    };
    std::vector<Cleared> cleared;
    DiffRow rows[2];
    // Why the comparison stopped, if it did.
    RepeatedPath repeated;
    bool too_large = false; // a DELTA passes 2^63 - 1 either way
    // A side's file and directory of one path, or a row below it, their
    // order unknown.
    bool order_unknown = false;
    unsigned long unknown_line = 0;
};

void start_diff_engine(DiffEngine& engine, const DiffFields& fields, bool latest, bool order_known);

// Adds the record of a row (see diff_row.h) that comes at or after the last
// one in path order; the paths that it settles go to `visitor` where they
// differ. False once the comparison has stopped (see DiffEngine).
bool add_diff_record(DiffEngine& engine, std::string_view key, std::string_view payload,
                     DiffEntryVisitor& visitor);

// Settles every path still waiting.
bool finish_diff_engine(DiffEngine& engine, DiffEntryVisitor& visitor);

#endif

// A row of --diff as it travels from its input to the comparison: its key
// in path order (see path_order.h), and a payload of what the comparison
// and the report need of it, the kept fields as varints. Rows are sorted by
// key, or merged as they come in path order (--sorted), and compared a path
// at a time (see diff_engine.h).
#ifndef B64NUM_DIFF_ROW_H
#define B64NUM_DIFF_ROW_H

#include "catalog_line.h"
#include "field_list.h"

#include <cstdint>
#include <string>
#include <string_view>

constexpr int old_side = 0;
constexpr int new_side = 1;

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

// What a comparison compares, and so what it keeps of each row.
struct DiffFields {
    std::uint32_t compared = 0; // a bit per field whose difference counts
    std::uint32_t kept = 0;     // a bit per field kept of each row
    bool disk_usage = false;    // DELTA counts blocks times 512
};

// The fields `compare`; the rows keep those, mode and size (and blocks
// with `disk_usage`), or with `keep_every_field` all of them, as --json
// prints them.
DiffFields diff_fields(const FieldSelection& compare, bool keep_every_field, bool disk_usage);

// A row, read back from its record.
struct DiffRow {
    int side;
    bool selected;          // the selections let it through
    bool deleted;           // a deleted file's record: the path is not on its side
    unsigned long line;     // in its input, which is its side
    std::string_view given; // its first column, as its client escaped it
    LstatRow fields;        // the kept fields, the others 0; count as the row had them
    bool has_between;
    std::string_view between; // the columns between the path and the LStat value, escaped
};

// The record of the row of `line` on `side`: its key in path order, and
// its payload.
void encode_diff_row(const DiffFields& fields, int side, const CatalogLine& line, std::string& key,
                     std::string& payload);

// The row of a record; its views point into `key` or `payload`.
void decode_diff_row(const DiffFields& fields, std::string_view key, std::string_view payload,
                     DiffRow& row);

// Whether the payloads of two rows of one key hold the same values and
// columns, from their bytes: the test that most paths of two backups pass,
// without reading either back.
bool same_row_values(std::string_view a, std::string_view b);

// How OLD's row and NEW's differ, either nullptr where that side has none.
Change compare_rows(const DiffFields& fields, const DiffRow* old_row, const DiffRow* new_row);

// NEW's size minus OLD's, or their disk usage, a missing side counting 0;
// false when it passes 2^63 - 1 either way.
bool size_delta(const DiffFields& fields, const DiffRow* old_row, const DiffRow* new_row,
                std::int64_t& delta);

#endif

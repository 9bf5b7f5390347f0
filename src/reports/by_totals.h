// b64num-lstat --by=KEYS: the entries and bytes of the rows that count, by
// class: by type, owner, group, kind, year or month of last modification,
// or size class, or a cross table of several.
#ifndef B64NUM_BY_TOTALS_H
#define B64NUM_BY_TOTALS_H

#include "catalog_line.h"
#include "keyed_map.h"
#include "output_buffer.h"
#include "tree_types.h"

#include <cstdint>
#include <map>
#include <string>
#include <utility>
#include <vector>

enum class ByKey { type, uid, gid, kind, year, month, size };

// Reads KEYS, comma-separated names of keys, each once; false with the
// message of misuse in `error` otherwise.
bool parse_by_keys(const char* text, std::vector<ByKey>& keys, std::string& error);

enum class ByReport {
    lines, // the class of each key, the number of entries, the bytes, TAB-separated
    json,  // one object a line
};

// How the classes are written.
struct ByStyle {
    ByReport report = ByReport::lines;
    bool header = false;      // a line of names first
    bool human_sizes = false; // bytes and size classes as du -h shows them
};

// The classes that rows fall in, each numbered once as it is met.
class ClassTable {
public:
    explicit ClassTable(std::vector<ByKey> keys);

    // The class of the row of `line`, or no_tally for a row that no
    // class holds: one not a regular file, where a key counts only those.
    std::uint32_t class_of(const CatalogLine& line);

    // Writes the classes that hold entries, with their entries and bytes
    // from a tree's tallies: largest first by bytes, ties by class, or in
    // the order of the classes where every key is a year, month or size.
    void write(OutputBuffer& out, const std::vector<Tally>& tallies, const ByStyle& style) const;

private:
    // One value of a class: a number, or a kind's text.
    struct Value {
        std::int64_t number;
        std::string text;
    };

    // The local year and month of a time, month by month as they are met.
    std::pair<std::int64_t, std::int64_t> year_and_month(std::int64_t seconds);

    std::vector<ByKey> keys_;
    bool regular_files_only_;
    KeyedMap<std::string, std::uint32_t> numbers_; // classes come from names, which anyone chooses
    std::vector<std::vector<Value>> classes_;
    std::string key_;  // of the row being classed
    std::string name_; // its last component's real bytes
    struct Month {
        std::int64_t end; // the first second of the next month
        std::int64_t year, month;
    };
    std::map<std::int64_t, Month> months_; // by their first second
};

#endif

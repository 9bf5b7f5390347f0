// The rows that the selections of the command line let through, as find's
// tests let files through: by type, size, time of last modification, owner,
// group, name and place in the tree. The tests given are ANDed.
#ifndef B64NUM_ROW_SELECTION_H
#define B64NUM_ROW_SELECTION_H

#include "catalog_line.h"

#include <cstdint>
#include <string>
#include <vector>

struct RowSelection {
    std::string types; // type letters as find -printf %y prints them; empty for any
    enum class Compare { any, more, less, exactly } size_compare = Compare::any;
    std::int64_t size = 0;          // bytes, exact
    std::int64_t newer = 0;         // with has_newer, mtime after it, as find -newermt
    std::int64_t older = 0;         // with has_older, mtime at or before it
    std::vector<std::int64_t> uids; // empty for any
    std::vector<std::int64_t> gids;
    std::string name;  // with has_name, the last component matches it as find -name matches
    std::string under; // with has_under, the path is it or lies below it, on real bytes;
                       // without a trailing '/'
    bool has_newer = false;
    bool has_older = false;
    bool has_name = false;
    bool has_under = false;

    // Whether a test of the LStat value's fields is given: every test but
    // --name and --under.
    bool tests_fields() const
    {
        return !types.empty() || size_compare != Compare::any || has_newer || has_older ||
               !uids.empty() || !gids.empty();
    }

    // Whether a test other than --under is given.
    bool tests_rows() const { return tests_fields() || has_name; }
};

// Whether the path of `line`, its first column, is `selection.under` or
// lies below it; true without --under. `scratch` holds the path's real
// bytes.
bool lies_under(const RowSelection& selection, const CatalogLine& line, std::string& scratch);

// Whether `line`, a row, passes every test but --under. `scratch` holds the
// real bytes of its name.
bool passes_tests(const RowSelection& selection, const CatalogLine& line, std::string& scratch);

#endif

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
    std::int64_t size = 0;  // bytes, exact
    bool has_newer = false; // mtime at or after `newer`
    std::int64_t newer = 0;
    bool has_older = false; // mtime before `older`
    std::int64_t older = 0;
    std::vector<std::int64_t> uids; // empty for any
    std::vector<std::int64_t> gids;
    bool has_name = false; // the last component matches `name` as find -name matches
    std::string name;
    bool has_under = false; // the path is `under` or lies below it, on real bytes
    std::string under;      // without a trailing '/'

    // Whether a test other than --under is given.
    bool tests_rows() const
    {
        return !types.empty() || size_compare != Compare::any || has_newer || has_older ||
               !uids.empty() || !gids.empty() || has_name;
    }
};

// Whether the path of `line`, its first column, is `selection.under` or
// lies below it; true without --under. `scratch` holds the path's real
// bytes.
bool lies_under(const RowSelection& selection, const CatalogLine& line, std::string& scratch);

// Whether `line`, a row, passes every test but --under. `scratch` holds the
// real bytes of its name.
bool passes_tests(const RowSelection& selection, const CatalogLine& line, std::string& scratch);

#endif

// Path order, which --sorted promises: rows by their paths' real bytes, as
// ORDER BY the path in a byte-wise collation gives them, a directory's path
// with its trailing '/'. In that order a directory's own row and every row
// below it come together, so that a tree can be totalled one directory at
// a time; rows of one path come together too.
//
// A directory's row whose path lacks the '/' (its mode says what it is)
// comes, in the catalog's order, where its path without the '/' sorts:
// before `a b`, where the tree needs it after, at `a/`. The catalog's order
// is checked on the paths as given, and such rows are held back to their
// place (see SlashlessDirectories).
#ifndef B64NUM_PATH_ORDER_H
#define B64NUM_PATH_ORDER_H

#include "catalog_line.h"

#include <string>
#include <string_view>
#include <utility>
#include <vector>

struct PathOrder {
    // The key of the last row, its path's real bytes, and that of the row
    // being placed, which becomes the last one by a flip of `last`.
    std::string keys[2];
    int last = 0;
    unsigned long last_line = 0;
    bool any = false;
};

// The key of a row in path order: its path's real bytes, with a '/' after a
// directory's.
void path_order_key(const CatalogLine& line, std::string& key);

// Whether the row of `line` is a directory's whose path lacks its '/'.
bool lacks_slash(const CatalogLine& line);

// Directory rows that lack their '/', held until the rows pass their place
// in path order: each a record of its key and a payload.
class SlashlessDirectories {
public:
    bool empty() const { return held_.empty(); }
    void hold(std::string_view key, std::string_view payload);
    // Whether a held row comes before the row of `key` (or with it, having
    // come first); the first of them then goes to `key` and `payload`,
    // and is no longer held. `key` is "" at the end, where every one goes.
    bool next_before(std::string_view next_key, bool at_end, std::string& key,
                     std::string& payload);

private:
    std::vector<std::pair<std::string, std::string>> held_; // in path order
};

// Starts over, for an input that is ordered on its own.
void restart_path_order(PathOrder& order);

// Whether the row of `line` comes at or after the last one in path order,
// its path taken as given; it is the last one afterwards when it does.
bool in_path_order(PathOrder& order, const CatalogLine& line);

#endif

// Path order, which --sorted promises: rows by their paths' real bytes, as
// ORDER BY the path in a byte-wise collation gives them, a directory's path
// with its trailing '/'. In that order a directory's own row and every row
// below it come together, so that a tree can be totalled one directory at
// a time; rows of one path come together too.
#ifndef B64NUM_PATH_ORDER_H
#define B64NUM_PATH_ORDER_H

#include "catalog_line.h"

#include <string>

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

// Starts over, for an input that is ordered on its own.
void restart_path_order(PathOrder& order);

// Whether the row of `line` comes at or after the last one in path order;
// it is the last one afterwards when it does.
bool in_path_order(PathOrder& order, const CatalogLine& line);

#endif

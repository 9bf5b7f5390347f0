// The shape that the rows of one input are held to, and the judgement of a
// line against it: a number of columns, and whether the LStat value is
// whole. A line that cannot be a whole row:
//  - holds a NUL byte, or
//  - is a header line (see is_lstat_column_name), which only the top of an
//    input may hold, or
//  - has another number of columns than the shape, or
//  - continues a row cut short by a line feed, or
//  - has a byte in its LStat value that no numeral holds, or
//  - holds fewer numerals than a whole LStat value.
#ifndef B64NUM_ROW_SHAPE_H
#define B64NUM_ROW_SHAPE_H

#include "catalog_line.h"

struct RowShape {
    unsigned long first_line = 0;    // the line the shape comes from; 0 before it
    int columns = 0;                 // its number of TAB-separated columns
    int numerals = -1;               // of the first whole LStat value; -1 before one
    unsigned long numerals_line = 0; // the line of that value
    unsigned long cut_line = 0;      // a row cut short here, by a line feed in a name?
    int columns_owed = 0;            // columns that its rest still has to bring
};

// What a mode needs of a row beyond its shape. The modes that build a tree
// need the path as the first column, a trailing '/' only on directories,
// and no negative size, block count or link count.
struct RowRules {
    bool needs_path = false;
};

// Sets the verdict of `line`, whose own verdict is still Verdict::row. A
// line with fewer columns than the shape is judged cut_short: whether the
// next line brings its rest, which would make it line_feed_cut, only the
// next line tells. While the shape is unknown, the first non-empty line
// without a NUL sets its columns, and the first whole LStat value its
// numerals.
void judge_line(RowShape& shape, const RowRules& rules, CatalogLine& line);

#endif

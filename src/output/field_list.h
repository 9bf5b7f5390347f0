// The fields that b64num-lstat prints, as its command line names them.
#ifndef B64NUM_FIELD_LIST_H
#define B64NUM_FIELD_LIST_H

#include "lstat.h"

#include <string>

// The fields asked for, as indices into LstatRow::values, in the order asked.
struct FieldSelection {
    int indices[lstat_field_count];
    int count;
};

// Every field in LStat order.
FieldSelection all_fields();

// Reads a comma-separated list of field names or 1-based positions, spaces
// around each allowed. On a bad list, returns false and says why in `error`.
bool parse_field_list(const char* list, FieldSelection& selection, std::string& error);

#endif

// The fields that b64num-lstat prints, as its command line names them.
#ifndef B64NUM_FIELD_LIST_H
#define B64NUM_FIELD_LIST_H

#include "lstat.h"

#include <string>

// Fields that are read from the value's mode rather than being numerals of
// it: the type as find -printf %y prints it, and the mode as ls -l does.
constexpr int field_type = lstat_field_count;
constexpr int field_perm = lstat_field_count + 1;
// Fields of the row's job, known where the catalog itself is read
// (--catalog): its JobId and its time (JobTDate).
constexpr int field_jobid = lstat_field_count + 2;
constexpr int field_jobtime = lstat_field_count + 3;
constexpr int selectable_field_count = lstat_field_count + 4;

inline bool is_job_field(int index)
{
    return index == field_jobid || index == field_jobtime;
}

// The fields asked for, as indices into LstatRow::values or the fields read
// from them, in the order asked.
struct FieldSelection {
    int indices[selectable_field_count];
    int count;
};

// The name of a field of a selection.
const char* selected_field_name(int index);

inline bool is_time_field(int index)
{
    return index == field_atime || index == field_mtime || index == field_ctime ||
           index == field_jobtime;
}

// Every field in LStat order.
FieldSelection all_fields();

// Reads a comma-separated list of field names or 1-based positions, spaces
// around each allowed. On a bad list, returns false and says why in `error`.
bool parse_field_list(const char* list, FieldSelection& selection, std::string& error);

#endif

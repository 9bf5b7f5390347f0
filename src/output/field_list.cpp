// Field lists of the command line, kept apart from the decoding so that the
// PostgreSQL extension links the decoding without the C++ runtime.
#include "field_list.h"

#include <cstring>
#include <string>

const char* selected_field_name(int index)
{
    return index == field_type      ? "type"
           : index == field_perm    ? "perm"
           : index == field_jobid   ? "jobid"
           : index == field_jobtime ? "jobtime"
                                    : lstat_field_names[index];
}

FieldSelection all_fields()
{
    FieldSelection selection{};
    for (int index = 0; index < lstat_field_count; ++index) {
        selection.indices[index] = index;
    }
    selection.count = lstat_field_count;
    return selection;
}

bool parse_field_list(const char* list, FieldSelection& selection, std::string& error)
{
    selection.count = 0;
    bool seen[selectable_field_count] = {};
    for (const char* item = list;;) {
        const char* const comma = std::strchr(item, ',');
        std::size_t length =
            comma != nullptr ? static_cast<std::size_t>(comma - item) : std::strlen(item);
        // "size, mtime" as users type it: spaces around a name do not count.
        while (length > 0 && *item == ' ') {
            ++item;
            --length;
        }
        while (length > 0 && item[length - 1] == ' ') {
            --length;
        }
        const std::string name(item, length);
        const int index = name == "type"      ? field_type
                          : name == "perm"    ? field_perm
                          : name == "jobid"   ? field_jobid
                          : name == "jobtime" ? field_jobtime
                                              : lstat_field_index(item, length);
        if (index < 0) {
            error = name.empty() ? "empty field name in '" + std::string(list) + "'"
                                 : "unknown field '" + name + "'";
            return false;
        }
        if (seen[index]) {
            const std::string field = selected_field_name(index);
            error = "field '" + name + "'" + (name == field ? "" : " (" + field + ")") +
                    " is asked for twice";
            return false;
        }
        seen[index] = true;
        selection.indices[selection.count++] = index;
        if (comma == nullptr) {
            return true;
        }
        item = comma + 1;
    }
}

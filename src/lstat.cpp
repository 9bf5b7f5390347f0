#include "lstat.h"

#include "base64.h"

#include <cstring>

const char* const lstat_field_names[lstat_field_count] = {
    "dev",     "ino",    "mode",  "nlink", "uid",   "gid",    "rdev",  "size",
    "blksize", "blocks", "atime", "mtime", "ctime", "linkfi", "flags", "stream",
};

void decode_lstat(const char* text, LstatRow& row)
{
    row.count = 0;
    row.has_overflow = false;
    for (;;) {
        while (*text == ' ') {
            ++text;
        }
        if (*text == '\0') {
            return;
        }
        if (row.count == lstat_field_count) {
            row.has_overflow = true;
            return;
        }
        text += from_base64(&row.values[row.count], text);
        ++row.count;
    }
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

namespace {

// A field named by `name` or by its 1-based position; -1 if there is none.
int find_field(const char* name, std::size_t length)
{
    for (int index = 0; index < lstat_field_count; ++index) {
        const char* const field = lstat_field_names[index];
        if (std::strlen(field) == length && std::memcmp(field, name, length) == 0) {
            return index;
        }
    }
    int position = 0;
    for (std::size_t i = 0; i < length; ++i) {
        if (name[i] < '0' || name[i] > '9' || position > lstat_field_count) {
            return -1;
        }
        position = position * 10 + (name[i] - '0');
    }
    return length > 0 && position >= 1 && position <= lstat_field_count ? position - 1 : -1;
}

} // namespace

bool parse_field_list(const char* list, FieldSelection& selection, std::string& error)
{
    selection.count = 0;
    bool seen[lstat_field_count] = {};
    for (const char* item = list;;) {
        const char* const comma = std::strchr(item, ',');
        const std::size_t length =
            comma != nullptr ? static_cast<std::size_t>(comma - item) : std::strlen(item);
        const std::string name(item, length);
        const int index = find_field(item, length);
        if (index < 0) {
            error = name.empty() ? "empty field name in '" + std::string(list) + "'"
                                 : "unknown field '" + name + "'";
            return false;
        }
        if (seen[index]) {
            const std::string field = lstat_field_names[index];
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

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

bool decode_lstat_field(const char* text, int index, std::int64_t& value)
{
    for (int found = 0;; ++found) {
        while (*text == ' ') {
            ++text;
        }
        if (*text == '\0' || found == lstat_field_count) {
            return false;
        }
        text += from_base64(&value, text);
        if (found == index) {
            return true;
        }
    }
}

int lstat_field_index(const char* name, std::size_t length)
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

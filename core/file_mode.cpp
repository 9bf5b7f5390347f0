#include "file_mode.h"

namespace {

char type_letter(std::int64_t mode)
{
    switch (file_type(mode)) {
    case S_IFREG:
        return '-';
    case S_IFDIR:
        return 'd';
    case S_IFLNK:
        return 'l';
    case S_IFCHR:
        return 'c';
    case S_IFBLK:
        return 'b';
    case S_IFIFO:
        return 'p';
    case S_IFSOCK:
        return 's';
    default:
        return '?';
    }
}

} // namespace

char find_type_letter(std::int64_t mode)
{
    return is_regular_file(mode) ? 'f' : type_letter(mode);
}

void mode_string(std::int64_t mode, char (&text)[10])
{
    text[0] = type_letter(mode);
    const auto bit = [mode](std::int64_t mask) { return (mode & mask) != 0; };
    // Owner, group, others: read, write, then execute combined with the
    // special bit of that class.
    const struct {
        std::int64_t read, write, execute, special;
        char set_and_executable, set_only;
    } classes[] = {
        {0400, 0200, 0100, 04000, 's', 'S'},
        {0040, 0020, 0010, 02000, 's', 'S'},
        {0004, 0002, 0001, 01000, 't', 'T'},
    };
    char* at = text + 1;
    for (const auto& c : classes) {
        *at++ = bit(c.read) ? 'r' : '-';
        *at++ = bit(c.write) ? 'w' : '-';
        if (bit(c.special)) {
            *at++ = bit(c.execute) ? c.set_and_executable : c.set_only;
        } else {
            *at++ = bit(c.execute) ? 'x' : '-';
        }
    }
}

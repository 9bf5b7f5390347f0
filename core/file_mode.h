// The file mode as ls -l shows it, shared by b64num-lstat -l and the
// database engines' filemode().
#ifndef B64NUM_FILE_MODE_H
#define B64NUM_FILE_MODE_H

#include <sys/stat.h>

#include <cstdint>

// The type of a file is in the bits of its mode that S_IFMT masks.
inline std::int64_t file_type(std::int64_t mode)
{
    return mode & S_IFMT;
}

// The bits of a mode beside its type: the permission bits, with set-user-ID,
// set-group-ID and sticky.
inline std::int64_t mode_without_type(std::int64_t mode)
{
    return mode & ~std::int64_t{S_IFMT};
}

inline bool is_directory(std::int64_t mode)
{
    return file_type(mode) == S_IFDIR;
}

inline bool is_regular_file(std::int64_t mode)
{
    return file_type(mode) == S_IFREG;
}

// A character or block device, whose rdev names it.
inline bool is_device(std::int64_t mode)
{
    return file_type(mode) == S_IFCHR || file_type(mode) == S_IFBLK;
}

// The type of a file as find -printf %y prints it: f d l c b p s, or ? for
// any other.
char find_type_letter(std::int64_t mode);

// The ten characters of ls -l for `mode`: the type (- d l c b p s, or ? for
// any other), then rwx for owner, group and others, with s/S for set-user-ID
// and set-group-ID and t/T for the sticky bit.
void mode_string(std::int64_t mode, char (&text)[10]);

#endif

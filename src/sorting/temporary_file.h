// Temporary files that leave no trace however the process ends: each is
// unlinked as it is made (O_TMPFILE where the file system has it, or
// created then unlinked), so that not even SIGKILL leaves one behind.
#ifndef B64NUM_TEMPORARY_FILE_H
#define B64NUM_TEMPORARY_FILE_H

#include <cstddef>
#include <cstdint>
#include <string>

// A new file in `directory`, open for reading and writing, with no name;
// -1 with errno set when it cannot be made.
int make_temporary_file(const std::string& directory);

// The directory for temporary files: `chosen` where given, else $TMPDIR,
// else /tmp, as sort(1) picks it.
std::string temporary_directory(const std::string& chosen);

// The message of a temporary file in `directory` that could not be
// written or read (`what`: "write" or "read"), with errno's `error`.
std::string temporary_file_trouble(const char* what, const std::string& directory, int error);

// Writes `length` bytes at `offset` whole; errno, or 0.
int write_whole(int fd, const char* bytes, std::size_t length, std::uint64_t offset);

// Reads up to `length` bytes at `offset`: how many, or -1 with errno set.
long read_some(int fd, char* bytes, std::size_t length, std::uint64_t offset);

#endif

// Reads a file descriptor line by line through one reused buffer that grows
// only for a line longer than any before it.
#ifndef B64NUM_LINE_READER_H
#define B64NUM_LINE_READER_H

#include <cstddef>
#include <vector>

struct LineReader {
    int fd;
    int error; // errno of a failed read; reading stops there
    bool at_end;
    std::size_t start;   // first unread byte
    std::size_t end;     // one past the last byte read
    std::size_t scanned; // bytes after `start` known to hold no line feed
    std::vector<char> buffer;
};

// A reader on `fd`, reusing `buffer`'s storage.
void start_reading(LineReader& reader, int fd);

// Finds the next line and returns it without its line feed and
// NUL-terminated in place; the last line needs no line feed. Returns false
// at the end of the input or after a read error.
bool read_line(LineReader& reader, char*& line, std::size_t& length);

#endif

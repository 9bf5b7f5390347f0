// Reads a file descriptor line by line through one reused buffer. Memory
// stays bounded whatever the input: a line longer than longest_line is
// passed over as it is read, never held whole.
#ifndef B64NUM_LINE_READER_H
#define B64NUM_LINE_READER_H

#include <cstddef>
#include <vector>

// Far above any catalog row (a path of a few KiB, doubled at worst by the
// client's escapes, and an LStat value of under 200 bytes), and small enough
// that the buffer never outgrows 2 MiB.
constexpr std::size_t longest_line = std::size_t{1} << 20;

struct LineReader {
    int fd;
    int error; // errno of a failed read; reading stops there
    bool at_end;
    bool skipping;       // inside a line longer than longest_line
    std::size_t skipped; // bytes of that line passed over so far
    std::size_t start;   // first unread byte
    std::size_t end;     // one past the last byte read
    std::size_t scanned; // bytes after `start` known to hold no line feed
    bool line_fed;       // the last line read ended in a line feed, not at the end of the input
    std::vector<char> buffer;
};

enum class ReadResult {
    line,     // a line, without its line feed and NUL-terminated in place
    too_long, // a line longer than longest_line, passed over; `length` says how long
    end,      // the end of the input, or a read error
};

// A reader on `fd`, reusing `buffer`'s storage.
void start_reading(LineReader& reader, int fd);

// Finds the next line; the last line needs no line feed.
ReadResult read_line(LineReader& reader, char*& line, std::size_t& length);

#endif

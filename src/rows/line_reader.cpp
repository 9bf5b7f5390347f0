#include "line_reader.h"

#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace {

constexpr std::size_t initial_capacity = std::size_t{1} << 18;

// Moves the unread bytes to the front and makes room for more, keeping one
// byte spare for the NUL that ends a last line without a line feed.
void make_room(LineReader& reader)
{
    std::vector<char>& buffer = reader.buffer;
    const std::size_t unread = reader.end - reader.start;
    if (reader.start > 0) {
        std::memmove(buffer.data(), buffer.data() + reader.start, unread);
        reader.start = 0;
        reader.end = unread;
    }
    if (buffer.size() - reader.end < 2) {
        buffer.resize(buffer.size() * 2);
    }
}

// Ends the line being passed over at `length` unread bytes, plus its line
// feed if it has one.
ReadResult end_of_long_line(LineReader& reader, std::size_t unread, bool has_feed,
                            std::size_t& length)
{
    length = reader.skipped + unread;
    reader.start += unread + (has_feed ? 1 : 0);
    reader.skipping = false;
    reader.skipped = 0;
    reader.scanned = 0;
    return ReadResult::too_long;
}

} // namespace

void start_reading(LineReader& reader, int fd)
{
    reader.fd = fd;
    reader.error = 0;
    reader.at_end = false;
    reader.skipping = false;
    reader.skipped = 0;
    reader.start = 0;
    reader.end = 0;
    reader.scanned = 0;
    if (reader.buffer.size() < initial_capacity) {
        reader.buffer.resize(initial_capacity);
    }
}

ReadResult read_line(LineReader& reader, char*& line, std::size_t& length)
{
    for (;;) {
        char* const unread = reader.buffer.data() + reader.start;
        const std::size_t available = reader.end - reader.start;
        auto* const feed = static_cast<char*>(
            std::memchr(unread + reader.scanned, '\n', available - reader.scanned));
        const std::size_t before_feed =
            feed != nullptr ? static_cast<std::size_t>(feed - unread) : available;
        if (reader.skipping) {
            if (feed != nullptr || reader.at_end) {
                return end_of_long_line(reader, before_feed, feed != nullptr, length);
            }
            reader.skipped += available; // pass over what was read: never hold it
            reader.start = reader.end;
            reader.scanned = 0;
        } else if (feed != nullptr || (reader.at_end && available > 0)) {
            if (before_feed > longest_line) {
                return end_of_long_line(reader, before_feed, feed != nullptr, length);
            }
            length = before_feed;
            unread[length] = '\0';
            line = unread;
            reader.line_fed = feed != nullptr;
            reader.start += feed != nullptr ? length + 1 : length;
            reader.scanned = 0;
            return ReadResult::line;
        } else if (available > longest_line) {
            reader.skipping = true;
            reader.skipped = available;
            reader.start = reader.end;
            reader.scanned = 0;
        } else {
            reader.scanned = available;
        }
        if (reader.at_end || reader.error != 0) {
            return ReadResult::end;
        }
        make_room(reader);
        const std::size_t room = reader.buffer.size() - reader.end - 1;
        const ssize_t got = read(reader.fd, reader.buffer.data() + reader.end, room);
        if (got > 0) {
            reader.end += static_cast<std::size_t>(got);
        } else if (got == 0) {
            reader.at_end = true;
        } else if (errno != EINTR) {
            reader.error = errno;
            return ReadResult::end;
        }
    }
}

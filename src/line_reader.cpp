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

} // namespace

void start_reading(LineReader& reader, int fd)
{
    reader.fd = fd;
    reader.error = 0;
    reader.at_end = false;
    reader.start = 0;
    reader.end = 0;
    reader.scanned = 0;
    if (reader.buffer.size() < initial_capacity) {
        reader.buffer.resize(initial_capacity);
    }
}

bool read_line(LineReader& reader, char*& line, std::size_t& length)
{
    for (;;) {
        char* const unread = reader.buffer.data() + reader.start;
        const std::size_t available = reader.end - reader.start;
        auto* const feed = static_cast<char*>(
            std::memchr(unread + reader.scanned, '\n', available - reader.scanned));
        if (feed != nullptr || (reader.at_end && available > 0)) {
            length = feed != nullptr ? static_cast<std::size_t>(feed - unread) : available;
            unread[length] = '\0';
            line = unread;
            reader.start += feed != nullptr ? length + 1 : length;
            reader.scanned = 0;
            return true;
        }
        if (reader.at_end || reader.error != 0) {
            return false;
        }
        reader.scanned = available;
        make_room(reader);
        const std::size_t room = reader.buffer.size() - reader.end - 1;
        const ssize_t got = read(reader.fd, reader.buffer.data() + reader.end, room);
        if (got > 0) {
            reader.end += static_cast<std::size_t>(got);
        } else if (got == 0) {
            reader.at_end = true;
        } else if (errno != EINTR) {
            reader.error = errno;
            return false;
        }
    }
}

#include "output_buffer.h"

#include <unistd.h>

#include <cerrno>

void output_flush(OutputBuffer& out)
{
    const char* pending = out.data;
    std::size_t left = out.used;
    out.used = 0;
    while (left > 0 && out.error == 0) {
        const ssize_t written = write(out.fd, pending, left);
        if (written < 0) {
            if (errno != EINTR) {
                out.error = errno;
            }
        } else if (written == 0) {
            out.error = EIO; // no progress: never spin on a stuck descriptor
        } else {
            pending += written;
            left -= static_cast<std::size_t>(written);
        }
    }
}

void output_bytes_slow(OutputBuffer& out, const char* bytes, std::size_t length)
{
    while (length > 0) {
        if (out.used == sizeof out.data) {
            output_flush(out);
        }
        const std::size_t room = sizeof out.data - out.used;
        const std::size_t part = length < room ? length : room;
        std::memcpy(out.data + out.used, bytes, part);
        out.used += part;
        bytes += part;
        length -= part;
    }
}

#include "temporary_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <vector>

int make_temporary_file(const std::string& directory)
{
#ifdef O_TMPFILE
    const int fd =
        open(directory.c_str(), O_TMPFILE | O_RDWR | O_EXCL | O_CLOEXEC, S_IRUSR | S_IWUSR);
    // Older kernels and some file systems have no unnamed files.
    if (fd >= 0 || (errno != EOPNOTSUPP && errno != EISDIR && errno != EINVAL)) {
        return fd;
    }
#endif
    std::string name = directory + "/b64num-lstat.XXXXXX";
    std::vector<char> path(name.begin(), name.end());
    path.push_back('\0');
    const int made = mkostemp(path.data(), O_CLOEXEC);
    if (made >= 0) {
        unlink(path.data());
    }
    return made;
}

std::string temporary_directory(const std::string& chosen)
{
    if (!chosen.empty()) {
        return chosen;
    }
    const char* const tmpdir = std::getenv("TMPDIR");
    return tmpdir != nullptr && *tmpdir != '\0' ? tmpdir : "/tmp";
}

int write_whole(int fd, const char* bytes, std::size_t length, std::uint64_t offset)
{
    while (length > 0) {
        const ssize_t written = pwrite(fd, bytes, length, static_cast<off_t>(offset));
        if (written < 0 && errno == EINTR) {
            continue;
        }
        if (written <= 0) {
            return written < 0 ? errno : ENOSPC;
        }
        bytes += written;
        length -= static_cast<std::size_t>(written);
        offset += static_cast<std::uint64_t>(written);
    }
    return 0;
}

long read_some(int fd, char* bytes, std::size_t length, std::uint64_t offset)
{
    for (;;) {
        const ssize_t got = pread(fd, bytes, length, static_cast<off_t>(offset));
        if (got >= 0 || errno != EINTR) {
            return static_cast<long>(got);
        }
    }
}

std::string temporary_file_trouble(const char* what, const std::string& directory, int error)
{
    return std::string(what) + " failed: a temporary file in '" + directory +
           "': " + std::strerror(error);
}

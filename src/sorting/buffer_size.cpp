#include "buffer_size.h"

#include <sys/resource.h>
#include <unistd.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

namespace {

// The memory limit of the process's cgroup (version 2, or version 1's
// controller), or SIZE_MAX where none is set.
std::size_t cgroup_limit()
{
    std::string group;
    if (std::FILE* const file = std::fopen("/proc/self/cgroup", "re")) {
        char line[4096];
        while (std::fgets(line, sizeof line, file) != nullptr) {
            const std::string text(line);
            if (text.rfind("0::", 0) == 0) {
                group = text.substr(3, text.find_last_not_of('\n') - 2);
            }
        }
        (void)std::fclose(file);
    }
    std::size_t limit = SIZE_MAX;
    for (const std::string& path : {"/sys/fs/cgroup" + group + "/memory.max",
                                    std::string("/sys/fs/cgroup/memory/memory.limit_in_bytes")}) {
        if (std::FILE* const file = std::fopen(path.c_str(), "re")) {
            // A number of bytes, or "max" where none is set.
            char text[32] = {};
            if (std::fgets(text, sizeof text, file) != nullptr) {
                char* end = nullptr;
                const unsigned long long bytes = std::strtoull(text, &end, 10);
                if (end != text && bytes > 0) {
                    limit = std::min<std::size_t>(limit, bytes);
                }
            }
            (void)std::fclose(file);
        }
    }
    return limit;
}

std::size_t rlimit_of(int resource)
{
    struct rlimit limit {};
    if (getrlimit(resource, &limit) != 0 || limit.rlim_cur == RLIM_INFINITY) {
        return SIZE_MAX;
    }
    return limit.rlim_cur;
}

} // namespace

bool parse_buffer_size(std::string_view text, std::size_t& bytes)
{
    std::size_t digits = 0;
    std::uint64_t number = 0;
    while (digits < text.size() && text[digits] >= '0' && text[digits] <= '9') {
        if (__builtin_mul_overflow(number, 10U, &number) ||
            __builtin_add_overflow(number, static_cast<unsigned>(text[digits] - '0'), &number)) {
            return false;
        }
        ++digits;
    }
    if (digits == 0 || text.size() > digits + 1) {
        return false;
    }
    const char suffix = digits < text.size() ? text[digits] : 'K';
    if (suffix == '%') {
        const long pages = sysconf(_SC_PHYS_PAGES);
        const long page = sysconf(_SC_PAGESIZE);
        if (number > 100 || pages <= 0 || page <= 0) {
            return false;
        }
        bytes = static_cast<std::uint64_t>(pages) / 100 * number * static_cast<std::uint64_t>(page);
        return true;
    }
    const std::string_view suffixes = "bKMGT";
    const std::size_t power = suffixes.find(suffix == 'k' ? 'K' : suffix);
    if (power == std::string_view::npos) {
        return false;
    }
    for (std::size_t i = 0; i < power; ++i) {
        if (__builtin_mul_overflow(number, 1024U, &number)) {
            return false;
        }
    }
    bytes = number;
    return true;
}

std::size_t clamped_buffer_size(std::size_t wanted)
{
    const std::size_t limit =
        std::min({rlimit_of(RLIMIT_AS), rlimit_of(RLIMIT_DATA), cgroup_limit()});
    return limit == SIZE_MAX ? wanted : std::min(wanted, limit / 2);
}

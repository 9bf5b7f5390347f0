#include "progress_line.h"

#include <unistd.h>

#include <cstdio>

namespace {

double seconds_since(const timespec& start)
{
    timespec now{};
    clock_gettime(CLOCK_MONOTONIC, &now);
    return static_cast<double>(now.tv_sec - start.tv_sec) +
           static_cast<double>(now.tv_nsec - start.tv_nsec) / 1e9;
}

} // namespace

void ProgressLine::start(int fd, std::uint64_t expected)
{
    fd_ = fd;
    rows_ = 0;
    expected_ = expected;
    shown_second_ = 0;
    clock_gettime(CLOCK_MONOTONIC, &started_);
}

void ProgressLine::tick()
{
    const double elapsed = seconds_since(started_);
    const auto second = static_cast<std::int64_t>(elapsed);
    if (second <= shown_second_) {
        return;
    }
    shown_second_ = second;
    const double rate = static_cast<double>(rows_) / elapsed;
    char text[160];
    int length = std::snprintf(text, sizeof text, "\r\033[Kb64num-lstat: %llu rows, %.0f rows/s",
                               static_cast<unsigned long long>(rows_), rate);
    if (expected_ > 0 && length > 0 && static_cast<std::size_t>(length) < sizeof text) {
        const double share = 100.0 * static_cast<double>(rows_) / static_cast<double>(expected_);
        const double left = rows_ < expected_ ? static_cast<double>(expected_ - rows_) / rate : 0.0;
        length += std::snprintf(text + length, sizeof text - static_cast<std::size_t>(length),
                                ", %.0f%% of %llu, %.0f s left", share,
                                static_cast<unsigned long long>(expected_), left);
    }
    if (length > 0 && static_cast<std::size_t>(length) < sizeof text) {
        // A progress line that cannot be written is not worth a message.
        on_screen_ = write(fd_, text, static_cast<std::size_t>(length)) == length;
    }
}

void ProgressLine::clear()
{
    if (on_screen_) {
        static const char erase[] = "\r\033[K";
        on_screen_ = write(fd_, erase, sizeof erase - 1) < 0;
    }
}

void ProgressLine::finish()
{
    clear();
    fd_ = -1;
}

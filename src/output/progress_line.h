// The progress line of a long read, on standard error, as dd status=progress
// and rsync --info=progress2 show theirs: the rows read, their rate, and
// where the number of rows to come is known (a job's JobFiles), the share
// read and the time left. It shows after the first second, is redrawn once
// a second in place, and is erased before any message and at the end, so
// that nothing of it stays in a log or reaches standard output.
#ifndef B64NUM_PROGRESS_LINE_H
#define B64NUM_PROGRESS_LINE_H

#include <cstdint>
#include <ctime>

class ProgressLine {
public:
    // Shows progress on `fd` from now, of `expected` rows where known (0
    // where not).
    void start(int fd, std::uint64_t expected);

    // Counts a row read; cheap enough for every row.
    void add()
    {
        if (fd_ >= 0 && (++rows_ & 4095U) == 0) {
            tick();
        }
    }

    // Erases the line, where one is shown, so that a message starts a line
    // of its own; it comes back at the next second.
    void clear();

    // Erases the line and shows no more.
    void finish();

private:
    void tick();

    int fd_ = -1;
    std::uint64_t rows_ = 0;
    std::uint64_t expected_ = 0;
    timespec started_{};
    std::int64_t shown_second_ = 0; // the second since the start last shown
    bool on_screen_ = false;
};

#endif

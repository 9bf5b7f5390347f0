// The rows of a selection of jobs as the lines that COPY would print of
// their path and name and their LStat value, read on a thread of their own:
// the engine's client library decodes the server's rows on one core while
// the tool sorts and totals them on another, as a pipeline's client and
// the tool do. Lines come in batches, in job order; at most a few batches
// are held, so memory does not grow with the job.
#ifndef B64NUM_LINE_STREAM_H
#define B64NUM_LINE_STREAM_H

#include "catalog_line.h"
#include "catalog_reader.h"

#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

// A row's line in its batch's text, NUL-terminated.
struct StreamedRow {
    std::size_t offset;
    std::size_t length;
    RowOrigin origin; // its job, its client's number (see ClientTops), whether it is deleted
};

struct LineBatch {
    std::string text;
    std::vector<StreamedRow> rows;
};

class LineStream final : private CatalogRowSink {
public:
    // Starts reading the rows of `jobs` (in job order) from `reader`, which
    // nothing else may use until the stream ends.
    LineStream(CatalogReader& reader, const std::vector<JobRecord>& jobs);
    ~LineStream();
    LineStream(const LineStream&) = delete;
    LineStream& operator=(const LineStream&) = delete;

    // The next batch, valid until the next call; nullptr at the end, or
    // where the reading failed (error() says why).
    LineBatch* next();

    // Stops the reading, where it goes on, and waits for it to end; then
    // error() and out_of_memory() may be read.
    void stop();

    // Which job could not be read, and the engine's message; empty if none.
    const std::string& error() const { return error_; }

    // Whether the reading ran out of memory.
    bool out_of_memory() const { return out_of_memory_; }

private:
    void read();
    bool row(const CatalogFileRow& row) override;
    bool hand_over(bool last);

    CatalogReader& reader_;
    std::vector<JobRecord> jobs_;
    ClientTops tops_;
    LineBatch filling_;  // by the reading thread
    LineBatch consumed_; // by the caller
    std::string top_;    // the escaped top of the job read, with several clients
    RowOrigin origin_;   // of the job read
    std::mutex mutex_;
    std::condition_variable changed_;
    std::deque<LineBatch> ready_; // guarded by mutex_
    bool finished_ = false;       // guarded by mutex_: nothing more comes
    bool stopping_ = false;       // guarded by mutex_: the caller wants no more
    std::string error_;           // written before finished_, read after
    bool out_of_memory_ = false;  // likewise
    std::thread thread_;
};

#endif

#include "line_stream.h"

#include "client_escapes.h"

#include <new>
#include <utility>

namespace {

// A batch is handed over past this many bytes, and at most this many wait:
// enough that the threads rarely wait for each other, little beside a job.
constexpr std::size_t batch_bytes = std::size_t{1} << 20;
constexpr std::size_t batches_waiting = 2;

} // namespace

LineStream::LineStream(CatalogReader& reader, const std::vector<JobRecord>& jobs)
    : reader_(reader), jobs_(jobs), tops_(client_tops(jobs)), thread_([this] { read(); })
{
}

LineStream::~LineStream()
{
    stop();
}

void LineStream::stop()
{
    {
        const std::lock_guard<std::mutex> lock(mutex_);
        stopping_ = true;
    }
    changed_.notify_all();
    if (thread_.joinable()) {
        thread_.join();
    }
}

LineBatch* LineStream::next()
{
    std::unique_lock<std::mutex> lock(mutex_);
    changed_.wait(lock, [this] { return !ready_.empty() || finished_; });
    if (ready_.empty()) {
        return nullptr;
    }
    consumed_ = std::move(ready_.front());
    ready_.pop_front();
    lock.unlock();
    changed_.notify_all();
    return &consumed_;
}

void LineStream::read()
{
    try {
        for (const JobRecord& job : jobs_) {
            origin_ = {job.id, job.time, tops_.host_of(job), false};
            top_.clear();
            if (origin_.host != 0) {
                append_copy_escaped(top_, job.client);
            }
            if (!reader_.read_rows(job, *this)) {
                error_ = "job " + std::to_string(job.id) + ": " + reader_.error();
                break;
            }
            const std::lock_guard<std::mutex> lock(mutex_);
            if (stopping_) {
                break;
            }
        }
        hand_over(true);
    } catch (const std::bad_alloc&) {
        // Said by the caller, whose message needs no memory of its own.
        const std::lock_guard<std::mutex> lock(mutex_);
        out_of_memory_ = true;
        finished_ = true;
    }
    changed_.notify_all();
}

bool LineStream::row(const CatalogFileRow& row)
{
    std::string& line = filling_.text;
    const std::size_t start = line.size();
    line += top_;
    if (!top_.empty() && (row.path.empty() || row.path.front() != '/')) {
        line += '/'; // a Windows client's drive, C:/
    }
    if (row.escaped) {
        line += row.path;
        line += row.name;
    } else {
        append_copy_escaped(line, row.path);
        append_copy_escaped(line, row.name);
    }
    // A deleted directory's record ends its path as a file's does.
    const bool deleted = row.file_index == 0;
    if (deleted && row.name.empty() && line.size() - start > 1 && line.back() == '/') {
        line.pop_back();
    }
    line += '\t';
    line.append(row.lstat);
    RowOrigin origin = origin_;
    origin.deleted = deleted;
    filling_.rows.push_back({start, line.size() - start, origin});
    line += '\0';
    return line.size() < batch_bytes || hand_over(false);
}

bool LineStream::hand_over(bool last)
{
    std::unique_lock<std::mutex> lock(mutex_);
    changed_.wait(lock, [this] { return ready_.size() < batches_waiting || stopping_; });
    if (!stopping_ && !filling_.rows.empty()) {
        ready_.push_back(std::move(filling_));
    }
    filling_ = LineBatch{};
    finished_ = last || stopping_;
    const bool go_on = !stopping_;
    lock.unlock();
    changed_.notify_all();
    return go_on;
}

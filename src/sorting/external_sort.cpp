#include "external_sort.h"

#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <iterator>

namespace {

// A record: its key's and its payload's lengths, then their bytes, in
// memory and in the runs alike.
constexpr std::size_t header_bytes = 8;

// Runs merged into one at a time, as sort's default: few enough open files,
// and few enough passes over the data.
constexpr std::size_t merge_fan_in = 16;

constexpr std::size_t read_block = std::size_t{256} << 10;
constexpr std::size_t write_block = std::size_t{1} << 20;

std::uint32_t length_at(const char* at)
{
    std::uint32_t length = 0;
    std::memcpy(&length, at, sizeof length);
    return length;
}

std::string_view key_of(const char* record)
{
    return {record + header_bytes, length_at(record)};
}

std::string_view payload_of(const char* record)
{
    return {record + header_bytes + length_at(record), length_at(record + 4)};
}

std::size_t record_bytes(const char* record)
{
    return header_bytes + length_at(record) + length_at(record + 4);
}

// std::string_view compares chars, signed or not as the platform has them;
// paths sort by their bytes as unsigned, as byte-wise collations sort them.
int compare_bytes(std::string_view a, std::string_view b)
{
    const std::size_t length = std::min(a.size(), b.size());
    const int shared = length > 0 ? std::memcmp(a.data(), b.data(), length) : 0;
    if (shared != 0) {
        return shared;
    }
    return a.size() < b.size() ? -1 : a.size() > b.size() ? 1 : 0;
}

} // namespace

// A sorted run on disk, without a name (see temporary_file.h).
struct SortedRun {
    int fd = -1;
    std::uint64_t size = 0;
    int level = 0; // how many merges made it
    SortedRun() = default;
    SortedRun(const SortedRun&) = delete;
    SortedRun& operator=(const SortedRun&) = delete;
    ~SortedRun()
    {
        if (fd >= 0) {
            close(fd);
        }
    }
};

// Reads one sorted source, a run on disk or the records in memory, a
// record at a time.
struct RunCursor {
    const SortedRun* run = nullptr;                    // or else
    const std::vector<MemoryRecord>* memory = nullptr; // sorted
    std::size_t order = 0; // of its source: earlier records come from lower ones
    std::size_t position = 0;
    std::uint64_t offset = 0; // in the run, of the first byte not read
    std::vector<char> buffer;
    std::size_t begin = 0, end = 0;
    std::string_view key, payload;

    // Moves to the next record: false at the end, or with `error` set.
    bool advance(int& error)
    {
        if (memory != nullptr) {
            if (position == memory->size()) {
                return false;
            }
            // Records lie in the order they came: fetch the next ones early.
            constexpr std::size_t ahead = 8;
            if (position + ahead < memory->size()) {
                __builtin_prefetch((*memory)[position + ahead].record);
            }
            const char* const record = (*memory)[position].record;
            key = key_of(record);
            payload = payload_of(record);
            ++position;
            return true;
        }
        if (!fill(header_bytes, error)) {
            return false;
        }
        const std::size_t bytes = record_bytes(buffer.data() + begin);
        if (!fill(bytes, error)) {
            error = error != 0 ? error : EIO; // a run cut short
            return false;
        }
        key = key_of(buffer.data() + begin);
        payload = payload_of(buffer.data() + begin);
        begin += bytes;
        return true;
    }

    // Makes `wanted` bytes from `begin` on readable: false at the run's end.
    bool fill(std::size_t wanted, int& error)
    {
        if (end - begin >= wanted) {
            return true;
        }
        if (end > begin) { // a vector not grown yet has no data to move
            std::memmove(buffer.data(), buffer.data() + begin, end - begin);
        }
        end -= begin;
        begin = 0;
        if (buffer.size() < std::max(wanted, read_block)) {
            buffer.resize(std::max(wanted, read_block));
        }
        while (end < wanted && offset < run->size) {
            const long got = read_some(run->fd, buffer.data() + end, buffer.size() - end, offset);
            if (got <= 0) {
                error = got < 0 ? errno : EIO;
                return false;
            }
            end += static_cast<std::size_t>(got);
            offset += static_cast<std::uint64_t>(got);
        }
        return end >= wanted;
    }
};

namespace {

// Orders a heap so that the least record, of the lowest source among
// equals, is on top.
bool comes_later(const RunCursor* a, const RunCursor* b)
{
    const int compared = compare_bytes(a->key, b->key);
    return compared > 0 || (compared == 0 && a->order > b->order);
}

} // namespace

ExternalSort::ExternalSort(std::size_t budget, std::string directory, bool in_order)
    : budget_(budget), directory_(std::move(directory)), in_order_(in_order)
{
}

ExternalSort::~ExternalSort() = default;

bool ExternalSort::add(std::string_view key, std::string_view payload)
{
    if (error_ != 0) {
        return false;
    }
    const std::size_t bytes = header_bytes + key.size() + payload.size();
    // The record, its place in the index, and the sort's buffer.
    const std::size_t cost = bytes + sizeof(MemoryRecord) * 2;
    if (memory_used_ + cost > budget_ && !records_.empty() && !spill()) {
        return false;
    }
    char* const record = make_room(store_, bytes);
    const auto key_length = static_cast<std::uint32_t>(key.size());
    const auto payload_length = static_cast<std::uint32_t>(payload.size());
    std::memcpy(record, &key_length, 4);
    std::memcpy(record + 4, &payload_length, 4);
    // An empty view may have no data: copying from it is no copy at all.
    std::copy(key.begin(), key.end(), record + header_bytes);
    std::copy(payload.begin(), payload.end(), record + header_bytes + key.size());
    if (records_.empty()) {
        shared_ = key.size();
    } else {
        const std::string_view first = key_of(records_.front().record);
        shared_ = std::min(shared_, key.size());
        shared_ = static_cast<std::size_t>(
            std::mismatch(key.begin(), key.begin() + static_cast<std::ptrdiff_t>(shared_),
                          first.begin())
                .first -
            key.begin());
    }
    records_.push_back({0, record});
    memory_used_ += cost;
    sorted_ = false;
    return true;
}

void ExternalSort::sort_in_memory()
{
    if (!sorted_ && !in_order_) {
        sort_by_key(records_, shared_, key_of);
        sorted_ = true;
    }
}

bool ExternalSort::write_run(std::vector<RunCursor*>& sources, SortedRun& run)
{
    run.fd = make_temporary_file(directory_);
    if (run.fd < 0) {
        error_ = errno;
        return false;
    }
    std::vector<char> out;
    out.reserve(write_block);
    const auto flush = [&]() {
        if (error_ == 0) {
            error_ = write_whole(run.fd, out.data(), out.size(), run.size);
        }
        run.size += out.size();
        bytes_written_ += out.size();
        out.clear();
        return error_ == 0;
    };
    std::vector<RunCursor*> heap;
    std::copy_if(sources.begin(), sources.end(), std::back_inserter(heap),
                 [this](RunCursor* source) { return source->advance(error_); });
    std::make_heap(heap.begin(), heap.end(), comes_later);
    while (!heap.empty() && error_ == 0) {
        std::pop_heap(heap.begin(), heap.end(), comes_later);
        RunCursor* const least = heap.back();
        const auto key_length = static_cast<std::uint32_t>(least->key.size());
        const auto payload_length = static_cast<std::uint32_t>(least->payload.size());
        const std::size_t bytes = header_bytes + key_length + payload_length;
        if (out.size() + bytes > write_block && !flush()) {
            return false;
        }
        const std::size_t at = out.size();
        out.resize(at + bytes);
        std::memcpy(out.data() + at, &key_length, 4);
        std::memcpy(out.data() + at + 4, &payload_length, 4);
        std::copy(least->key.begin(), least->key.end(), out.data() + at + header_bytes);
        std::copy(least->payload.begin(), least->payload.end(),
                  out.data() + at + header_bytes + key_length);
        if (least->advance(error_)) {
            std::push_heap(heap.begin(), heap.end(), comes_later);
        } else {
            heap.pop_back();
        }
    }
    ++runs_written_;
    return flush();
}

bool ExternalSort::spill()
{
    sort_in_memory();
    RunCursor memory;
    memory.memory = &records_;
    std::vector<RunCursor*> sources{&memory};
    auto run = std::make_unique<SortedRun>();
    if (!write_run(sources, *run)) {
        return false;
    }
    runs_.push_back(std::move(run));
    records_.clear();
    clear_store(store_);
    memory_used_ = 0;
    if (in_order_) {
        return true; // read back one run after another, never merged
    }
    // Like a binary counter: merge_fan_in runs of one level make one of the
    // next, so that each record is written a few times, not once a run.
    for (;;) {
        std::size_t tail = 0;
        while (tail < runs_.size() &&
               runs_[runs_.size() - 1 - tail]->level == runs_.back()->level) {
            ++tail;
        }
        if (tail < merge_fan_in) {
            return true;
        }
        if (!merge_tail(tail)) {
            return false;
        }
    }
}

bool ExternalSort::spill_memory()
{
    if (!records_.empty() && !spill()) {
        return false;
    }
    records_ = std::vector<MemoryRecord>();
    store_ = ByteStore();
    return true;
}

bool ExternalSort::merge_tail(std::size_t count)
{
    const std::size_t first = runs_.size() - count;
    std::vector<std::unique_ptr<RunCursor>> cursors;
    std::vector<RunCursor*> sources;
    for (std::size_t i = first; i < runs_.size(); ++i) {
        cursors.push_back(std::make_unique<RunCursor>());
        cursors.back()->run = runs_[i].get();
        cursors.back()->order = i;
        sources.push_back(cursors.back().get());
    }
    auto merged = std::make_unique<SortedRun>();
    merged->level = runs_.back()->level + 1;
    if (!write_run(sources, *merged)) {
        return false;
    }
    runs_.resize(first);
    runs_.push_back(std::move(merged));
    return true;
}

void ExternalSort::rewind()
{
    sort_in_memory();
    cursors_.clear();
    heap_.clear();
    pending_ = nullptr;
    for (std::size_t i = 0; i <= runs_.size(); ++i) {
        cursors_.push_back(std::make_unique<RunCursor>());
        RunCursor& cursor = *cursors_.back();
        cursor.order = i;
        if (i < runs_.size()) {
            cursor.run = runs_[i].get();
        } else {
            cursor.memory = &records_; // the latest records
        }
        // Records in order are read from one run at a time.
        const bool wanted = !in_order_ || heap_.empty();
        if (error_ == 0 && wanted && cursor.advance(error_)) {
            heap_.push_back(&cursor);
        }
    }
    std::make_heap(heap_.begin(), heap_.end(), comes_later);
}

void ExternalSort::take_up_after(std::size_t order)
{
    for (std::size_t later = order + 1; later < cursors_.size() && error_ == 0; ++later) {
        if (cursors_[later]->advance(error_)) {
            heap_.push_back(cursors_[later].get());
            return;
        }
    }
}

bool ExternalSort::next(std::string_view& key, std::string_view& payload)
{
    // The record given last stays readable until now: its cursor moves on
    // only when the next one is asked for.
    if (pending_ != nullptr) {
        if (pending_->advance(error_)) {
            heap_.push_back(pending_);
            std::push_heap(heap_.begin(), heap_.end(), comes_later);
        } else if (in_order_) {
            // Records in order are read one run after another, each run's
            // buffer given back as it ends.
            pending_->buffer = std::vector<char>();
            take_up_after(pending_->order);
        }
        pending_ = nullptr;
    }
    if (heap_.empty() || error_ != 0) {
        return false;
    }
    std::pop_heap(heap_.begin(), heap_.end(), comes_later);
    pending_ = heap_.back();
    heap_.pop_back();
    key = pending_->key;
    payload = pending_->payload;
    return true;
}

// Sorting more records than memory holds, as sort(1) does: records are
// kept in memory up to a budget, sorted there, and written out as sorted
// runs to temporary files when the budget is spent; the runs and what is
// left in memory are then merged. The sort is stable: records of equal
// keys come out in the order they went in.
#ifndef B64NUM_EXTERNAL_SORT_H
#define B64NUM_EXTERNAL_SORT_H

#include "byte_store.h"
#include "key_sort.h"
#include "temporary_file.h"

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

struct SortedRun;
struct RunCursor;

class ExternalSort {
public:
    // Holds at most `budget` bytes of records in memory, and writes runs
    // into `directory`. With `in_order`, the records come in order already:
    // they are held, spilled and read back as they came.
    ExternalSort(std::size_t budget, std::string directory, bool in_order = false);
    ~ExternalSort();
    ExternalSort(const ExternalSort&) = delete;
    ExternalSort& operator=(const ExternalSort&) = delete;

    // Adds a record that sorts by `key` (bytes compared as unsigned) and
    // carries `payload`. False once a run could not be written: see error().
    bool add(std::string_view key, std::string_view payload);

    // Starts reading the records in order, from the first; may be called
    // again to read them all once more.
    void rewind();

    // The next record in order; false after the last one, or on an error.
    bool next(std::string_view& key, std::string_view& payload);

    // Writes the records held in memory as a run and gives their memory
    // back, for another sort that shares the budget while these are read:
    // false if the run could not be written (see error()).
    bool spill_memory();
    // The memory the records held in it take.
    std::size_t memory_used() const { return memory_used_; }

    // errno of the first failed write or read of a run, or 0.
    int error() const { return error_; }
    // The directory of the runs, for messages.
    const std::string& directory() const { return directory_; }
    // How many runs went to disk, and how many bytes they hold in all.
    std::size_t runs_written() const { return runs_written_; }
    std::uint64_t bytes_written() const { return bytes_written_; }

private:
    void sort_in_memory();
    bool spill();
    bool merge_tail(std::size_t count);
    bool write_run(std::vector<RunCursor*>& sources, SortedRun& run);
    void take_up_after(std::size_t order);

    std::size_t budget_;
    std::string directory_;
    ByteStore store_;
    std::vector<MemoryRecord> records_; // in memory, in the order they came
    std::size_t shared_ = 0;            // bytes that every key in memory starts with
    std::size_t memory_used_ = 0;
    std::vector<std::unique_ptr<SortedRun>> runs_; // on disk, oldest first
    std::vector<std::unique_ptr<RunCursor>> cursors_;
    std::vector<RunCursor*> heap_;
    RunCursor* pending_ = nullptr; // of the record given last
    bool sorted_ = false;
    bool in_order_ = false;
    int error_ = 0;
    std::size_t runs_written_ = 0;
    std::uint64_t bytes_written_ = 0;
};

#endif

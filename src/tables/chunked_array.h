// An array that grows in chunks that never move: no copy of what it holds
// when it grows, and so never the old and the new array in memory at once,
// as a std::vector of millions of entries would need. Chunks are large
// enough for huge pages (see huge_pages.h).
#ifndef B64NUM_CHUNKED_ARRAY_H
#define B64NUM_CHUNKED_ARRAY_H

#include "huge_pages.h"

#include <cstddef>
#include <memory>
#include <type_traits>
#include <vector>

template <typename T> class ChunkedArray {
    static_assert(std::is_trivially_copyable_v<T> && std::is_trivially_destructible_v<T>,
                  "chunks are raw memory");

public:
    std::size_t size() const { return size_; }
    bool empty() const { return size_ == 0; }
    T& operator[](std::size_t index) { return chunks_[index / per_chunk][index % per_chunk]; }
    const T& operator[](std::size_t index) const
    {
        return chunks_[index / per_chunk][index % per_chunk];
    }
    void push_back(const T& value)
    {
        if (size_ == chunks_.size() * per_chunk) {
            chunks_.emplace_back(static_cast<T*>(allocate_pages(chunk_bytes)));
        }
        new (&(*this)[size_]) T(value);
        ++size_;
    }
    // Empties the array, keeping its first chunk to fill again.
    void clear()
    {
        if (chunks_.size() > 1) {
            chunks_.resize(1);
        }
        size_ = 0;
    }

private:
    static constexpr std::size_t chunk_bytes = huge_allocation;
    static constexpr std::size_t per_chunk = chunk_bytes / sizeof(T);
    struct Free {
        void operator()(T* chunk) const noexcept { free_pages(chunk, chunk_bytes); }
    };
    std::vector<std::unique_ptr<T[], Free>> chunks_;
    std::size_t size_ = 0;
};

#endif

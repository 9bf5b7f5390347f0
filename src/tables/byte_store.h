// Copies of bytes in blocks that never move, so that views of them stay
// valid as more are kept: paths, and the rows that --diff keeps.
#ifndef B64NUM_BYTE_STORE_H
#define B64NUM_BYTE_STORE_H

#include "huge_pages.h"

#include <algorithm>
#include <cstddef>
#include <memory>
#include <string_view>
#include <vector>

struct ByteStoreBlockFree {
    std::size_t bytes;
    void operator()(char* block) const noexcept { free_pages(block, bytes); }
};

struct ByteStore {
    std::vector<std::unique_ptr<char[], ByteStoreBlockFree>> blocks;
    std::size_t used = 0;
    std::size_t capacity = 0;
};

// Forgets every copy, keeping the last block to fill again.
void clear_store(ByteStore& store);

// Room for `length` bytes, which the caller fills.
char* make_room(ByteStore& store, std::size_t length);

// A copy of `length` bytes at `text`.
inline std::string_view keep(ByteStore& store, const char* text, std::size_t length)
{
    char* const copy = make_room(store, length);
    std::copy(text, text + length, copy);
    return {copy, length};
}

#endif

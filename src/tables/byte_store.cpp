#include "byte_store.h"

#include <algorithm>

namespace {

// Blocks of 1 MiB while a store is small; past a few, a store holds a tree
// of millions of rows, and its blocks are large enough for huge pages.
constexpr std::size_t small_block = std::size_t{1} << 20;
constexpr std::size_t small_blocks = 4;
constexpr std::size_t large_block = std::size_t{8} << 20;

} // namespace

char* make_room(ByteStore& store, std::size_t length)
{
    if (store.capacity - store.used < length) {
        const std::size_t block = store.blocks.size() < small_blocks ? small_block : large_block;
        const std::size_t size = std::max(block, length);
        // Not zeroed: each byte is written before it is read, and pages that
        // nothing writes stay unmapped.
        store.blocks.emplace_back(static_cast<char*>(allocate_pages(size)),
                                  ByteStoreBlockFree{size});
        store.used = 0;
        store.capacity = size;
    }
    char* const room = store.blocks.back().get() + store.used;
    store.used += length;
    return room;
}

void clear_store(ByteStore& store)
{
    if (store.blocks.size() > 1) {
        std::swap(store.blocks.front(), store.blocks.back());
        store.blocks.resize(1);
    }
    store.used = 0;
}

#include "byte_store.h"

#include <algorithm>

namespace {

constexpr std::size_t block_size = std::size_t{1} << 20;

} // namespace

char* make_room(ByteStore& store, std::size_t length)
{
    if (store.capacity - store.used < length) {
        const std::size_t size = std::max(block_size, length);
        // Not zeroed: each byte is written before it is read, and pages that
        // nothing writes stay unmapped.
        store.blocks.emplace_back(new char[size]);
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

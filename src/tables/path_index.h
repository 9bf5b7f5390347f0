// An index from paths, kept elsewhere, to 32-bit numbers: open addressing
// over one array of 8-byte slots, each the path's hash and its number, so
// that a lookup among millions of paths costs one or two cache misses, where
// a map of nodes pays one per node and an allocation per insert.
//
// Any user of a backed-up host names files, and so chooses paths: paths
// are hashed with the keyed hash (see keyed_hash.h), which nobody can
// choose names against.
#ifndef B64NUM_PATH_INDEX_H
#define B64NUM_PATH_INDEX_H

#include "huge_pages.h"

#include <cstddef>
#include <cstdint>
#include <string_view>
#include <vector>

struct PathIndex {
    std::vector<std::uint64_t, HugePageAllocator<std::uint64_t>>
        slots; // hash << 32 | (number + 1); 0 when empty
    std::size_t count = 0;
};

// The keyed hash of `path`, in 32 bits.
std::uint32_t path_hash(std::string_view path);

// The number stored for `path`, whose hash is `hash`, or -1 when there is
// none. `path_of(number)` gives back the path a number was stored for.
template <typename PathOf>
std::int64_t find_path(const PathIndex& index, std::string_view path, std::uint32_t hash,
                       PathOf&& path_of)
{
    if (index.slots.empty()) {
        return -1;
    }
    const std::size_t mask = index.slots.size() - 1;
    for (std::size_t at = hash & mask;; at = (at + 1) & mask) {
        const std::uint64_t slot = index.slots[at];
        if (slot == 0) {
            return -1;
        }
        const auto number = static_cast<std::uint32_t>(slot) - 1;
        if (static_cast<std::uint32_t>(slot >> 32) == hash && path_of(number) == path) {
            return number;
        }
    }
}

// Fetches the slot where a lookup of `hash` starts, ahead of the lookup.
inline void prefetch_slot(const PathIndex& index, std::uint32_t hash)
{
    if (!index.slots.empty()) {
        __builtin_prefetch(&index.slots[hash & (index.slots.size() - 1)]);
    }
}

// Stores `number` for a path of hash `hash` that the index does not hold.
void insert_path(PathIndex& index, std::uint32_t hash, std::uint32_t number);

#endif

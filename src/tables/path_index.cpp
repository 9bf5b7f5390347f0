#include "path_index.h"

#include "keyed_hash.h"

namespace {

using Slots = decltype(PathIndex::slots);

void place(Slots& slots, std::uint64_t slot)
{
    const std::size_t mask = slots.size() - 1;
    std::size_t at = static_cast<std::uint32_t>(slot >> 32) & mask;
    while (slots[at] != 0) {
        at = (at + 1) & mask;
    }
    slots[at] = slot;
}

} // namespace

std::uint32_t path_hash(std::string_view path)
{
    return static_cast<std::uint32_t>(keyed_hash(path.data(), path.size()));
}

void insert_path(PathIndex& index, std::uint32_t hash, std::uint32_t number)
{
    // At most 70% full: probes stay within a cache line or two (eight slots
    // a line), and a table of 2^k slots still holds 1.4 * 2^(k-1) paths, so
    // that a million paths do not need 32 MiB of slots.
    if (10 * (index.count + 1) > 7 * index.slots.size()) {
        Slots old(index.slots.empty() ? 512 : 2 * index.slots.size(), 0);
        old.swap(index.slots);
        for (const std::uint64_t slot : old) {
            if (slot != 0) {
                place(index.slots, slot);
            }
        }
    }
    place(index.slots, std::uint64_t{hash} << 32 | (std::uint64_t{number} + 1));
    ++index.count;
}

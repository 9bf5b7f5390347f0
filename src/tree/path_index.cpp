#include "path_index.h"

namespace {

void place(std::vector<std::uint64_t>& slots, std::uint64_t slot)
{
    const std::size_t mask = slots.size() - 1;
    std::size_t at = static_cast<std::uint32_t>(slot >> 32) & mask;
    while (slots[at] != 0) {
        at = (at + 1) & mask;
    }
    slots[at] = slot;
}

} // namespace

void insert_path(PathIndex& index, std::uint32_t hash, std::uint32_t number)
{
    // At most half full, so that probes stay short.
    if (2 * (index.count + 1) > index.slots.size()) {
        std::vector<std::uint64_t> old(index.slots.empty() ? 512 : 2 * index.slots.size(), 0);
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

// The in-memory sort of the external sort: entries that point at keys,
// ordered by their keys' bytes (as unsigned, a key before every longer key
// that starts with it), entries of equal keys kept in the order they came.
//
// Keys of catalog rows share long prefixes and differ near their ends, so
// comparing them one pair at a time follows two pointers per comparison. It
// sorts instead seven bytes at a time, most significant first: each entry
// takes the next seven bytes of its key into a number beside it (and how
// many of its bytes are left, where fewer than eight are), the entries are
// sorted by that number with a stable radix sort, and each run of equal
// numbers is sorted by the next seven bytes, until no run is left.
#ifndef B64NUM_KEY_SORT_H
#define B64NUM_KEY_SORT_H

#include <cstddef>
#include <cstdint>
#include <string_view>
#include <vector>

struct MemoryRecord {
    std::uint64_t bytes; // of the key, where the sort has got to (see above)
    const char* record;
};

// Sorts `records`, whose keys `key_of` gives, all starting with the same
// `shared` bytes.
void sort_by_key(std::vector<MemoryRecord>& records, std::size_t shared,
                 std::string_view (*key_of)(const char* record));

#endif

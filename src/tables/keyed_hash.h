// The one hash of every table whose keys come from the input: paths, kinds,
// classes of --by, inodes. Anyone who names files on a backed-up host
// chooses such keys, and against a hash that can be computed ahead, as the
// standard library's can, keys chosen to hash alike pile up in one bucket
// and make a table quadratic. SipHash-1-3 (see siphash.h) under a key drawn
// at random for each process cannot be computed ahead.
#ifndef B64NUM_KEYED_HASH_H
#define B64NUM_KEYED_HASH_H

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

// The keyed hash of the `length` bytes at `data`.
std::uint64_t keyed_hash(const void* data, std::size_t length);

// The same as a function object, for the keys of KeyedMap (see keyed_map.h).
struct KeyedHash {
    std::size_t operator()(std::string_view key) const
    {
        return keyed_hash(key.data(), key.size());
    }
    std::size_t operator()(const std::string& key) const
    {
        return keyed_hash(key.data(), key.size());
    }
    std::size_t operator()(std::uint32_t key) const { return keyed_hash(&key, sizeof key); }
    std::size_t operator()(std::uint64_t key) const { return keyed_hash(&key, sizeof key); }
    // A machine, a device and an inode.
    std::size_t operator()(const std::array<std::int64_t, 3>& key) const
    {
        return keyed_hash(key.data(), sizeof key);
    }
};

#endif

// The memory that the sort of the tree modes may hold, as sort(1)'s
// -S/--buffer-size sets it and as the process's limits allow.
#ifndef B64NUM_BUFFER_SIZE_H
#define B64NUM_BUFFER_SIZE_H

#include <cstddef>
#include <string_view>

constexpr std::size_t default_buffer_size = std::size_t{256} << 20;

// Reads SIZE as sort -S takes it: a number of KiB, or of bytes, KiB, MiB,
// GiB or TiB with the suffix b, K, M, G or T, or a percentage of physical
// memory with %. False for anything else, or a size that overflows.
bool parse_buffer_size(std::string_view text, std::size_t& bytes);

// `wanted` clamped, as sort clamps it, to half of the least of the limits
// that the process runs under (RLIMIT_AS, RLIMIT_DATA, its cgroup's
// memory.max): the rest of the process needs memory too, and a sort that
// spills is slower but one that runs out of memory gives no answer.
std::size_t clamped_buffer_size(std::size_t wanted);

#endif

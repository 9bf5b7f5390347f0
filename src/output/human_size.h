// Sizes as ls -lh and du -h print them.
#ifndef B64NUM_HUMAN_SIZE_H
#define B64NUM_HUMAN_SIZE_H

#include <cstddef>
#include <cstdint>

// Writes `bytes` in powers of 1024 with the units K M G T P E, as GNU ls -h
// and du -h do: below 1024 as it is, then one decimal below 10 and none
// from 10, always rounded up, so 1025 is 1.1K and 1048575 is 1.0M. A
// negative size, which no file has, is written as it is. Returns the length.
std::size_t human_size(std::int64_t bytes, char (&text)[24]);

// A difference of sizes the same way, with a '-' before a negative one.
std::size_t human_delta(std::int64_t bytes, char (&text)[24]);

#endif

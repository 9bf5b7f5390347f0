// The hash map of every table whose keys come from the input: the
// standard library's, with the keyed hash (see keyed_hash.h) in place of
// its own, which anyone can compute ahead.
#ifndef B64NUM_KEYED_MAP_H
#define B64NUM_KEYED_MAP_H

#include "keyed_hash.h"

#include <unordered_map>

template <typename Key, typename Value> using KeyedMap = std::unordered_map<Key, Value, KeyedHash>;

#endif

#include "keyed_hash.h"

#include "siphash.h"

#include <sys/random.h>

#include <cstdlib>

namespace {

// A key drawn for this process from the system's randomness, which no one
// who names files can know. Without randomness there is no key, and a
// guessable key would be none: the process stops.
SipKey random_key()
{
    SipKey key{};
    if (getrandom(&key, sizeof key, 0) != static_cast<ssize_t>(sizeof key)) {
        std::abort();
    }
    return key;
}

} // namespace

std::uint64_t keyed_hash(const void* data, std::size_t length)
{
    static const SipKey key = random_key();
    return siphash<1, 3>(key, static_cast<const unsigned char*>(data), length);
}

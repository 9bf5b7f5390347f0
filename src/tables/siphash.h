// SipHash-c-d (Aumasson and Bernstein, 2012): a keyed hash of short inputs,
// designed so that whoever does not know the key cannot find inputs that
// collide. SipHash-2-4 is the one its authors proposed, and libsodium's
// crypto_shorthash; SipHash-1-3, with fewer rounds, is the one that Rust's
// and Python's hash tables use against flooding, at twice the speed.
#ifndef B64NUM_SIPHASH_H
#define B64NUM_SIPHASH_H

#include <cstddef>
#include <cstdint>
#include <cstring>

struct SipKey {
    std::uint64_t k0, k1;
};

namespace siphash_detail {

constexpr std::uint64_t rotate_left(std::uint64_t value, int bits)
{
    return (value << bits) | (value >> (64 - bits));
}

// Eight bytes read as a little-endian number, whatever the host's order.
inline std::uint64_t little_endian(const unsigned char* bytes)
{
    std::uint64_t word = 0;
    std::memcpy(&word, bytes, sizeof word);
#if defined(__BYTE_ORDER__) && __BYTE_ORDER__ == __ORDER_BIG_ENDIAN__
    word = __builtin_bswap64(word);
#endif
    return word;
}

struct State {
    std::uint64_t v0, v1, v2, v3;

    template <int count> void rounds()
    {
        for (int i = 0; i < count; ++i) {
            v0 += v1;
            v1 = rotate_left(v1, 13) ^ v0;
            v0 = rotate_left(v0, 32);
            v2 += v3;
            v3 = rotate_left(v3, 16) ^ v2;
            v0 += v3;
            v3 = rotate_left(v3, 21) ^ v0;
            v2 += v1;
            v1 = rotate_left(v1, 17) ^ v2;
            v2 = rotate_left(v2, 32);
        }
    }

    template <int compression_rounds> void absorb(std::uint64_t word)
    {
        v3 ^= word;
        rounds<compression_rounds>();
        v0 ^= word;
    }
};

} // namespace siphash_detail

// The SipHash-c-d of the `length` bytes at `data` under `key`.
template <int compression_rounds, int finalization_rounds>
std::uint64_t siphash(const SipKey& key, const unsigned char* data, std::size_t length)
{
    siphash_detail::State state{0x736f6d6570736575 ^ key.k0, 0x646f72616e646f6d ^ key.k1,
                                0x6c7967656e657261 ^ key.k0, 0x7465646279746573 ^ key.k1};
    const std::size_t whole = length - length % 8;
    for (std::size_t at = 0; at < whole; at += 8) {
        state.absorb<compression_rounds>(siphash_detail::little_endian(data + at));
    }
    // The last word: the bytes left over, and the length in its top byte.
    unsigned char rest[8] = {};
    if (length % 8 != 0) { // an empty path may have no bytes at all to point to
        std::memcpy(rest, data + whole, length % 8);
    }
    rest[7] = static_cast<unsigned char>(length);
    state.absorb<compression_rounds>(siphash_detail::little_endian(rest));
    state.v2 ^= 0xFF;
    state.rounds<finalization_rounds>();
    return state.v0 ^ state.v1 ^ state.v2 ^ state.v3;
}

#endif

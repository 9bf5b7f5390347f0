// The tables keyed by input against keys chosen to collide: however names
// and inodes are chosen, a lookup compares a key or two, not every key of
// a pile. And their SipHash, which with the rounds of SipHash-2-4 must be
// libsodium's.
#include "colliding_names.h"
#include "keyed_map.h"
#include "siphash.h"

#include <gtest/gtest.h>
#include <sodium.h>

#include <algorithm>
#include <array>
#include <functional>
#include <iterator>
#include <random>
#include <string_view>

namespace {

// The most keys that share one bucket of `map`: what a lookup goes through.
// Keys spread at random put some ten at most in one bucket of thousands;
// keys that pile up put them all.
template <typename Map> std::size_t longest_bucket(const Map& map)
{
    std::size_t longest = 0;
    for (std::size_t bucket = 0; bucket < map.bucket_count(); ++bucket) {
        longest = std::max(longest, map.bucket_size(bucket));
    }
    return longest;
}

TEST(KeyedMap, KeysThatCollideUnderOtherHashesSpreadOut)
{
    KeyedMap<std::string, int> kinds;
    for (const std::string& name : colliding_paths(4000, ".")) {
        kinds.emplace(name, 0);
    }
    EXPECT_LE(longest_bucket(kinds), 32U);
    // Inodes that the streaming tree once keyed as (dev * K) ^ ino, all alike.
    constexpr std::uint64_t multiplier = 0x9E3779B97F4A7C15;
    KeyedMap<std::array<std::int64_t, 3>, int> inodes;
    for (std::uint64_t dev = 1; dev <= 4000; ++dev) {
        const std::uint64_t ino = 0x5eed ^ (dev * multiplier);
        ASSERT_EQ((dev * multiplier) ^ ino, 0x5eedU);
        inodes.emplace(std::array<std::int64_t, 3>{1, static_cast<std::int64_t>(dev),
                                                   static_cast<std::int64_t>(ino)},
                       0);
    }
    EXPECT_LE(longest_bucket(inodes), 32U);
}

TEST(SipHash, TwoFourGivesTheVectorOfItsPaperAndLibsodiumsHashes)
{
    unsigned char message[64];
    for (std::size_t i = 0; i < sizeof message; ++i) {
        message[i] = static_cast<unsigned char>(i);
    }
    const SipKey counting{0x0706050403020100, 0x0F0E0D0C0B0A0908}; // bytes 0 to 15
    EXPECT_EQ((siphash<2, 4>(counting, message, 15)), 0xa129ca6149be45e5U);
    ASSERT_GE(sodium_init(), 0);
    std::mt19937_64 random(3); // NOLINT(cert-msc32-c,cert-msc51-cpp): the same cases every run
    for (std::size_t length = 0; length <= sizeof message; ++length) {
        std::generate(std::begin(message), std::end(message),
                      [&random] { return static_cast<unsigned char>(random()); });
        const SipKey key{random(), random()};
        unsigned char key_bytes[crypto_shorthash_KEYBYTES];
        unsigned char expected[crypto_shorthash_BYTES];
        for (int i = 0; i < 8; ++i) {
            key_bytes[i] = static_cast<unsigned char>(key.k0 >> (8 * i));
            key_bytes[8 + i] = static_cast<unsigned char>(key.k1 >> (8 * i));
        }
        crypto_shorthash(expected, message, length, key_bytes);
        const std::uint64_t ours = siphash<2, 4>(key, message, length);
        for (int i = 0; i < 8; ++i) {
            EXPECT_EQ(static_cast<unsigned char>(ours >> (8 * i)), expected[i]) << length;
        }
    }
}

} // namespace

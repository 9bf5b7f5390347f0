// Paths that all hash alike under libstdc++'s std::hash of strings (its
// _Hash_bytes, a variant of MurmurHash2 with a fixed seed, which
// b64num-lstat's path index once used): `directory`, then a name whose last
// eight bytes undo what the bytes before them did to the hash's state, as
// any user who names files on a backed-up host could. Words are read
// little-endian, as on x86-64.
#ifndef B64NUM_TESTS_COLLIDING_NAMES_H
#define B64NUM_TESTS_COLLIDING_NAMES_H

#include <cstdint>
#include <cstring>
#include <random>
#include <string>
#include <vector>

inline std::vector<std::string> colliding_paths(std::size_t count, const std::string& directory)
{
    constexpr std::uint64_t mul = 0xc6a4a7935bd1e995;
    constexpr std::uint64_t seed = 0xc70f6907;
    std::uint64_t inverse = mul; // of mul modulo 2^64, by Newton's iteration
    for (int i = 0; i < 6; ++i) {
        inverse *= 2 - mul * inverse;
    }
    const auto shift_mix = [](std::uint64_t v) { return v ^ (v >> 47); }; // its own inverse
    const auto mixed = [&](std::uint64_t word) { return shift_mix(word * mul) * mul; };
    const auto unmixed = [&](std::uint64_t word) { return shift_mix(word * inverse) * inverse; };
    // The name fills whole words after the directory: letters to the next
    // word, two words of random letters, and the word that undoes them.
    const std::size_t random_end = (directory.size() + 7) / 8 * 8 + 16;
    const std::size_t length = random_end + 8;
    const std::uint64_t end_state = 0x0123456789abcdef; // the same for every path
    std::mt19937_64 random(42); // NOLINT(cert-msc32-c,cert-msc51-cpp): the same paths every run
    std::uniform_int_distribution<int> letter('a', 'z');
    std::vector<std::string> paths;
    while (paths.size() < count) {
        std::string path = directory;
        while (path.size() < random_end) {
            path += static_cast<char>(letter(random));
        }
        std::uint64_t state = seed ^ (length * mul);
        for (std::size_t at = 0; at < random_end; at += 8) {
            std::uint64_t word = 0;
            std::memcpy(&word, path.data() + at, 8);
            state = (state ^ mixed(word)) * mul;
        }
        const std::uint64_t last = unmixed(state ^ (end_state * inverse));
        path.append(reinterpret_cast<const char*>(&last), 8);
        // A name's bytes: none that a catalog's client escapes, nor '/'.
        bool plain = true;
        for (std::size_t i = random_end; i < length; ++i) {
            const auto byte = static_cast<unsigned char>(path[i]);
            plain = plain && byte >= 0x20 && byte != 0x7F && byte != '/' && byte != '\\';
        }
        if (plain) {
            paths.push_back(path);
        }
    }
    return paths;
}

#endif

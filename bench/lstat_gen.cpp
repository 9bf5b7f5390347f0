// Writes ROWS generated catalog rows to standard output, each a file name,
// a TAB and a 16-field LStat value, as a catalog query would print them.
// With "long", the values are random numbers of up to 40 bits instead of
// file attributes, so that most numerals are long.
//
// usage: lstat_gen ROWS [long]
#include "lstat_corpus.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <random>
#include <string>

int main(int argc, char* argv[])
{
    const bool long_numerals = argc == 3 && std::strcmp(argv[2], "long") == 0;
    if (argc != 2 && !long_numerals) {
        (void)std::fputs("usage: lstat_gen ROWS [long]\n", stderr);
        return 2;
    }
    const long rows = std::strtol(argv[1], nullptr, 10);
    std::mt19937_64 random(7); // NOLINT(cert-msc32-c,cert-msc51-cpp): same rows every run
    for (long row = 0; row < rows; ++row) {
        std::string line = "/srv/data/project" + std::to_string(row % 97) + "/file" +
                           std::to_string(row) + ".dat\t";
        const char* separator = "";
        const auto values = long_numerals ? lstat_corpus::long_numeral_row(random)
                                          : lstat_corpus::lstat_row(random);
        for (const std::int64_t value : values) {
            line += separator + lstat_corpus::to_base64(value);
            separator = " ";
        }
        line += '\n';
        if (std::fwrite(line.data(), 1, line.size(), stdout) != line.size()) {
            return 1;
        }
    }
    return std::fflush(stdout) == 0 ? 0 : 1;
}

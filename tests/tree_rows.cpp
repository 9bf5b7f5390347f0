// Prints a catalog row for DIRECTORY and every entry below it, in a
// shuffled order: its full path, escaped as COPY ... TO STDOUT escapes it (a
// directory's path ends in '/'), a TAB, and an LStat value made from
// lstat(2) with the tests' encoder.
//
// usage: tree_rows DIRECTORY
#include "stat_lstat.h"

#include <ftw.h>
#include <sys/stat.h>

#include <algorithm>
#include <cstdio>
#include <random>
#include <string>
#include <vector>

namespace {

std::vector<std::string>
    rows; // NOLINT(cppcoreguidelines-avoid-non-const-global-variables): nftw passes no context

std::string as_copy_prints(const char* path)
{
    std::string out;
    for (const char* c = path; *c != '\0'; ++c) {
        const std::string bytes = "\\\n\r\t\b\f\v";
        const std::size_t at = bytes.find(*c);
        out += at == std::string::npos ? std::string(1, *c) : std::string{'\\', "\\nrtbfv"[at]};
    }
    return out;
}

int add_row(const char* path, const struct stat* info, int /*type*/, FTW* /*where*/)
{
    rows.push_back(as_copy_prints(path) + (S_ISDIR(info->st_mode) ? "/" : "") + "\t" +
                   lstat_text(*info) + "\n");
    return 0;
}

} // namespace

int main(int argc, char* argv[])
{
    if (argc != 2 || nftw(argv[1], add_row, 16, FTW_PHYS) != 0) {
        (void)std::fputs("usage: tree_rows DIRECTORY\n", stderr);
        return 2;
    }
    std::mt19937 random(13); // NOLINT(cert-msc32-c,cert-msc51-cpp): the same order every run
    std::shuffle(rows.begin(), rows.end(), random);
    for (const std::string& row : rows) {
        (void)std::fputs(row.c_str(), stdout);
    }
    return std::fflush(stdout) == 0 ? 0 : 1;
}

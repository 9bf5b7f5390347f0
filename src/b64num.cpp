// b64num: prints the base-64 numeral given as the first argument as a signed
// decimal number.
//
// Scripts start the tool once per value, so start-up is nearly all it costs.
// Output therefore bypasses stdio: its printf alone faults in about a third
// of a megabyte of libc, more than the whole program otherwise touches. The
// texts are gathered as pieces and written with one writev.
#include "base64.h"

#include <sys/syscall.h>
#include <sys/uio.h>
#include <unistd.h>

#include <cerrno>
#include <charconv>
#include <cstdint>
#include <cstring>
#include <iterator>
#include <limits>
#include <string_view>

#ifndef B64NUM_HOMEPAGE_URL
#error "the build defines B64NUM_HOMEPAGE_URL, the address shown in the help screen"
#endif

namespace {

using namespace std::string_view_literals;

// Stands in for the invocation name when the caller passed none.
const char* const fallback_name = "b64num";

// More pieces than any of the texts needs.
constexpr int max_pieces = 12;

struct Output {
    int fd;
    iovec pieces[max_pieces];
    int count;
    int error; // errno of the first failed write, 0 while all went well
};

void write_pieces(Output& out)
{
    iovec* piece = out.pieces;
    int left = out.count;
    out.count = 0;
    while (left > 0 && out.error == 0) {
        const ssize_t written = writev(out.fd, piece, left);
        if (written < 0) {
            if (errno != EINTR) {
                out.error = errno;
            }
            continue;
        }
        auto remaining = static_cast<std::size_t>(written);
        while (left > 0 && remaining >= piece->iov_len) {
            remaining -= piece->iov_len;
            ++piece;
            --left;
        }
        if (left > 0) {
            if (written == 0) {
                out.error = EIO; // no progress: never spin on a stuck descriptor
            }
            piece->iov_base = static_cast<char*>(piece->iov_base) + remaining;
            piece->iov_len -= remaining;
        }
    }
}

void add(Output& out, std::string_view text)
{
    if (out.count == max_pieces) {
        write_pieces(out);
    }
    // writev only reads through iov_base; it is not const for historical reasons.
    out.pieces[out.count++] = {const_cast<char*>(text.data()), text.size()};
}

void add_usage(Output& out, std::string_view name)
{
    add(out, "Usage: "sv);
    add(out, name);
    add(out, " \n"sv);
    add(out, name);
    add(out, " --help for more information.n"sv);
}

void add_help(Output& out, std::string_view name)
{
    add(out, name);
    add(out, " by Tolvenar (" B64NUM_HOMEPAGE_URL ")\n"
             "Usage: "sv);
    add(out, name);
    add(out, " <value> \n"
             "Where <value> is the base64 encoded data from the LStat table in a bacula database.\n"
             "Example:\n"
             "----\n"sv);
    add(out, name);
    add(out, " UUUAn5326080\n"
             "\n"
             "----\n"
             "n"sv);
}

// Compared by hand: strcmp, memcmp and strlen are each tuned per processor
// and each variant faults in a part of libc that decoding never needs.
bool same_text(const char* left, const char* right)
{
    while (*left != '\0' && *left == *right) {
        ++left;
        ++right;
    }
    return *left == *right;
}

bool is_help_switch(const char* arg)
{
    return same_text(arg, "-h") || same_text(arg, "--help") || same_text(arg, "-?");
}

// Closing standard output is the last chance to learn that data written
// earlier did not reach its destination (NFS, for one, reports it only here).
// The raw system call, because glibc's close() sits in a part of libc that
// nothing else here touches: calling it faults in another 128 KiB.
int finish(Output& out, int status)
{
    write_pieces(out);
    if (syscall(SYS_close, STDOUT_FILENO) != 0 && out.error == 0) {
        out.error = errno;
    }
    if (out.error == 0) {
        return status;
    }
    // Nothing is left to tell if standard error fails too; the status still says it.
    Output report{STDERR_FILENO, {}, 0, 0};
    add(report, "b64num: write error: "sv);
    add(report, std::strerror(out.error));
    add(report, "\n"sv);
    write_pieces(report);
    return 1;
}

} // namespace

int main(int argc, char* argv[])
{
    // Linux hands an empty argument vector over as a single empty name.
    const char* const name = argc > 0 && argv[0][0] != '\0' ? argv[0] : fallback_name;
    Output out{STDOUT_FILENO, {}, 0, 0};

    if (argc <= 1) {
        add_usage(out, name);
        return finish(out, 1);
    }
    if (is_help_switch(argv[1])) {
        add_help(out, name);
        return finish(out, 0);
    }

    std::int64_t value = 0;
    from_base64(&value, argv[1]);
    char digits[std::numeric_limits<std::int64_t>::digits10 + 2]; // 19 digits and a sign
    const auto converted = std::to_chars(std::begin(digits), std::end(digits), value);
    add(out, {digits, static_cast<std::size_t>(converted.ptr - digits)});
    return finish(out, 0);
}

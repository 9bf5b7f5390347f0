// b64num: prints the base-64 numeral given as the first argument as a signed
// decimal number.
#include "base64.h"

#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstring>

#ifndef B64NUM_HOMEPAGE_URL
#error "the build defines B64NUM_HOMEPAGE_URL, the address shown in the help screen"
#endif

namespace {

// Stands in for the invocation name when the caller passed none.
const char* const fallback_name = "b64num";

// errno of the first failed write to standard output; 0 while all went well.
int write_errno = 0;

void check_write(int result)
{
    if (result < 0 && write_errno == 0) {
        write_errno = errno != 0 ? errno : EIO;
    }
}

void print_usage(const char* name)
{
    check_write(std::printf("Usage: %s \n", name));
    check_write(std::printf("%s --help for more information.n", name));
}

void print_help(const char* name)
{
    check_write(std::printf("%s by Tolvenar (" B64NUM_HOMEPAGE_URL ")\n", name));
    check_write(std::printf("Usage: %s <value> \n", name));
    check_write(std::puts(
        "Where <value> is the base64 encoded data from the LStat table in a bacula database."));
    check_write(std::printf("Example:\n----\n%s UUUAn5326080\n\n----\nn", name));
}

bool is_help_switch(const char* arg)
{
    return std::strcmp(arg, "-h") == 0 || std::strcmp(arg, "--help") == 0 ||
           std::strcmp(arg, "-?") == 0;
}

// Output sits in the stdio buffer until here, so only flushing and closing
// standard output tell whether it reached its destination. A full disk or a
// closed descriptor must not pass for success.
int finish(int status)
{
    if (std::fflush(stdout) != 0) {
        check_write(EOF);
    }
    if (std::fclose(stdout) != 0) {
        check_write(EOF);
    }
    if (write_errno == 0) {
        return status;
    }
    // Nothing is left to tell if standard error fails too; the status still says it.
    (void)std::fprintf(stderr, "b64num: write error: %s\n", std::strerror(write_errno));
    return 1;
}

} // namespace

int main(int argc, char* argv[])
{
    // Linux hands an empty argument vector over as a single empty name.
    const char* const name = argc > 0 && argv[0][0] != '\0' ? argv[0] : fallback_name;

    if (argc <= 1) {
        print_usage(name);
        return finish(1);
    }
    if (is_help_switch(argv[1])) {
        print_help(name);
        return finish(0);
    }

    std::int64_t value = 0;
    from_base64(&value, argv[1]);
    check_write(std::printf("%lld", static_cast<long long>(value)));
    return finish(0);
}

// Feeds arbitrary bytes to from_base64 and checks each result against the
// properties a base-64 numeral must have; any violation aborts the run.
#include "numeral_properties.h"

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    // std::string keeps a NUL after its bytes, as the decoder needs; a NUL
    // inside the input ends the text there, just as it would in an argument.
    const std::string text(reinterpret_cast<const char*>(data), size);
    const std::string problem = numeral_properties::violation(text);
    if (!problem.empty()) {
        (void)std::fprintf(stderr, "from_base64: %s\n", problem.c_str());
        std::abort();
    }
    return 0;
}

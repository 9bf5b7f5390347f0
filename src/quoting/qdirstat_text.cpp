#include "qdirstat_text.h"

void append_qdirstat_text(std::string& line, std::string_view real)
{
    static constexpr char hex[] = "0123456789ABCDEF";
    const auto encoded = [](unsigned char byte) {
        return byte <= ' ' || byte == '%' || byte >= 0x7F;
    };
    std::size_t plain = 0; // the start of the bytes not yet appended, which need no code
    for (std::size_t i = 0; i < real.size(); ++i) {
        const auto byte = static_cast<unsigned char>(real[i]);
        if (encoded(byte)) {
            const char code[] = {'%', hex[byte >> 4], hex[byte & 0xF]};
            line.append(real.data() + plain, i - plain);
            line.append(code, sizeof code);
            plain = i + 1;
        }
    }
    line.append(real.data() + plain, real.size() - plain);
}

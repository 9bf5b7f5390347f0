// Feeds arbitrary bytes to b64num-lstat's row walker, row check, column
// unescaping and JSON string writer and checks what they produce; any
// violation aborts the run.
#include "base64.h"
#include "catalog_rows.h"
#include "long_listing.h"
#include "lstat.h"
#include "lstat_output.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

namespace {

void fail(const char* what)
{
    (void)std::fprintf(stderr, "b64num-lstat: %s\n", what);
    std::abort();
}

// The row walker must find the same numerals as splitting at spaces and
// decoding each piece on its own.
void check_walker(const std::string& text)
{
    std::vector<std::string> pieces;
    std::string piece;
    for (const char c : text.substr(0, text.find('\0'))) {
        if (c != ' ') {
            piece += c;
        } else if (!piece.empty()) {
            pieces.push_back(piece);
            piece.clear();
        }
    }
    if (!piece.empty()) {
        pieces.push_back(piece);
    }

    LstatRow row{};
    decode_lstat(text.c_str(), row);
    const std::size_t shown = std::min<std::size_t>(pieces.size(), lstat_field_count);
    if (static_cast<std::size_t>(row.count) != shown ||
        row.has_overflow != (pieces.size() > shown)) {
        fail("the walker counts numerals wrongly");
    }
    for (std::size_t i = 0; i < shown; ++i) {
        std::int64_t value = 0;
        from_base64(&value, pieces[i].c_str());
        if (value != row.values[i]) {
            fail("the walker decodes a numeral differently");
        }
    }
}

// Whatever the bytes, the JSON string must be one well-formed string: valid
// UTF-8, no raw control character, and no quote left unescaped.
void check_json_string(const std::string& text, OutputBuffer& out)
{
    out.used = 0;
    write_json_string(out, text.data(), text.size());
    const auto* json = reinterpret_cast<const unsigned char*>(out.data);
    const std::size_t length = out.used;
    if (length < 2 || json[0] != '"' || json[length - 1] != '"') {
        fail("a JSON string is not quoted");
    }
    for (std::size_t i = 1; i + 1 < length; ++i) {
        const unsigned char c = json[i];
        if (c < 0x20 || c == '"') {
            fail("a JSON string holds a raw control character or quote");
        }
        if (c == '\\') {
            ++i; // the escaped character
            continue;
        }
        if (c >= 0x80) {
            const std::size_t extra = c >= 0xF0 ? 3 : c >= 0xE0 ? 2 : c >= 0xC2 ? 1 : 0;
            if (extra == 0 || c > 0xF4 || i + extra >= length - 1) {
                fail("a JSON string is not UTF-8");
            }
            for (std::size_t k = 1; k <= extra; ++k) {
                if ((json[i + k] & 0xC0) != 0x80) {
                    fail("a JSON string is not UTF-8");
                }
            }
            i += extra;
        }
    }
}

// A line passes the row check only if its LStat value holds nothing but
// digits, minus signs and spaces; unescaping never lengthens a column.
void check_row_and_column(const std::string& text)
{
    const std::size_t tab = text.rfind('\t');
    const std::size_t lstat = tab == std::string::npos ? 0 : tab + 1;
    RowShape shape;
    std::string reason;
    const bool passed = check_row(shape, 1, text.data(), text.size(), text.data() + lstat, reason);
    const bool numeral_bytes =
        text.find_first_not_of("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/- ",
                               lstat) == std::string::npos &&
        text.find('\0') == std::string::npos;
    if (passed != numeral_bytes) {
        fail("the row check misjudges the bytes of an LStat value");
    }
    std::string column = text;
    if (unescape_column(column.data(), column.size()) > text.size()) {
        fail("unescaping lengthened a column");
    }
}

// Whatever the decoded values, an ls -l row is one line.
void check_long_row(const std::string& text, OutputBuffer& out)
{
    LstatRow row{};
    decode_lstat(text.c_str(), row);
    out.used = 0;
    write_long_row(out, PassThrough{nullptr, 0, false}, row);
    const std::string line(out.data, out.used);
    if (line.empty() || line.find('\n') != line.size() - 1) {
        fail("an ls -l row is not one line");
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    static const auto out = std::make_unique<OutputBuffer>();
    if (size > sizeof out->data / 6) {
        return 0; // every byte takes at most six in JSON; keep it in the buffer
    }
    const std::string text(reinterpret_cast<const char*>(data), size);
    check_walker(text);
    check_row_and_column(text);
    check_json_string(text, *out);
    check_long_row(text, *out);
    return 0;
}

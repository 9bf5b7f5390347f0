#include "base64.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <string>

namespace {

struct Case {
    const char* text;
    std::int64_t value;
    int count;
};

const Case cases[] = {
    {"", 0, 0},
    {"-", 0, 1},
    {"A", 0, 1},
    {"B", 1, 1},
    {"/", 63, 1},
    {"BA", 64, 2},
    {"gB", 2049, 2},
    {"-B", -1, 2},
    {"--B", -1, 3},
    {"B C", 1, 1},
    {" B", 0, 0},
    {"B=", 64, 2},
    {"B-", 64, 2},
    {"B\tC", 4098, 3},
    {"-h", -33, 2},
    {"-H", -7, 2},
    {"-help", -8776041, 5},
    {"--HELP", -1852111, 6},
    {"AB", 1, 2},
    {"gB C D", 2049, 2},
    {"//////////", 1152921504606846975, 10},
    {"///////////", -1, 11},
    {"H//////////", INT64_MAX, 11},
    {"IAAAAAAAAAA", INT64_MIN, 11},
    {"-IAAAAAAAAAA", INT64_MIN, 12},
    {"UUUAn5326080", 4972149489418325812, 12},
};

void PrintTo(const Case& c, std::ostream* os)
{
    *os << testing::PrintToString(std::string(c.text));
}

class DecodeTest : public testing::TestWithParam<Case> {};

TEST_P(DecodeTest, ValueAndCountAreStableAcrossCallsAndReinit)
{
    const Case& c = GetParam();
    for (int attempt = 0; attempt < 3; ++attempt) {
        if (attempt == 2) {
            base64_init();
        }
        std::int64_t value = 12345;
        EXPECT_EQ(from_base64(&value, c.text), c.count) << "attempt " << attempt;
        EXPECT_EQ(value, c.value) << "attempt " << attempt;
    }
}

INSTANTIATE_TEST_SUITE_P(Numerals, DecodeTest, testing::ValuesIn(cases));

TEST(DecoderTable, HoldsExactlyTheAlphabet)
{
    const std::string alphabet = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
    base64_init();
    ASSERT_EQ(base64_inited, 1);
    for (int code = 0; code < 128; ++code) {
        const auto at = alphabet.find(static_cast<char>(code));
        const int expected = code != 0 && at != std::string::npos ? static_cast<int>(at) : 0;
        EXPECT_EQ(base64_map[code], expected) << "code " << code;
    }
}

TEST(DecoderTable, IsBuiltOnFirstUse)
{
    std::memset(base64_map, 0, sizeof base64_map);
    base64_inited = 0;
    std::int64_t value = 0;
    EXPECT_EQ(from_base64(&value, "gB"), 2);
    EXPECT_EQ(value, 2049);
    EXPECT_EQ(base64_inited, 1);
}

// Bytes above 0x7F lie outside the 128-entry table: they must count as digit 0
// and still shift, never index past the table.
TEST(HighBytes, CountAsZeroDigits)
{
    for (int byte = 0x80; byte <= 0xFF; ++byte) {
        const char high = static_cast<char>(byte);
        const struct {
            std::string text;
            std::int64_t value;
            int count;
        } rows[] = {
            {{high}, 0, 1},
            {{'B', high}, 64, 2},
            {{high, 'B'}, 1, 2},
            {{'-', high, 'B', high}, -64, 4},
        };
        for (const auto& row : rows) {
            std::int64_t value = 0;
            EXPECT_EQ(from_base64(&value, row.text.c_str()), row.count) << "byte " << byte;
            EXPECT_EQ(value, row.value) << "byte " << byte;
        }
    }
}

} // namespace

// The fields of LStat values, decoded whole and one at a time. Built twice:
// against the core as it is, and with its portable scan, which machines of
// another byte order take.
#include "lstat.h"
#include "lstat_values.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <string>

namespace {

struct WalkCase {
    const char* title;
    std::string text;
    Values values;
    bool has_overflow;
    std::uint32_t wrapped = 0;
};

Values with_size(std::int64_t size)
{
    Values values = file_attributes;
    values[7] = size;
    return values;
}

void PrintTo(const WalkCase& c, std::ostream* os)
{
    *os << c.title;
}

class DecodeLstatTest : public testing::TestWithParam<WalkCase> {};

TEST_P(DecodeLstatTest, FindsEveryNumeral)
{
    const WalkCase& c = GetParam();
    LstatRow row{};
    decode_lstat(c.text.c_str(), row);
    EXPECT_EQ(Values(row.values, row.values + row.count), c.values);
    EXPECT_EQ(row.has_overflow, c.has_overflow);
    // Over [begin, end), without the NUL, field by field too.
    LstatRow ranged{};
    const char* const end = c.text.data() + c.text.size();
    decode_lstat(c.text.data(), end, ranged);
    EXPECT_EQ(Values(ranged.values, ranged.values + ranged.count), c.values);
    EXPECT_EQ(ranged.has_overflow, c.has_overflow);
    EXPECT_EQ(row.wrapped, c.wrapped);
    EXPECT_EQ(ranged.wrapped, c.wrapped);
    // One field of a text of fewer numerals than an LStat value is none,
    // and neither is a value that wrapped.
    const bool whole = ranged.count >= fewest_in_a_value;
    for (int index = 0; index <= lstat_field_count; ++index) {
        std::int64_t value = 0;
        const bool found = decode_lstat_field(c.text.data(), end, index, value);
        const bool fits = index >= 32 || ((c.wrapped >> index) & 1U) == 0;
        EXPECT_EQ(found, whole && index < ranged.count && fits) << index;
        EXPECT_EQ(found ? value : 0,
                  whole && index < ranged.count && fits ? ranged.values[index] : 0)
            << index;
    }
}

INSTANTIATE_TEST_SUITE_P(
    Rows, DecodeLstatTest,
    testing::Values(
        WalkCase{"sixteen fields", lstat_text(file_attributes), file_attributes, false},
        WalkCase{"thirteen fields", lstat_text(first_attributes(13)), first_attributes(13), false},
        WalkCase{"twelve fields", lstat_text(first_attributes(12)), first_attributes(12), false},
        WalkCase{"fourteen fields", lstat_text(first_attributes(14)), first_attributes(14), false},
        WalkCase{"repeated, leading and trailing spaces",
                 "  " + lstat_text(first_attributes(14), "   ") + "  ", first_attributes(14),
                 false},
        WalkCase{"empty", "", {}, false}, WalkCase{"only spaces", "   ", {}, false},
        WalkCase{"wraps past 64 bits, and says so",
                 "/////////// H////////// -IAAAAAAAAAA BAAAAAAAAAAB AAAAAAAAAAAAAAB -IAAAAAAAAAB",
                 {-1, INT64_MAX, INT64_MIN, 1, 1, INT64_MAX},
                 false,
                 0b101001},
        WalkCase{"a value that wraps among the fields names no field",
                 lstat_text(first_attributes(7)) + " BAAAAAAAAAAB " +
                     lstat_text(Values(file_attributes.begin() + 8, file_attributes.end())),
                 with_size(1), false, 1U << 7},
        WalkCase{"digits outside the alphabet count 0",
                 "B= -B B-B \x80"
                 "B",
                 {64, -1, 4097, 1},
                 false},
        WalkCase{"more numerals than fields", lstat_text(file_attributes) + " B C", file_attributes,
                 true}));

} // namespace

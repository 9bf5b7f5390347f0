// The one rule for what an LStat value is, which the tools and the engines'
// functions share, and the fields it decodes.
#include "lstat.h"
#include "lstat_values.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <string>

namespace {

struct WalkCase {
    const char* title;
    std::string text;
    LstatFault fault;
    Values values; // the fields, for a text that is an LStat value
    bool has_overflow = false;
};

Values with_size(std::int64_t size)
{
    Values values = file_attributes;
    values[7] = size;
    return values;
}

// The file's attributes with `size` written as the numeral `numeral`.
std::string size_written(const std::string& numeral)
{
    return lstat_text(first_attributes(7)) + " " + numeral + " " +
           lstat_text(Values(file_attributes.begin() + 8, file_attributes.end()));
}

void PrintTo(const WalkCase& c, std::ostream* os)
{
    *os << c.title;
}

class LstatValueTest : public testing::TestWithParam<WalkCase> {};

TEST_P(LstatValueTest, HoldsTheTextToTheRule)
{
    const WalkCase& c = GetParam();
    LstatRow row{};
    const LstatCheck check = read_lstat_value(c.text.data(), c.text.data() + c.text.size(), row);
    EXPECT_EQ(check.fault, c.fault);
    if (c.fault == LstatFault::none) {
        EXPECT_EQ(Values(row.values, row.values + row.count), c.values);
        EXPECT_EQ(row.has_overflow, c.has_overflow);
    }
}

const std::string sixteen = lstat_text(file_attributes);

INSTANTIATE_TEST_SUITE_P(
    Rows, LstatValueTest,
    testing::Values(
        WalkCase{"sixteen fields", sixteen, LstatFault::none, file_attributes},
        WalkCase{"thirteen fields", lstat_text(first_attributes(13)), LstatFault::none,
                 first_attributes(13)},
        WalkCase{"fourteen fields", lstat_text(first_attributes(14)), LstatFault::none,
                 first_attributes(14)},
        WalkCase{"more numerals than fields", sixteen + " B C", LstatFault::none, file_attributes,
                 true},
        WalkCase{
            "twelve fields", lstat_text(first_attributes(12)), LstatFault::too_few_numerals, {}},
        WalkCase{"empty", "", LstatFault::too_few_numerals, {}},
        WalkCase{"a path of fifteen words",
                 "/home/ana/Notes on the trip to the lake in the summer of 2024 with Bob.txt",
                 LstatFault::stray_byte,
                 {}},
        WalkCase{"a NUL byte", sixteen + std::string(1, '\0') + "B", LstatFault::stray_byte, {}},
        WalkCase{"UTF-16", std::string("\0g\0B", 4), LstatFault::stray_byte, {}},
        WalkCase{"a leading space", " " + sixteen, LstatFault::misplaced_byte, {}},
        WalkCase{"a trailing space", sixteen + " ", LstatFault::misplaced_byte, {}},
        WalkCase{"two spaces", lstat_text(file_attributes, "  "), LstatFault::misplaced_byte, {}},
        WalkCase{"only spaces", "   ", LstatFault::misplaced_byte, {}},
        WalkCase{"a lone minus", sixteen + " -", LstatFault::misplaced_byte, {}},
        WalkCase{"a minus inside a numeral", "B-B " + sixteen, LstatFault::misplaced_byte, {}},
        WalkCase{"the widest size", size_written("H//////////"), LstatFault::none,
                 with_size(INT64_MAX)},
        WalkCase{"the most negative size", size_written("-IAAAAAAAAAA"), LstatFault::none,
                 with_size(INT64_MIN)},
        WalkCase{"a size of twelve digits, leading zeros", size_written("AAAAAAAAAAAB"),
                 LstatFault::none, with_size(1)},
        WalkCase{"a size of 2^63", size_written("IAAAAAAAAAA"), LstatFault::wrapped_numeral, {}},
        WalkCase{
            "a size past 64 bits", size_written("BAAAAAAAAAAB"), LstatFault::wrapped_numeral, {}},
        WalkCase{"past 64 bits after the fields", sixteen + " BAAAAAAAAAAB", LstatFault::none,
                 file_attributes, true}));

} // namespace

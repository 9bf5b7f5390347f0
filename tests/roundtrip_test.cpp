#include "base64.h"
#include "base64_encoder.h"
#include "numeral_properties.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <random>
#include <string>
#include <vector>

namespace {

void expect_round_trip(std::int64_t value)
{
    const auto bits = static_cast<std::uint64_t>(value);
    const std::string text = encode_base64(bits);
    std::int64_t decoded = 0;
    ASSERT_EQ(from_base64(&decoded, text.c_str()), static_cast<int>(text.size())) << text;
    ASSERT_EQ(decoded, value) << text;

    const std::string negated = "-" + text;
    ASSERT_EQ(from_base64(&decoded, negated.c_str()), static_cast<int>(negated.size()));
    ASSERT_EQ(static_cast<std::uint64_t>(decoded), 0 - bits) << negated;
}

TEST(RoundTrip, BoundaryValues)
{
    std::vector<std::int64_t> values = {0,
                                        1,
                                        63,
                                        64,
                                        (INT64_C(1) << 60) - 1,
                                        INT64_MAX,
                                        INT64_MIN,
                                        -1,
                                        INT64_MIN + 1,
                                        INT64_MAX - 1};
    for (int power = 1; power <= 10; ++power) {
        const std::int64_t p = INT64_C(1) << (6 * power);
        values.insert(values.end(), {p - 1, p, p + 1, -p, -p - 1, -p + 1});
    }
    for (std::int64_t value : values) {
        expect_round_trip(value);
    }
}

TEST(RoundTrip, RandomValues)
{
    // A fixed seed, so that a failure can be reproduced.
    std::mt19937_64 generator(20261208); // NOLINT(cert-msc32-c,cert-msc51-cpp)
    for (int i = 0; i < 300000; ++i) {
        // Shifting by a random amount spreads the values over every length.
        const std::uint64_t bits = generator() >> (generator() % 64);
        expect_round_trip(static_cast<std::int64_t>(bits));
    }
}

TEST(Exhaustive, EveryTextOfUpToThreeBytes)
{
    long failures = 0;
    std::string text;
    auto check = [&] {
        const std::string problem = numeral_properties::violation(text);
        if (!problem.empty() && ++failures <= 10) {
            ADD_FAILURE() << problem << " for bytes " << testing::PrintToString(text);
        }
    };
    for (int a = 1; a < 256; ++a) {
        text.assign(1, static_cast<char>(a));
        check();
        for (int b = 1; b < 256; ++b) {
            text.assign({static_cast<char>(a), static_cast<char>(b)});
            check();
            for (int c = 1; c < 256; ++c) {
                text.assign({static_cast<char>(a), static_cast<char>(b), static_cast<char>(c)});
                check();
            }
        }
    }
    EXPECT_EQ(failures, 0);
}

} // namespace

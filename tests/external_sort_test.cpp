// The sort of the tree modes: in memory and spilled to runs, it gives every
// record once, by key, records of one key in the order they came, and gives
// them all again after a rewind; and -S sizes read as sort reads them.
#include "buffer_size.h"
#include "external_sort.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <string>
#include <utility>
#include <vector>

namespace {

using Records = std::vector<std::pair<std::string, std::string>>;

// Keys of few distinct values after a shared `prefix`, bytes past 0x7f and
// NUL among them (a key before its longer keys padded with NULs), so that
// many are equal; each payload is its record's place in the input.
Records random_records(std::size_t count, std::size_t key_length, const std::string& prefix = {})
{
    std::mt19937 random(7); // NOLINT(cert-msc32-c,cert-msc51-cpp): the same records every run
    const std::string bytes("a/\xff\x01\0", 5);
    Records records;
    for (std::size_t i = 0; i < count; ++i) {
        std::string key(random() % key_length, '\0');
        std::generate(key.begin(), key.end(), [&]() { return bytes[random() % bytes.size()]; });
        records.emplace_back(prefix + key, std::to_string(i));
    }
    return records;
}

Records read_all(ExternalSort& sort)
{
    Records out;
    std::string_view key;
    std::string_view payload;
    sort.rewind();
    while (sort.next(key, payload)) {
        out.emplace_back(key, payload);
    }
    return out;
}

TEST(ExternalSort, GivesRecordsStablyByKeyInMemoryAndSpilled)
{
    struct Case {
        std::size_t budget, count, key_length;
        bool spills;
        std::string prefix;
    };
    for (const Case& c : {Case{std::size_t{1} << 30, 5000, 6, false, ""},
                          Case{std::size_t{1} << 30, 5000, 30, false, std::string(40, '/')},
                          Case{4096, 5000, 6, true, ""}, Case{64, 3000, 4, true, ""},
                          Case{1 << 20, 60, 100000, true, ""}, Case{4096, 0, 1, false, ""}}) {
        const Records input = random_records(c.count, c.key_length, c.prefix);
        ExternalSort sort(c.budget, "/tmp");
        for (const auto& [key, payload] : input) {
            ASSERT_TRUE(sort.add(key, payload));
        }
        Records expected = input;
        std::stable_sort(expected.begin(), expected.end(), [](const auto& a, const auto& b) {
            return std::lexicographical_compare(
                a.first.begin(), a.first.end(), b.first.begin(), b.first.end(), [](char x, char y) {
                    return static_cast<unsigned char>(x) < static_cast<unsigned char>(y);
                });
        });
        EXPECT_EQ(read_all(sort), expected) << "budget " << c.budget;
        EXPECT_EQ(read_all(sort), expected) << "again, budget " << c.budget;
        EXPECT_EQ(sort.runs_written() > 0, c.spills) << "budget " << c.budget;
        EXPECT_EQ(sort.error(), 0);
    }
}

// Records that come in order are held and read back as they came, one run
// after another, however many runs they fill.
TEST(ExternalSort, GivesRecordsInOrderBackAsTheyCame)
{
    Records input = random_records(3000, 6);
    std::stable_sort(input.begin(), input.end(), [](const auto& a, const auto& b) {
        return std::lexicographical_compare(
            a.first.begin(), a.first.end(), b.first.begin(), b.first.end(), [](char x, char y) {
                return static_cast<unsigned char>(x) < static_cast<unsigned char>(y);
            });
    });
    for (const std::size_t budget : {std::size_t{256}, std::size_t{1} << 30}) {
        ExternalSort held(budget, "/tmp", true);
        for (const auto& [key, payload] : input) {
            ASSERT_TRUE(held.add(key, payload));
        }
        EXPECT_EQ(read_all(held), input) << "budget " << budget;
        EXPECT_EQ(read_all(held), input) << "again, budget " << budget;
    }
}

TEST(ExternalSort, SaysWhyARunCannotBeWritten)
{
    ExternalSort sort(16, "/nonexistent/directory");
    bool added = true;
    for (int i = 0; i < 10 && added; ++i) {
        added = sort.add("key", "payload");
    }
    EXPECT_FALSE(added);
    EXPECT_EQ(sort.error(), ENOENT);
}

TEST(BufferSize, ReadsSizesAsSortDoes)
{
    const std::pair<const char*, std::size_t> good[] = {{"10", 10240},
                                                        {"10b", 10},
                                                        {"1k", 1024},
                                                        {"1K", 1024},
                                                        {"64M", std::size_t{64} << 20},
                                                        {"2G", std::size_t{2} << 30}};
    for (const auto& [text, bytes] : good) {
        std::size_t got = 0;
        EXPECT_TRUE(parse_buffer_size(text, got)) << text;
        EXPECT_EQ(got, bytes) << text;
    }
    std::size_t got = 0;
    EXPECT_TRUE(parse_buffer_size("50%", got));
    EXPECT_GT(got, 0U);
    for (const char* bad :
         {"", "M", "10X", "10MB", "-1", "101%", "99999999999999999999", "99999999999T"}) {
        EXPECT_FALSE(parse_buffer_size(bad, got)) << bad;
    }
}

} // namespace

// Decodes from several threads at once through the entry points that
// database servers call. Under ThreadSanitizer (the tsan preset), any write
// to shared state between them is reported. The expected values come from
// the encoder, so that no decoding happens before the threads start.
#include "base64.h"
#include "base64_encoder.h"
#include "lstat.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cstdint>
#include <random>
#include <string>
#include <thread>
#include <vector>

namespace {

TEST(Threads, DecodeAtOnce)
{
    std::mt19937_64 random(5); // NOLINT(cert-msc32-c,cert-msc51-cpp): the same values every run
    std::vector<std::vector<std::int64_t>> values(2000, std::vector<std::int64_t>(16));
    std::vector<std::string> texts;
    for (auto& row : values) {
        std::string text;
        for (std::int64_t& value : row) {
            value = static_cast<std::int64_t>(random() >> (random() % 64));
            text += (text.empty() ? "" : " ") + encode_lstat_numeral(value);
        }
        texts.push_back(text);
    }
    std::atomic<int> mismatches{0};
    const auto decode_all = [&] {
        for (std::size_t i = 0; i < texts.size(); ++i) {
            const char* const begin = texts[i].data();
            const char* const end = begin + texts[i].size();
            LstatRow row{};
            const bool whole = is_lstat_value(begin, end, row);
            std::int64_t first = 0;
            from_base64_range(&first, begin, end);
            if (!whole || row.count != 16 ||
                !std::equal(row.values, row.values + 16, values[i].begin()) ||
                first != values[i][0]) {
                ++mismatches;
            }
        }
    };
    std::vector<std::thread> threads;
    threads.reserve(8);
    for (int thread = 0; thread < 8; ++thread) {
        threads.emplace_back(decode_all);
    }
    for (std::thread& thread : threads) {
        thread.join();
    }
    EXPECT_EQ(mismatches.load(), 0);
}

} // namespace

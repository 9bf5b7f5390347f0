#include "key_sort.h"

#include <algorithm>
#include <array>
#include <cstring>

namespace {

constexpr std::size_t digit_bytes = 7;
// Ranges this long or longer go by radix; shorter ones by comparisons of
// the numbers, which need no look at the records.
constexpr std::size_t radix_from = 512;
constexpr std::size_t insertion_below = 16;

// The seven bytes of `key` from `offset`, big-endian, the bytes past its
// end 0; then how many of its bytes are left from `offset`, at most eight.
// Where the seven bytes are equal, a key with fewer bytes left is a prefix
// of the other, padded with zeros, and comes first.
std::uint64_t digits_at(std::string_view key, std::size_t offset)
{
    std::uint64_t value = 0;
    if (key.size() >= offset + digit_bytes + 1) {
        // Eight bytes at once, the eighth there only to be shifted out.
        std::memcpy(&value, key.data() + offset, sizeof value);
        value = __builtin_bswap64(value) >> 8;
        const std::size_t left = key.size() - offset;
        return value << 8 | std::min<std::size_t>(left, digit_bytes + 1);
    }
    for (std::size_t i = 0; i < digit_bytes; ++i) {
        const std::size_t at = offset + i;
        value = value << 8 | (at < key.size() ? static_cast<unsigned char>(key[at]) : 0U);
    }
    const std::size_t left = key.size() > offset ? key.size() - offset : 0;
    return value << 8 | std::min<std::size_t>(left, digit_bytes + 1);
}

// Whether the keys of a run of equal numbers go on past them.
bool goes_on(std::uint64_t bytes)
{
    return (bytes & 0xFF) > digit_bytes;
}

// A stable LSD radix sort by the numbers, a byte a pass, passing over the
// bytes that every number shares.
void radix_sort(MemoryRecord* records, std::size_t count, MemoryRecord* buffer)
{
    std::array<std::array<std::size_t, 256>, 8> counts{};
    for (std::size_t i = 0; i < count; ++i) {
        const std::uint64_t bytes = records[i].bytes;
        for (std::size_t digit = 0; digit < 8; ++digit) {
            ++counts.at(digit).at((bytes >> (8 * digit)) & 0xFF);
        }
    }
    MemoryRecord* source = records;
    MemoryRecord* target = buffer;
    for (std::size_t digit = 0; digit < 8; ++digit) {
        std::array<std::size_t, 256>& places = counts.at(digit);
        if (places.at((records->bytes >> (8 * digit)) & 0xFF) == count) {
            continue;
        }
        std::size_t place = 0;
        for (std::size_t& slot : places) {
            const std::size_t in_slot = slot;
            slot = place;
            place += in_slot;
        }
        for (std::size_t i = 0; i < count; ++i) {
            target[places.at((source[i].bytes >> (8 * digit)) & 0xFF)++] = source[i];
        }
        std::swap(source, target);
    }
    if (source != records) {
        std::copy(source, source + count, records);
    }
}

void sort_numbers(MemoryRecord* first, std::size_t count, MemoryRecord* buffer)
{
    const auto before = [](const MemoryRecord& a, const MemoryRecord& b) {
        return a.bytes < b.bytes;
    };
    if (count >= radix_from) {
        radix_sort(first, count, buffer);
    } else if (count >= insertion_below) {
        std::stable_sort(first, first + count, before);
    } else {
        for (std::size_t i = 1; i < count; ++i) {
            const MemoryRecord moving = first[i];
            std::size_t at = i;
            for (; at > 0 && moving.bytes < first[at - 1].bytes; --at) {
                first[at] = first[at - 1];
            }
            first[at] = moving;
        }
    }
}

} // namespace

void sort_by_key(std::vector<MemoryRecord>& records, std::size_t shared,
                 std::string_view (*key_of)(const char* record))
{
    struct Range {
        std::size_t begin;
        std::size_t end;
        std::size_t offset; // of the key bytes that its entries' keys may differ in
    };
    std::vector<MemoryRecord> buffer(records.size());
    // Ranges left to sort, each within a run of equal bytes before its
    // offset: kept in a list, not on the stack, however deep keys agree.
    std::vector<Range> ranges{{0, records.size(), shared}};
    while (!ranges.empty()) {
        const Range range = ranges.back();
        ranges.pop_back();
        MemoryRecord* const first = records.data() + range.begin;
        const std::size_t count = range.end - range.begin;
        // After the first pass the records are read out of the order they
        // lie in: fetch those a few places ahead early.
        constexpr std::size_t ahead = 8;
        for (std::size_t i = 0; i < count; ++i) {
            if (i + ahead < count) {
                __builtin_prefetch(first[i + ahead].record);
            }
            first[i].bytes = digits_at(key_of(first[i].record), range.offset);
        }
        sort_numbers(first, count, buffer.data());
        for (std::size_t start = 0; start < count;) {
            std::size_t end = start + 1;
            while (end < count && first[end].bytes == first[start].bytes) {
                ++end;
            }
            if (end - start > 1 && goes_on(first[start].bytes)) {
                ranges.push_back(
                    {range.begin + start, range.begin + end, range.offset + digit_bytes});
            }
            start = end;
        }
    }
}

#include "tree_row.h"

#include <cstring>

namespace {

constexpr int line_bits = 40;

// The path, where the key does not give it: see encode_tree_row.
constexpr unsigned path_is_key = 1;
constexpr unsigned path_is_key_without_slash = 2;
constexpr unsigned selected_flag = 4;

// Numbers in 7-bit groups, small ones in a byte or two; signed ones
// zigzagged first, so that -1 is small too.
void put_number(std::string& out, std::uint64_t number)
{
    while (number >= 0x80) {
        out.push_back(static_cast<char>((number & 0x7f) | 0x80));
        number >>= 7;
    }
    out.push_back(static_cast<char>(number));
}

std::uint64_t take_number(const char*& at)
{
    std::uint64_t number = 0;
    for (int shift = 0;; shift += 7) {
        const auto byte = static_cast<unsigned char>(*at++);
        number |= static_cast<std::uint64_t>(byte & 0x7f) << shift;
        if (byte < 0x80) {
            return number;
        }
    }
}

std::uint64_t zigzag(std::int64_t value)
{
    return (static_cast<std::uint64_t>(value) << 1) ^ (value < 0 ? ~std::uint64_t{0} : 0);
}

std::int64_t unzigzag(std::uint64_t number)
{
    return static_cast<std::int64_t>((number >> 1) ^ (~(number & 1) + 1));
}

} // namespace

std::uint32_t input_of_order(std::uint64_t order)
{
    return static_cast<std::uint32_t>(order >> line_bits);
}

unsigned long line_of_order(std::uint64_t order)
{
    return order & ((std::uint64_t{1} << line_bits) - 1);
}

TreeRow tree_row(const CatalogLine& line, std::uint32_t input, std::uint32_t tally)
{
    const std::int64_t* const v = line.fields.values;
    return {line.first_column(),
            {v[field_dev], v[field_ino], v[field_mode], v[field_nlink], v[field_uid], v[field_gid],
             v[field_size], v[field_blocks], v[field_mtime]},
            (static_cast<std::uint64_t>(input) << line_bits) | line.number,
            input,
            line.number,
            tally,
            line.selected};
}

void encode_tree_row(const TreeRow& row, std::string_view key, std::string& payload)
{
    payload.clear();
    unsigned flags = row.selected ? selected_flag : 0;
    if (row.path == key) {
        flags |= path_is_key;
    } else if (row.path.size() + 1 == key.size() &&
               key.compare(0, row.path.size(), row.path) == 0) {
        flags |= path_is_key_without_slash;
    }
    put_number(payload, flags);
    put_number(payload, row.order);
    put_number(payload, row.tally);
    const EntryAttributes& a = row.attributes;
    for (const std::int64_t value :
         {a.dev, a.ino, a.mode, a.nlink, a.uid, a.gid, a.size, a.blocks, a.mtime}) {
        put_number(payload, zigzag(value));
    }
    if ((flags & (path_is_key | path_is_key_without_slash)) == 0) {
        payload.append(row.path.data(), row.path.size());
    }
}

void decode_tree_row(std::string_view key, std::string_view payload, TreeRow& row)
{
    const char* at = payload.data();
    const auto flags = static_cast<unsigned>(take_number(at));
    row.order = take_number(at);
    row.input = input_of_order(row.order);
    row.line = line_of_order(row.order);
    row.tally = static_cast<std::uint32_t>(take_number(at));
    EntryAttributes& a = row.attributes;
    for (std::int64_t* value :
         {&a.dev, &a.ino, &a.mode, &a.nlink, &a.uid, &a.gid, &a.size, &a.blocks, &a.mtime}) {
        *value = unzigzag(take_number(at));
    }
    row.selected = (flags & selected_flag) != 0;
    if ((flags & path_is_key) != 0) {
        row.path = key;
    } else if ((flags & path_is_key_without_slash) != 0) {
        row.path = key.substr(0, key.size() - 1);
    } else {
        row.path =
            std::string_view(at, static_cast<std::size_t>(payload.data() + payload.size() - at));
    }
}

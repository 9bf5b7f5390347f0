#include "tree_row.h"

#include "varint.h"

namespace {

constexpr int line_bits = 40;

// The path, where the key does not give it: see encode_tree_row.
constexpr unsigned path_is_key = 1;
constexpr unsigned path_is_key_without_slash = 2;
constexpr unsigned selected_flag = 4;

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
             v[field_size], v[field_blocks], v[field_mtime], line.origin.host},
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
    put_varint(payload, flags);
    put_varint(payload, row.order);
    put_varint(payload, row.tally);
    const EntryAttributes& a = row.attributes;
    put_varint(payload, a.host);
    for (const std::int64_t value :
         {a.dev, a.ino, a.mode, a.nlink, a.uid, a.gid, a.size, a.blocks, a.mtime}) {
        put_varint(payload, zigzag(value));
    }
    if ((flags & (path_is_key | path_is_key_without_slash)) == 0) {
        payload.append(row.path.data(), row.path.size());
    }
}

void decode_tree_row(std::string_view key, std::string_view payload, TreeRow& row)
{
    std::string_view rest = payload;
    const auto flags = static_cast<unsigned>(get_varint(rest));
    row.order = get_varint(rest);
    row.input = input_of_order(row.order);
    row.line = line_of_order(row.order);
    row.tally = static_cast<std::uint32_t>(get_varint(rest));
    EntryAttributes& a = row.attributes;
    a.host = static_cast<std::uint32_t>(get_varint(rest));
    for (std::int64_t* value :
         {&a.dev, &a.ino, &a.mode, &a.nlink, &a.uid, &a.gid, &a.size, &a.blocks, &a.mtime}) {
        *value = unzigzag(get_varint(rest));
    }
    row.selected = (flags & selected_flag) != 0;
    if ((flags & path_is_key) != 0) {
        row.path = key;
    } else if ((flags & path_is_key_without_slash) != 0) {
        row.path = key.substr(0, key.size() - 1);
    } else {
        row.path = rest;
    }
}

void decode_link_fields(std::string_view payload, TreeRow& row)
{
    std::string_view rest = payload;
    const auto flags = static_cast<unsigned>(get_varint(rest));
    row.order = get_varint(rest);
    (void)get_varint(rest); // the tally
    EntryAttributes& a = row.attributes;
    a.host = static_cast<std::uint32_t>(get_varint(rest));
    for (std::int64_t* value : {&a.dev, &a.ino, &a.mode, &a.nlink}) {
        *value = unzigzag(get_varint(rest));
    }
    row.selected = (flags & selected_flag) != 0;
}

#include "diff_row.h"

#include "client_escapes.h"
#include "file_mode.h"
#include "path_order.h"
#include "varint.h"

#include <string>

namespace {

// The payload: a byte of flags, the line as a varint, the first column
// (where it is not the key) as a length and its bytes, the count of
// numerals, each kept field that the row has as a zigzag varint (most
// fields take one to five bytes, where 64-bit integers would take eight),
// then the length of the columns between the path and the LStat value,
// plus one (0 for none), and their bytes.
constexpr unsigned char new_flag = 1;
constexpr unsigned char selected_flag = 2;
constexpr unsigned char given_flag = 4;
constexpr unsigned char deleted_flag = 8;

std::string_view get_bytes(std::string_view& in, std::uint64_t length)
{
    const std::string_view bytes = in.substr(0, length);
    in.remove_prefix(bytes.size());
    return bytes;
}

bool kept_field(std::uint32_t mask, int field)
{
    return ((mask >> field) & 1U) != 0;
}

// One column of escaped text and the rest after its TAB.
std::string_view next_column(std::string_view& rest)
{
    const std::size_t tab = rest.find('\t');
    const std::string_view column = rest.substr(0, tab);
    rest = tab == std::string_view::npos ? std::string_view() : rest.substr(tab + 1);
    return column;
}

// Whether two columns hold the same bytes, or are both NULL, whatever
// escapes their client used.
bool same_column(std::string_view a, std::string_view b)
{
    if (a == b) {
        return true;
    }
    if (is_null_column(a.data(), a.size()) || is_null_column(b.data(), b.size())) {
        return false;
    }
    std::string real_a(a);
    std::string real_b(b);
    real_a.resize(unescape_column(real_a.data(), real_a.size()));
    real_b.resize(unescape_column(real_b.data(), real_b.size()));
    return real_a == real_b;
}

bool same_between(const DiffRow& a, const DiffRow& b)
{
    if (a.has_between != b.has_between) {
        return false;
    }
    if (a.between == b.between) {
        return true;
    }
    std::string_view rest_a = a.between;
    std::string_view rest_b = b.between;
    for (;;) {
        const bool last_a = rest_a.find('\t') == std::string_view::npos;
        const bool last_b = rest_b.find('\t') == std::string_view::npos;
        if (!same_column(next_column(rest_a), next_column(rest_b)) || last_a != last_b) {
            return false;
        }
        if (last_a) {
            return true;
        }
    }
}

// Whether both rows lack `field`, or both have it with one value.
bool same_field(const DiffRow& a, const DiffRow& b, int field)
{
    const bool in_a = field < a.fields.count;
    const bool in_b = field < b.fields.count;
    return in_a == in_b && (!in_a || a.fields.values[field] == b.fields.values[field]);
}

} // namespace

char change_letter(Change change)
{
    return "=+-TMU"[static_cast<int>(change)];
}

DiffFields diff_fields(const FieldSelection& compare, bool keep_every_field, bool disk_usage)
{
    DiffFields fields;
    for (int i = 0; i < compare.count; ++i) {
        fields.compared |= 1U << compare.indices[i];
    }
    fields.kept = keep_every_field ? (1U << lstat_field_count) - 1
                                   : fields.compared | 1U << field_mode | 1U << field_size |
                                         (disk_usage ? 1U << field_blocks : 0U);
    fields.disk_usage = disk_usage;
    return fields;
}

void encode_diff_row(const DiffFields& fields, int side, const CatalogLine& line, std::string& key,
                     std::string& payload)
{
    path_order_key(line, key);
    const std::string_view given = line.first_column();
    const bool has_given = given != key;
    payload.clear();
    payload.push_back(
        static_cast<char>((side == new_side ? new_flag : 0) | (line.selected ? selected_flag : 0) |
                          (has_given ? given_flag : 0) | (line.origin.deleted ? deleted_flag : 0)));
    put_varint(payload, line.number);
    if (has_given) {
        put_varint(payload, given.size());
        payload.append(given);
    }
    // The fields, written in one piece: a byte at a time, the string's
    // bounds checks cost more than the varints.
    char fields_bytes[1 + lstat_field_count * longest_varint];
    char* at = fields_bytes;
    *at++ = static_cast<char>(line.fields.count);
    for (int field = 0; field < line.fields.count; ++field) {
        if (kept_field(fields.kept, field)) {
            at = put_varint(at, zigzag(line.fields.values[field]));
        }
    }
    payload.append(fields_bytes, static_cast<std::size_t>(at - fields_bytes));
    const PassThrough columns = line.pass_through();
    if (columns.length == given.size()) {
        put_varint(payload, 0);
    } else {
        const std::string_view between(columns.text + given.size() + 1,
                                       columns.length - given.size() - 1);
        put_varint(payload, between.size() + 1);
        payload.append(between);
    }
}

void decode_diff_row(const DiffFields& fields, std::string_view key, std::string_view payload,
                     DiffRow& row)
{
    const auto flags = static_cast<unsigned char>(payload.front());
    payload.remove_prefix(1);
    row.side = (flags & new_flag) != 0 ? new_side : old_side;
    row.selected = (flags & selected_flag) != 0;
    row.deleted = (flags & deleted_flag) != 0;
    row.line = get_varint(payload);
    row.given = (flags & given_flag) != 0 ? get_bytes(payload, get_varint(payload)) : key;
    row.fields = LstatRow{};
    row.fields.count = static_cast<unsigned char>(payload.front());
    payload.remove_prefix(1);
    for (int field = 0; field < row.fields.count; ++field) {
        if (kept_field(fields.kept, field)) {
            row.fields.values[field] = unzigzag(get_varint(payload));
        }
    }
    const std::uint64_t between = get_varint(payload);
    row.has_between = between > 0;
    row.between = row.has_between ? get_bytes(payload, between - 1) : std::string_view();
}

bool same_row_values(std::string_view a, std::string_view b)
{
    // A file and a deleted file's record are never the same.
    if (((static_cast<unsigned char>(a.front()) ^ static_cast<unsigned char>(b.front())) &
         deleted_flag) != 0) {
        return false;
    }
    // Past the flags and the line, which differ between equal rows.
    for (std::string_view* payload : {&a, &b}) {
        payload->remove_prefix(1);
        (void)get_varint(*payload);
    }
    return a == b;
}

Change compare_rows(const DiffFields& fields, const DiffRow* old_row, const DiffRow* new_row)
{
    if (old_row == nullptr) {
        return Change::added;
    }
    if (new_row == nullptr) {
        return Change::removed;
    }
    const std::int64_t old_mode = old_row->fields.values[field_mode];
    const std::int64_t new_mode = new_row->fields.values[field_mode];
    const bool mode_compared = kept_field(fields.compared, field_mode);
    if (mode_compared && file_type(old_mode) != file_type(new_mode)) {
        return Change::type;
    }
    const bool size_or_time =
        (kept_field(fields.compared, field_size) && !same_field(*old_row, *new_row, field_size)) ||
        (kept_field(fields.compared, field_mtime) && !same_field(*old_row, *new_row, field_mtime));
    if (size_or_time || !same_between(*old_row, *new_row)) {
        return Change::modified;
    }
    // The permission bits, and any other bit beside the type's.
    if (mode_compared && mode_without_type(old_mode) != mode_without_type(new_mode)) {
        return Change::attributes;
    }
    for (int field = 0; field < lstat_field_count; ++field) {
        if (field != field_mode && field != field_size && field != field_mtime &&
            kept_field(fields.compared, field) && !same_field(*old_row, *new_row, field)) {
            return Change::attributes;
        }
    }
    return Change::none;
}

bool size_delta(const DiffFields& fields, const DiffRow* old_row, const DiffRow* new_row,
                std::int64_t& delta)
{
    // Sizes are never negative here, but disk usage passes 64 bits.
    __extension__ typedef __int128 Wide;
    const auto size = [&fields](const DiffRow* row) -> Wide {
        if (row == nullptr) {
            return 0;
        }
        const std::int64_t* const values = row->fields.values;
        return fields.disk_usage ? Wide{values[field_blocks]} * 512 : Wide{values[field_size]};
    };
    const Wide wide = size(new_row) - size(old_row);
    delta = static_cast<std::int64_t>(wide);
    return wide <= INT64_MAX && wide >= -INT64_MAX;
}

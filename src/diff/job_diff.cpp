#include "job_diff.h"

#include "client_escapes.h"
#include "file_mode.h"
#include "path_identity.h"

#include <algorithm>
#include <cstring>
#include <string>

namespace {

// A kept row: its length after this first varint, the count of numerals,
// then each kept field that the row has as a zigzag LEB128 varint (most
// fields take one to five bytes, where 64-bit integers would take eight),
// then the length of the columns between the path and the LStat value, plus
// one (0 for none), and their bytes. Varints are canonical, so that two rows
// whose bytes are equal are equal, without being read back.
constexpr std::size_t longest_varint = 10;

unsigned char* put_varint(unsigned char* at, std::uint64_t value)
{
    while (value >= 0x80) {
        *at++ = static_cast<unsigned char>(value | 0x80);
        value >>= 7;
    }
    *at++ = static_cast<unsigned char>(value);
    return at;
}

const unsigned char* get_varint(const unsigned char* at, std::uint64_t& value)
{
    value = 0;
    for (unsigned shift = 0;; shift += 7) {
        const unsigned char byte = *at++;
        value |= std::uint64_t{byte & 0x7FU} << shift;
        if (byte < 0x80) {
            return at;
        }
    }
}

std::uint64_t zigzag(std::int64_t value)
{
    const auto bits = static_cast<std::uint64_t>(value);
    return (bits << 1) ^ (0 - (bits >> 63));
}

std::int64_t unzigzag(std::uint64_t value)
{
    return from_twos_complement((value >> 1) ^ (0 - (value & 1)));
}

bool kept_field(std::uint32_t mask, int field)
{
    return ((mask >> field) & 1U) != 0;
}

// The columns between the path and the LStat value of `line`, if any.
bool between_columns(const CatalogLine& line, std::string_view path, std::string_view& between)
{
    const PassThrough columns = line.pass_through();
    if (columns.length == path.size()) {
        return false;
    }
    between = std::string_view(columns.text + path.size() + 1, columns.length - path.size() - 1);
    return true;
}

// Keeps what `diff` keeps of the row of `line` in `store`.
const unsigned char* keep_row(const JobDiff& diff, ByteStore& store, const CatalogLine& line,
                              std::string_view path)
{
    std::string_view between;
    const bool has_between = between_columns(line, path, between);
    const std::size_t most =
        longest_varint + 1 + lstat_field_count * longest_varint + longest_varint + between.size();
    auto* const start = reinterpret_cast<unsigned char*>(make_room(store, most));
    unsigned char* const body = start + longest_varint; // moved down behind its length below
    unsigned char* at = body;
    *at++ = static_cast<unsigned char>(line.fields.count);
    for (int field = 0; field < line.fields.count; ++field) {
        if (kept_field(diff.kept, field)) {
            at = put_varint(at, zigzag(line.fields.values[field]));
        }
    }
    at = put_varint(at, has_between ? between.size() + 1 : 0);
    std::copy(between.begin(), between.end(), at);
    at += between.size();
    const auto length = static_cast<std::size_t>(at - body);
    unsigned char* const after_length = put_varint(start, length);
    std::copy(body, at, after_length);
    // Give back what the row did not take.
    store.used -= most - static_cast<std::size_t>(after_length + length - start);
    return start;
}

// The bytes of a kept row, its length included.
std::size_t kept_row_size(const unsigned char* row)
{
    std::uint64_t length = 0;
    const unsigned char* const body = get_varint(row, length);
    return static_cast<std::size_t>(body - row) + length;
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

bool same_between(const KeptRow& a, const KeptRow& b)
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
bool same_field(const KeptRow& a, const KeptRow& b, int field)
{
    const bool in_a = field < a.fields.count;
    const bool in_b = field < b.fields.count;
    return in_a == in_b && (!in_a || a.fields.values[field] == b.fields.values[field]);
}

constexpr std::size_t batch_size = 32;

// The entry that the index's first slot for `hash` names, if its hash is
// that one: the entry a lookup will most likely read.
const JobDiff::Entry* likely_entry(const JobDiff& diff, std::uint32_t hash)
{
    if (diff.index.slots.empty()) {
        return nullptr;
    }
    const std::uint64_t slot = diff.index.slots[hash & (diff.index.slots.size() - 1)];
    if (slot == 0 || static_cast<std::uint32_t>(slot >> 32) != hash) {
        return nullptr;
    }
    return &diff.entries[static_cast<std::uint32_t>(slot) - 1];
}

std::string_view path_of(const JobDiff& diff, std::uint32_t number)
{
    const JobDiff::Entry& entry = diff.entries[number];
    return {entry.path, entry.length};
}

void place(JobDiff& diff, const JobDiff::Pending& row, std::string_view path,
           std::string_view escaped)
{
    const std::int64_t known = find_path(diff.index, path, row.hash, [&diff](std::uint32_t number) {
        return path_of(diff, number);
    });
    auto number = static_cast<std::uint32_t>(known);
    const unsigned char* kept = row.row;
    if (row.side == new_side) { // kept apart until now: most equal OLD's row
        const unsigned char* const old_row =
            known >= 0 ? diff.entries[number].row[old_side] : nullptr;
        kept = old_row != nullptr && same_kept_row(old_row, kept)
                   ? old_row
                   : reinterpret_cast<const unsigned char*>(
                         keep(diff.rows, reinterpret_cast<const char*>(kept), kept_row_size(kept))
                             .data());
    }
    if (known >= 0) {
        JobDiff::Entry& entry = diff.entries[number];
        if (entry.row[row.side] != nullptr && !diff.latest && diff.repeated.side < 0) {
            diff.repeated = {row.side, row.line, entry.line[row.side]};
        }
        entry.line[row.side] = row.line;
        entry.slash[row.side] = row.slash;
        entry.selected[row.side] = row.selected;
        entry.row[row.side] = kept; // a later row stands
    } else {
        number = static_cast<std::uint32_t>(diff.entries.size());
        JobDiff::Entry entry{keep(diff.paths, path.data(), path.size()).data(),
                             static_cast<std::uint32_t>(path.size()),
                             {false, false},
                             {false, false},
                             {nullptr, nullptr},
                             {0, 0}};
        entry.line[row.side] = row.line;
        entry.slash[row.side] = row.slash;
        entry.selected[row.side] = row.selected;
        entry.row[row.side] = kept;
        insert_path(diff.index, row.hash, number);
        diff.entries.push_back(entry);
    }
    if (!escaped.empty()) {
        diff.escaped.at(static_cast<std::size_t>(row.side))[number] =
            keep(diff.paths, escaped.data(), escaped.size());
    }
}

// Fetches the entries, then their paths, that the pending rows will look
// up, then places the rows in order.
void place_pending(JobDiff& diff)
{
    for (const JobDiff::Pending& row : diff.pending) {
        if (const JobDiff::Entry* const entry = likely_entry(diff, row.hash)) {
            __builtin_prefetch(entry);
        }
    }
    for (const JobDiff::Pending& row : diff.pending) {
        if (const JobDiff::Entry* const entry = likely_entry(diff, row.hash)) {
            __builtin_prefetch(entry->path);
            if (row.side == new_side) {
                __builtin_prefetch(entry->row[old_side]);
            }
        }
    }
    const std::string_view paths(diff.pending_paths);
    for (const JobDiff::Pending& row : diff.pending) {
        place(diff, row, paths.substr(row.path_start, row.path_length),
              paths.substr(row.path_start + row.path_length, row.escaped_length));
    }
    diff.pending.clear();
    diff.pending_paths.clear();
    clear_store(diff.pending_rows);
}

} // namespace

std::string repeated_path_message(const RepeatedPath& repeated)
{
    const char* const side = repeated.side == old_side ? "OLD" : "NEW";
    return std::string(side) + " gives the path of its line " +
           std::to_string(repeated.earlier_line) + " again on line " +
           std::to_string(repeated.line) +
           ": is the path not the first column? Only --latest lets a path's later row stand, "
           "as a full backup and the incrementals after it give it: nothing compared";
}

char change_letter(Change change)
{
    return "=+-TMU"[static_cast<int>(change)];
}

void start_diff(JobDiff& diff, const FieldSelection& compare, bool keep_every_field,
                bool disk_usage, bool latest)
{
    diff = JobDiff{};
    diff.latest = latest;
    for (int i = 0; i < compare.count; ++i) {
        diff.compared |= 1U << compare.indices[i];
    }
    diff.kept = keep_every_field ? (1U << lstat_field_count) - 1
                                 : diff.compared | 1U << field_mode | 1U << field_size |
                                       (disk_usage ? 1U << field_blocks : 0U);
    diff.disk_usage = disk_usage;
}

void add_to_diff(JobDiff& diff, int side, const CatalogLine& line)
{
    const PathIdentity given = path_identity(line.first_column(), diff.copy_form);
    const std::string_view path = given.path;
    const std::uint32_t hash = path_hash(path);
    prefetch_slot(diff.index, hash);
    // Kept as the side gave it where that differs: mysql -B's raw CR.
    const std::string_view escaped =
        path.data() == given.given.data() ? std::string_view() : given.given;
    // NEW's row is kept apart until its path is looked up: where it equals
    // OLD's, as most do, the entry points at OLD's bytes.
    ByteStore& store = side == new_side ? diff.pending_rows : diff.rows;
    const auto line_number =
        static_cast<std::uint32_t>(std::min<unsigned long>(line.number, UINT32_MAX));
    diff.pending.push_back({hash, side, given.slash, line.selected,
                            keep_row(diff, store, line, line.first_column()), line_number,
                            diff.pending_paths.size(), path.size(), escaped.size()});
    diff.pending_paths.append(path.data(), path.size());
    diff.pending_paths.append(escaped.data(), escaped.size());
    if (diff.pending.size() == batch_size) {
        place_pending(diff);
    }
}

void clear_diff(JobDiff& diff)
{
    clear_store(diff.paths);
    clear_store(diff.rows);
    diff.entries.clear();
    std::fill(diff.index.slots.begin(), diff.index.slots.end(), 0);
    diff.index.count = 0;
    diff.escaped[old_side].clear();
    diff.escaped[new_side].clear();
    diff.pending.clear();
    diff.pending_paths.clear();
    clear_store(diff.pending_rows);
}

void add_matched_rows(JobDiff& diff, const CatalogLine* old_line, const CatalogLine* new_line)
{
    const auto number = static_cast<std::uint32_t>(diff.entries.size());
    JobDiff::Entry entry{nullptr, 0, {false, false}, {false, false}, {nullptr, nullptr}, {0, 0}};
    const CatalogLine* const lines[] = {old_line, new_line};
    for (const int side : {old_side, new_side}) {
        const CatalogLine* const line = lines[side];
        if (line == nullptr) {
            continue;
        }
        const PathIdentity given = path_identity(line->first_column(), diff.copy_form);
        const std::string_view path = given.path;
        if (path.data() != given.given.data()) {
            diff.escaped.at(static_cast<std::size_t>(side))[number] =
                keep(diff.paths, given.given.data(), given.given.size());
        }
        if (entry.path == nullptr) {
            entry.path = keep(diff.paths, path.data(), path.size()).data();
            entry.length = static_cast<std::uint32_t>(path.size());
        }
        entry.slash[side] = given.slash;
        entry.selected[side] = line->selected;
        entry.row[side] = keep_row(diff, diff.rows, *line, line->first_column());
    }
    diff.entries.push_back(entry);
}

void finish_diff(JobDiff& diff)
{
    place_pending(diff);
}

std::string_view given_path(const JobDiff& diff, std::uint32_t entry, int side)
{
    const auto& escaped = diff.escaped.at(static_cast<std::size_t>(side));
    if (!escaped.empty()) {
        const auto found = escaped.find(entry);
        if (found != escaped.end()) {
            return found->second;
        }
    }
    return path_of(diff, entry);
}

KeptRow read_kept_row(const JobDiff& diff, const unsigned char* row)
{
    std::uint64_t length = 0;
    row = get_varint(row, length);
    KeptRow kept{};
    kept.fields.count = *row++;
    for (int field = 0; field < kept.fields.count; ++field) {
        if (kept_field(diff.kept, field)) {
            std::uint64_t value = 0;
            row = get_varint(row, value);
            kept.fields.values[field] = unzigzag(value);
        }
    }
    std::uint64_t between = 0;
    row = get_varint(row, between);
    kept.has_between = between > 0;
    if (kept.has_between) {
        kept.between = std::string_view(reinterpret_cast<const char*>(row), between - 1);
    }
    return kept;
}

bool same_kept_row(const unsigned char* a, const unsigned char* b)
{
    if (a == b) {
        return true;
    }
    const std::size_t size = kept_row_size(a);
    return kept_row_size(b) == size && std::memcmp(a, b, size) == 0;
}

Change compare_entry(const JobDiff& diff, const JobDiff::Entry& entry, KeptRow& old_row,
                     KeptRow& new_row)
{
    if (entry.row[old_side] != nullptr) {
        old_row = read_kept_row(diff, entry.row[old_side]);
    }
    if (entry.row[new_side] != nullptr) {
        new_row = read_kept_row(diff, entry.row[new_side]);
    }
    if (entry.row[old_side] == nullptr) {
        return Change::added;
    }
    if (entry.row[new_side] == nullptr) {
        return Change::removed;
    }
    const std::int64_t old_mode = old_row.fields.values[field_mode];
    const std::int64_t new_mode = new_row.fields.values[field_mode];
    const bool mode_compared = kept_field(diff.compared, field_mode);
    if (mode_compared && file_type(old_mode) != file_type(new_mode)) {
        return Change::type;
    }
    const bool size_or_time =
        (kept_field(diff.compared, field_size) && !same_field(old_row, new_row, field_size)) ||
        (kept_field(diff.compared, field_mtime) && !same_field(old_row, new_row, field_mtime));
    if (size_or_time || !same_between(old_row, new_row)) {
        return Change::modified;
    }
    // The permission bits, and any other bit beside the type's.
    if (mode_compared && mode_without_type(old_mode) != mode_without_type(new_mode)) {
        return Change::attributes;
    }
    for (int field = 0; field < lstat_field_count; ++field) {
        if (field != field_mode && field != field_size && field != field_mtime &&
            kept_field(diff.compared, field) && !same_field(old_row, new_row, field)) {
            return Change::attributes;
        }
    }
    return Change::none;
}

bool size_delta(const JobDiff& diff, const JobDiff::Entry& entry, const KeptRow& old_row,
                const KeptRow& new_row, std::int64_t& delta)
{
    // Sizes are never negative here, but disk usage passes 64 bits.
    __extension__ typedef __int128 Wide;
    const auto size = [&](int side, const KeptRow& row) -> Wide {
        if (entry.row[side] == nullptr) {
            return 0;
        }
        const std::int64_t* const values = row.fields.values;
        return diff.disk_usage ? Wide{values[field_blocks]} * 512 : Wide{values[field_size]};
    };
    const Wide wide = size(new_side, new_row) - size(old_side, old_row);
    delta = static_cast<std::int64_t>(wide);
    return wide <= INT64_MAX && wide >= -INT64_MAX;
}

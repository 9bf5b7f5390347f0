#include "diff_engine.h"

#include <algorithm>
#include <utility>

namespace {

int side_of(std::string_view payload)
{
    return (static_cast<unsigned char>(payload.front()) & 1U) != 0 ? new_side : old_side;
}

unsigned long line_of(const DiffEngine& engine, const DiffEngine::Held& held, DiffRow& scratch)
{
    decode_diff_row(engine.fields, held.key, held.payload, scratch);
    return scratch.line;
}

DiffEngine::Held& row_on(DiffEngine::Path& path, int side)
{
    return path.rows.at(static_cast<std::size_t>(side));
}

const DiffEngine::Held& row_on(const DiffEngine::Path& path, int side)
{
    return path.rows.at(static_cast<std::size_t>(side));
}

bool starts_with(std::string_view text, std::string_view head)
{
    return text.size() >= head.size() && text.compare(0, head.size(), head) == 0;
}

// Where `key` lies from the place of `file` + '/', the directory of the
// file's path: 0 there, 1 past it, -1 before it.
int from_directory_of(std::string_view file, std::string_view key)
{
    if (!starts_with(key, file) || key.size() == file.size()) {
        return 1; // past it: keys come in order after the file
    }
    const auto next = static_cast<unsigned char>(key[file.size()]);
    if (next != '/') {
        return next < '/' ? -1 : 1;
    }
    return key.size() == file.size() + 1 ? 0 : 1;
}

// The place in `waiting` of the path of `number`.
std::size_t place_of(const DiffEngine& engine, std::size_t number)
{
    return number - engine.gone;
}

// A new path at the end of `waiting`, made of a spare one where there is
// one: a path a row, and each its strings, would cost allocations.
DiffEngine::Path& next_place(DiffEngine& engine)
{
    if (engine.spare.empty()) {
        return engine.waiting.emplace_back();
    }
    DiffEngine::Path& path = engine.waiting.emplace_back(std::move(engine.spare.back()));
    engine.spare.pop_back();
    path.resolved = false;
    path.moved = false;
    for (DiffEngine::Held& held : path.rows) {
        held.present = false;
    }
    return path;
}

// Compares a settled path and hands it on where it differs.
bool settle(DiffEngine& engine, const DiffEngine::Path& path, DiffEntryVisitor& visitor)
{
    const DiffEngine::Held& old_held = row_on(path, old_side);
    const DiffEngine::Held& new_held = row_on(path, new_side);
    if (old_held.present && new_held.present &&
        same_row_values(old_held.payload, new_held.payload)) {
        return true;
    }
    const DiffRow* sides[2] = {nullptr, nullptr};
    bool selected = false;
    for (const int side : {old_side, new_side}) {
        const DiffEngine::Held& held = row_on(path, side);
        if (held.present) {
            decode_diff_row(engine.fields, held.key, held.payload, engine.rows[side]);
            // A path whose last row on a side records its deletion is not there.
            sides[side] = engine.rows[side].deleted ? nullptr : &engine.rows[side];
            selected |= engine.rows[side].selected;
        }
    }
    if (!selected || (sides[old_side] == nullptr && sides[new_side] == nullptr)) {
        return true;
    }
    const Change change = compare_rows(engine.fields, sides[old_side], sides[new_side]);
    if (change == Change::none) {
        return true;
    }
    std::int64_t delta = 0;
    if (!size_delta(engine.fields, sides[old_side], sides[new_side], delta)) {
        engine.too_large = true;
        return false;
    }
    visitor.differs({change, delta, sides[old_side], sides[new_side]});
    return true;
}

// Hands on the paths at the front that nothing waits for.
bool flush(DiffEngine& engine, DiffEntryVisitor& visitor)
{
    while (!engine.waiting.empty() && engine.waiting.front().resolved) {
        if (!engine.waiting.front().moved && !settle(engine, engine.waiting.front(), visitor)) {
            return false;
        }
        engine.spare.push_back(std::move(engine.waiting.front()));
        engine.waiting.pop_front();
        ++engine.gone;
    }
    return true;
}

// Joins the rows of the directory `group` to those of the file of its
// path: each side keeps one row, the later where --latest says so.
bool join(DiffEngine& engine, DiffEngine::Path& file, DiffEngine::Path& group)
{
    DiffRow scratch{};
    for (const int side : {old_side, new_side}) {
        DiffEngine::Held& kept = row_on(file, side);
        DiffEngine::Held& later = row_on(group, side);
        if (!later.present) {
            continue;
        }
        if (kept.present) {
            const unsigned long file_line = line_of(engine, kept, scratch);
            const unsigned long directory_line = line_of(engine, later, scratch);
            if (!engine.latest) {
                engine.repeated = {side, std::max(file_line, directory_line),
                                   std::min(file_line, directory_line)};
                return false;
            }
            if (!engine.order_known) {
                engine.order_unknown = true;
                engine.unknown_line = directory_line;
                return false;
            }
            if (directory_line < file_line) {
                continue; // the file came later and stands
            }
        }
        std::swap(kept, later);
    }
    return true;
}

// Files the rows of the key read last, whose place path order has passed.
bool close_group(DiffEngine& engine, DiffEntryVisitor& visitor)
{
    if (!engine.in_group) {
        return true;
    }
    engine.in_group = false;
    DiffEngine::Path& group = engine.group;
    while (!engine.files.empty()) {
        DiffEngine::Path& file = engine.waiting[place_of(engine, engine.files.back())];
        const int where = from_directory_of(file.key, group.key);
        if (where < 0) {
            break;
        }
        engine.files.pop_back();
        file.resolved = true;
        if (where > 0) {
            continue;
        }
        if (!join(engine, file, group)) {
            return false;
        }
        const DiffEngine::Held& shown = row_on(file, new_side);
        if (shown.present && shown.key.size() > file.key.size()) {
            // Shown at the place of NEW's row, the directory's.
            file.moved = true;
            DiffEngine::Path& moved = next_place(engine);
            moved.key = shown.key;
            std::swap(moved.rows, file.rows);
            moved.resolved = true;
        }
        return flush(engine, visitor);
    }
    const bool is_file = !group.key.empty() && group.key.back() != '/';
    if (is_file && engine.latest) {
        DiffEngine::Cleared& cleared = engine.cleared.emplace_back();
        cleared.key = group.key;
        DiffRow scratch{};
        for (const int side : {old_side, new_side}) {
            const DiffEngine::Held& held = row_on(group, side);
            cleared.lines.at(static_cast<std::size_t>(side)) =
                held.present ? line_of(engine, held, scratch) : 0;
        }
    }
    DiffEngine::Path& path = next_place(engine);
    std::swap(path.key, group.key);
    std::swap(path.rows, group.rows);
    path.resolved = !is_file;
    if (is_file) {
        engine.files.push_back(engine.gone + engine.waiting.size() - 1);
    }
    return flush(engine, visitor);
}

// Whether the row of `key` on `side` lies below a file that a later row
// of its side put at a path above it (--latest): the file took it away, as
// it takes it from the tree. Without the input order, that cannot be told:
// order_unknown is set, and false returned.
bool taken_away(DiffEngine& engine, std::string_view key, std::string_view payload, int side)
{
    while (!engine.cleared.empty() && !starts_with(key, engine.cleared.back().key)) {
        engine.cleared.pop_back();
    }
    DiffRow row{};
    bool decoded = false;
    for (const DiffEngine::Cleared& file : engine.cleared) {
        const unsigned long file_line = file.lines.at(static_cast<std::size_t>(side));
        // The directory's own row at the file's path is the file's to join.
        if (file_line == 0 || key.size() <= file.key.size() + 1 || key[file.key.size()] != '/') {
            continue;
        }
        if (!decoded) {
            decode_diff_row(engine.fields, key, payload, row);
            decoded = true;
        }
        if (!engine.order_known) {
            engine.order_unknown = true;
            engine.unknown_line = row.line;
            return false;
        }
        if (row.line < file_line) {
            return true;
        }
    }
    return false;
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

void start_diff_engine(DiffEngine& engine, const DiffFields& fields, bool latest, bool order_known)
{
    engine = DiffEngine{};
    engine.fields = fields;
    engine.latest = latest;
    engine.order_known = order_known;
}

bool add_diff_record(DiffEngine& engine, std::string_view key, std::string_view payload,
                     DiffEntryVisitor& visitor)
{
    const int side = side_of(payload);
    if (!engine.in_group || key != engine.group.key) {
        if (!close_group(engine, visitor)) {
            return false;
        }
        engine.in_group = true;
        engine.group.key.assign(key);
        row_on(engine.group, old_side).present = false;
        row_on(engine.group, new_side).present = false;
    }
    if (!engine.cleared.empty() && taken_away(engine, key, payload, side)) {
        return true;
    }
    if (engine.order_unknown) {
        return false;
    }
    DiffEngine::Held& held = row_on(engine.group, side);
    if (held.present && !engine.latest) {
        DiffRow scratch{};
        const unsigned long earlier = line_of(engine, held, scratch);
        decode_diff_row(engine.fields, key, payload, scratch);
        engine.repeated = {side, scratch.line, earlier};
        return false;
    }
    // A later row of the path, which the input order brings later, stands.
    held.present = true;
    held.key.assign(key);
    held.payload.assign(payload);
    return true;
}

bool finish_diff_engine(DiffEngine& engine, DiffEntryVisitor& visitor)
{
    if (!close_group(engine, visitor)) {
        return false;
    }
    for (const std::size_t number : engine.files) {
        engine.waiting[place_of(engine, number)].resolved = true;
    }
    engine.files.clear();
    return flush(engine, visitor);
}

#include "row_shape.h"

#include "client_escapes.h"
#include "file_mode.h"

#include <algorithm>
#include <cstring>

namespace {

// The verdict on an LStat value that holds a byte no numeral holds.
Verdict stray_verdict(const CatalogLine& line)
{
    if (is_null_column(line.lstat(), line.lstat_length())) {
        return Verdict::null_value;
    }
    if (std::memchr(line.lstat(), '|', line.lstat_length()) != nullptr) {
        return Verdict::psql_separator;
    }
    return line.lstat_fault == LstatFault::misplaced_byte ? Verdict::misplaced_byte
                                                          : Verdict::stray_byte;
}

// A name as SQL gives a column, bare or qualified: a letter or '_' first,
// then letters, digits, '_', '$' and '.'.
bool is_column_name(const char* text, std::size_t length)
{
    const auto is_letter = [](char c) {
        return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || c == '_';
    };
    if (length == 0 || !is_letter(text[0])) {
        return false;
    }
    return std::all_of(text, text + length, [&is_letter](char c) {
        return is_letter(c) || (c >= '0' && c <= '9') || c == '$' || c == '.';
    });
}

// What a tree needs of a row that has the shape.
Verdict tree_verdict(CatalogLine& line)
{
    if (line.columns < 2) {
        return Verdict::no_path;
    }
    const std::string_view path = line.first_column();
    if (path.empty()) {
        return Verdict::empty_path;
    }
    if (is_null_column(path.data(), path.size())) {
        return Verdict::null_path;
    }
    // No path is the word NULL: a relative path of that name has no
    // directory above it, and mysql -B prints a NULL so.
    if (path == "NULL") {
        return Verdict::null_text_path;
    }
    if (path.back() == '/' && !is_directory(line.fields.values[field_mode])) {
        return Verdict::not_a_directory;
    }
    // Totals are sums of these: one negative would take bytes from them.
    const std::int64_t* const values = line.fields.values;
    if ((values[field_size] | values[field_blocks] | values[field_nlink]) < 0) {
        line.expected = values[field_size] < 0     ? field_size
                        : values[field_blocks] < 0 ? field_blocks
                                                   : field_nlink;
        return Verdict::negative_field;
    }
    return Verdict::row;
}

// Judges the columns of a line against the shape, and follows a row that a
// line feed cut into pieces. Returns Verdict::row when they fit.
Verdict column_verdict(RowShape& shape, CatalogLine& line)
{
    // A line feed in a file name cuts its row in two (or more): the first
    // piece lacks columns and the next lines bring the rest.
    if (shape.columns_owed > 0) {
        if (line.columns - 1 <= shape.columns_owed) {
            shape.columns_owed -= line.columns - 1;
            line.other_line = shape.cut_line;
            return Verdict::continues_cut_row;
        }
        shape.columns_owed = 0;
    }
    if (line.columns == shape.columns) {
        return Verdict::row;
    }
    line.other_line = shape.first_line;
    line.expected = shape.columns;
    if (line.columns > shape.columns) {
        return Verdict::extra_columns;
    }
    shape.cut_line = line.number;
    shape.columns_owed = shape.columns - line.columns;
    return Verdict::cut_short;
}

} // namespace

void judge_line(RowShape& shape, const RowRules& rules, CatalogLine& line)
{
    if (line.length == 0 && shape.columns_owed == 0) {
        line.verdict = Verdict::empty;
        return;
    }
    if (line.has_nul || (line.has_stray_byte() && line.text[line.stray_at] == '\0')) {
        line.verdict = Verdict::nul_byte;
        return;
    }
    if (line.names_lstat) {
        line.verdict = Verdict::late_header;
        return;
    }
    if (shape.first_line == 0) {
        shape.first_line = line.number;
        shape.columns = line.columns;
    }
    line.verdict = column_verdict(shape, line);
    if (line.verdict != Verdict::row) {
        return;
    }
    // Column names above whole rows, the last one another than LStat.
    if (line.at_top && shape.numerals >= 0 && shape.numerals_line != line.number &&
        is_column_name(line.lstat(), line.lstat_length())) {
        line.verdict = Verdict::other_header;
        return;
    }
    if (line.has_stray_byte()) {
        line.verdict = stray_verdict(line);
        return;
    }
    // Whatever came before, fewer numerals are no LStat value: a path or a
    // number where the value should be, or a row cut short.
    if (line.fields.count < fewest_in_a_value) {
        line.other_line = shape.numerals_line;
        line.expected = shape.numerals;
        line.verdict = shape.numerals < 0 ? Verdict::too_few_numerals : Verdict::piece_of_value;
        return;
    }
    if (shape.numerals < 0) {
        shape.numerals = line.fields.count;
        shape.numerals_line = line.number;
    }
    // Clients end every row with a line feed: a last line without one, and
    // with fewer numerals than the first row, is a file cut inside a row.
    if (!line.line_fed && line.fields.count < shape.numerals) {
        line.other_line = shape.numerals_line;
        line.expected = shape.numerals;
        line.verdict = Verdict::cut_at_end;
        return;
    }
    // A value that wrapped would print, and add up, as another number.
    if (line.fields.wrapped != 0) {
        line.expected = __builtin_ctz(line.fields.wrapped);
        line.verdict = Verdict::wrapped_numeral;
        return;
    }
    if (rules.needs_path) {
        line.verdict = tree_verdict(line);
        if (line.verdict != Verdict::row) {
            return;
        }
    }
    line.verdict = line.fields.has_overflow ? Verdict::extra_numerals : Verdict::row;
}

#include "row_formats.h"

#include "client_escapes.h"
#include "file_mode.h"
#include "json_text.h"
#include "terminal_text.h"

#include <algorithm>
#include <iterator>

namespace {

// The number of a field that is one: of the row, or of its job.
std::int64_t field_number(const LstatRow& row, const RowOrigin& origin, int index)
{
    return index == field_jobid     ? origin.job
           : index == field_jobtime ? origin.job_time
                                    : row.values[index];
}

// Whether the row has the field: a numeral it holds, one read from them, or
// its job's, where the catalog is read.
bool has_field(const LstatRow& row, const RowOrigin& origin, int index)
{
    return is_job_field(index) ? origin.job != 0 : index < row.count || index >= lstat_field_count;
}

// Writes the text of a field that is no number: the type or the mode read
// from the row's mode, or a time in `times`'s style. False for a number.
bool write_field_text(OutputBuffer& out, const LstatRow& row, const RowOrigin& origin, int index,
                      const TimeStyle* times, bool quoted)
{
    char text[time_text_size];
    std::size_t length = 0;
    if (index == field_type) {
        text[0] = find_type_letter(row.values[field_mode]);
        length = 1;
    } else if (index == field_perm) {
        char mode[10];
        mode_string(row.values[field_mode], mode);
        std::copy(std::begin(mode), std::end(mode), text);
        length = sizeof mode;
    } else if (times != nullptr && is_time_field(index)) {
        length = time_text(*times, field_number(row, origin, index), text);
    } else {
        return false;
    }
    if (quoted) {
        write_json_string(out, text, length);
    } else {
        write_columns(out, text, length);
    }
    return true;
}

void write_json_field(OutputBuffer& out, const LstatRow& row, const RowOrigin& origin, int index,
                      const TimeStyle* times)
{
    output_char(out, '"');
    output_text(out, selected_field_name(index));
    output_bytes(out, "\":", 2);
    if (!has_field(row, origin, index)) {
        output_bytes(out, "null", 4);
    } else if (!write_field_text(out, row, origin, index, times, true)) {
        output_number(out, field_number(row, origin, index));
    }
}

} // namespace

void write_columns_for_terminal(OutputBuffer& out, const char* text, std::size_t length)
{
    escape_for_terminal(text, length, Tabs::keep, [&out](const char* bytes, std::size_t part) {
        output_bytes(out, bytes, part);
    });
}

void write_columns(OutputBuffer& out, const char* text, std::size_t length)
{
    if (out.terminal) {
        write_columns_for_terminal(out, text, length);
    } else {
        output_bytes(out, text, length);
    }
}

void write_tsv_header(OutputBuffer& out, int pass_through_columns, const PassThrough& names,
                      const FieldSelection& fields)
{
    const char* name = names.present ? names.text : nullptr;
    const char* const names_end = names.text + names.length;
    for (int column = 1; column <= pass_through_columns; ++column) {
        if (name != nullptr) {
            const auto* const tab = static_cast<const char*>(
                std::memchr(name, '\t', static_cast<std::size_t>(names_end - name)));
            const char* const end = tab != nullptr ? tab : names_end;
            write_columns(out, name, static_cast<std::size_t>(end - name));
            name = tab != nullptr ? tab + 1 : nullptr;
        } else {
            output_text(out, "column");
            output_number(out, column);
        }
        output_char(out, '\t');
    }
    for (int i = 0; i < fields.count; ++i) {
        if (i > 0) {
            output_char(out, '\t');
        }
        output_text(out, selected_field_name(fields.indices[i]));
    }
    output_char(out, '\n');
}

void write_tsv_row(OutputBuffer& out, const PassThrough& columns, const LstatRow& row,
                   const FieldSelection& fields, const TimeStyle* times, const RowOrigin& origin)
{
    if (columns.present) {
        write_columns(out, columns.text, columns.length);
        output_char(out, '\t');
    }
    for (int i = 0; i < fields.count; ++i) {
        if (i > 0) {
            output_char(out, '\t');
        }
        const int index = fields.indices[i];
        if (origin.deleted && !is_job_field(index)) {
            output_text(out, "deleted");
        } else if (!has_field(row, origin, index)) {
            continue; // an empty column
        } else if (!write_field_text(out, row, origin, index, times, false)) {
            output_number(out, field_number(row, origin, index));
        }
    }
    output_char(out, '\n');
}

void write_json_row(OutputBuffer& out, const PassThrough& columns, const LstatRow& row,
                    const FieldSelection& fields, const TimeStyle* times, const RowOrigin& origin)
{
    write_json_object(out, columns, row, fields, times, origin);
    output_char(out, '\n');
}

void write_json_object(OutputBuffer& out, const PassThrough& columns, const LstatRow& row,
                       const FieldSelection& fields, const TimeStyle* times,
                       const RowOrigin& origin)
{
    output_char(out, '{');
    if (columns.present) {
        output_text(out, "\"columns\":[");
        char* column = columns.text;
        char* const end = columns.text + columns.length;
        for (;;) {
            auto* tab = static_cast<char*>(
                std::memchr(column, '\t', static_cast<std::size_t>(end - column)));
            const auto length = static_cast<std::size_t>((tab != nullptr ? tab : end) - column);
            if (is_null_column(column, length)) {
                output_bytes(out, "null", 4);
            } else {
                write_json_string(out, column, unescape_column(column, length));
            }
            if (tab == nullptr) {
                break;
            }
            output_char(out, ',');
            column = tab + 1;
        }
        output_char(out, ']');
    }
    bool first = !columns.present;
    if (origin.deleted) {
        output_text(out, first ? "\"deleted\":true" : ",\"deleted\":true");
        first = false;
    }
    for (int i = 0; i < fields.count; ++i) {
        // A deleted file's record has no fields but its job's.
        if (origin.deleted && !is_job_field(fields.indices[i])) {
            continue;
        }
        if (!first) {
            output_char(out, ',');
        }
        first = false;
        write_json_field(out, row, origin, fields.indices[i], times);
    }
    output_char(out, '}');
}

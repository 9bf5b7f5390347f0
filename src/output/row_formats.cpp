#include "row_formats.h"

#include "client_escapes.h"
#include "json_text.h"
#include "terminal_text.h"

namespace {

void write_json_field(OutputBuffer& out, const LstatRow& row, int index)
{
    output_char(out, '"');
    output_text(out, lstat_field_names[index]);
    output_bytes(out, "\":", 2);
    if (index < row.count) {
        output_number(out, row.values[index]);
    } else {
        output_bytes(out, "null", 4);
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
        output_text(out, lstat_field_names[fields.indices[i]]);
    }
    output_char(out, '\n');
}

void write_tsv_row(OutputBuffer& out, const PassThrough& columns, const LstatRow& row,
                   const FieldSelection& fields)
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
        if (index < row.count) {
            output_number(out, row.values[index]);
        }
    }
    output_char(out, '\n');
}

void write_json_row(OutputBuffer& out, const PassThrough& columns, const LstatRow& row,
                    const FieldSelection& fields)
{
    write_json_object(out, columns, row, fields);
    output_char(out, '\n');
}

void write_json_object(OutputBuffer& out, const PassThrough& columns, const LstatRow& row,
                       const FieldSelection& fields)
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
    for (int i = 0; i < fields.count; ++i) {
        if (i > 0 || columns.present) {
            output_char(out, ',');
        }
        write_json_field(out, row, fields.indices[i]);
    }
    output_char(out, '}');
}

#include "verdict.h"

#include "catalog_line.h"
#include "line_reader.h"

#include <cstdio>
#include <cstring>

namespace {

const char client_hint[] = "Query with COPY ... TO STDOUT or mysql -B";

std::string counted(int count, const char* one, const char* many)
{
    return std::to_string(count) + " " + (count == 1 ? one : many);
}

std::string byte_name(unsigned char byte)
{
    char name[16];
    if (byte > ' ' && byte < 0x7F) {
        (void)std::snprintf(name, sizeof name, "'%c'", byte);
    } else {
        (void)std::snprintf(name, sizeof name, "byte 0x%02X", byte);
    }
    return name;
}

// "N columns, but line M has K", of the shape's line.
std::string columns_against_shape(const CatalogLine& line)
{
    return counted(line.columns, "column", "columns") + ", but line " +
           std::to_string(line.other_line) + " has " + std::to_string(line.expected);
}

// A line of one column that holds a comma: a CSV record, read as a
// TAB-separated line (read as CSV, a record's columns are parted by TABs).
bool looks_like_csv(const CatalogLine& line)
{
    return line.columns == 1 && std::memchr(line.text, ',', line.length) != nullptr;
}

std::string octal(std::int64_t value)
{
    char text[32];
    (void)std::snprintf(text, sizeof text, "0%llo", static_cast<unsigned long long>(value));
    return text;
}

} // namespace

std::string verdict_message(const CatalogLine& line)
{
    switch (line.verdict) {
    case Verdict::row:
    case Verdict::empty:
    case Verdict::header:
        break;
    case Verdict::extra_numerals:
        return "more than " + std::to_string(lstat_field_count) +
               " numerals; the rest are not shown";
    case Verdict::too_long:
        return "a line of " + std::to_string(line.length) +
               " bytes, longer than any catalog row (at most " + std::to_string(longest_line) +
               "); skipped";
    case Verdict::unclosed_quote:
        return "a quoted field opens in this record and never closes: the lines from here to "
               "the end of the input are not read as rows; output cut short?";
    case Verdict::stray_quote:
        return "a '\"' inside a field without quotes, or after the quote that closes one: "
               "not CSV as sqlite3 -csv and psql --csv write it";
    case Verdict::nul_byte:
        return "line holds a NUL byte; skipped";
    case Verdict::late_header:
        return "a header line, but not at the top of the input; outputs of several queries run "
               "together?";
    case Verdict::line_feed_cut:
        return columns_against_shape(line) + "; a file name holding a line feed? " + client_hint;
    case Verdict::cut_short:
        return columns_against_shape(line) + ", and no line brings the rest; a row cut short?";
    case Verdict::continues_cut_row:
        return "continues the row cut short on line " + std::to_string(line.other_line) +
               "; a file name holding a line feed? " + client_hint;
    case Verdict::extra_columns:
        return columns_against_shape(line) + "; a file name holding a line feed or TAB? " +
               client_hint;
    case Verdict::null_value:
        return "the LStat value is NULL";
    case Verdict::psql_separator:
        return "the line holds '|', which psql -A and the sqlite3 shell put between columns: "
               "query with COPY ... TO STDOUT or mysql -B, or with sqlite3 -csv read with --csv";
    case Verdict::stray_byte:
        return "the LStat value holds " +
               byte_name(static_cast<unsigned char>(line.text[line.stray_at])) +
               ", which no base-64 numeral does; " +
               (looks_like_csv(line) ? "the line holds ',' and no TAB: CSV, as sqlite3 -csv and "
                                       "psql --csv write it? Read it with --csv"
                                     : std::string("is LStat the last column? ") + client_hint);
    case Verdict::misplaced_byte:
        return line.text[line.stray_at] == ' '
                   ? "a space before the first numeral of the LStat value, after its last or "
                     "beside another: numerals are parted by one space; a numeral lost?"
                   : "a '-' inside a numeral of the LStat value: only its first byte may be '-'";
    case Verdict::piece_of_value:
        return counted(line.fields.count, "numeral", "numerals") + ", but line " +
               std::to_string(line.other_line) + " has " + std::to_string(line.expected) +
               "; a row cut short, or is LStat not the last column?";
    case Verdict::other_header:
        return "a header line, but its last column is named otherwise than LStat: not read as "
               "a row; name the column LStat (... AS LStat) for the header line to be skipped";
    case Verdict::too_few_numerals:
        return counted(line.fields.count, "numeral", "numerals") + ", fewer than the " +
               std::to_string(fewest_in_a_value) +
               " of an LStat value; is there no LStat column, or is LStat not the last column?";
    case Verdict::cut_at_end:
        return counted(line.fields.count, "numeral", "numerals") + ", but line " +
               std::to_string(line.other_line) + " has " + std::to_string(line.expected) +
               ", and the input ends in this line, without a line feed: cut short?";
    case Verdict::wrapped_numeral:
        return std::string("the ") + lstat_field_names[line.expected] +
               " numeral passes 64 bits, which no LStat value holds (a value past 2^63 - 1 is "
               "written negative)";
    case Verdict::no_path:
        return "--du, --ncdu, --qdirstat, --treemap, --by and --diff need the path as the first "
               "column";
    case Verdict::empty_path:
        return "the path is empty";
    case Verdict::null_path:
        return "the path is NULL";
    case Verdict::null_text_path:
        return "the path is the text NULL, as mysql -B prints a NULL; query with COPY ... TO "
               "STDOUT, or give mysql IFNULL(path, '') for a NULL that is no path";
    case Verdict::not_a_directory:
        return "the path ends in '/', but the mode " + octal(line.fields.values[field_mode]) +
               " is not a directory's";
    case Verdict::negative_field:
        return std::string("the ") + lstat_field_names[line.expected] + " is " +
               std::to_string(line.fields.values[line.expected]) +
               ", but no file's size, block count or link count is negative";
    case Verdict::path_given_twice:
        return "the same path as line " + std::to_string(line.other_line) +
               "; rows of several jobs? Only the first one counts";
    case Verdict::file_over_paths:
        return "a file, where line " + std::to_string(line.other_line) +
               " has a path below it; rows of several jobs? Only the first one counts";
    case Verdict::below_a_file:
        return "below the file of line " + std::to_string(line.other_line) +
               "; rows of several jobs? Only the first one counts";
    case Verdict::order_unknown:
        return "a path below the file of line " + std::to_string(line.other_line) +
               ": which of the two is the later version, rows in path order cannot tell; leave out "
               "--sorted for --latest to take the later one (the report stops here)";
    }
    return {};
}

const char* verdict_reason(Verdict verdict)
{
    switch (verdict) {
    case Verdict::row:
    case Verdict::empty:
    case Verdict::header:
        break;
    case Verdict::extra_numerals:
        return "more than 16 numerals";
    case Verdict::too_long:
        return "longer than any catalog row";
    case Verdict::unclosed_quote:
        return "a quote that never closes";
    case Verdict::stray_quote:
        return "a quote out of place";
    case Verdict::nul_byte:
        return "a NUL byte";
    case Verdict::late_header:
        return "a header line below the top";
    case Verdict::line_feed_cut:
    case Verdict::continues_cut_row:
        return "a row cut by a line feed";
    case Verdict::cut_short:
        return "fewer columns than the first row";
    case Verdict::extra_columns:
        return "more columns than the first row";
    case Verdict::null_value:
        return "a NULL LStat value";
    case Verdict::psql_separator:
        return "'|' between columns";
    case Verdict::stray_byte:
        return "a byte that no numeral holds";
    case Verdict::misplaced_byte:
        return "a space or '-' out of place";
    case Verdict::piece_of_value:
    case Verdict::too_few_numerals:
        return "fewer than 13 numerals";
    case Verdict::other_header:
        return "a header line that does not name LStat";
    case Verdict::cut_at_end:
        return "a last line cut short";
    case Verdict::wrapped_numeral:
        return "a numeral past 64 bits";
    case Verdict::no_path:
        return "no path";
    case Verdict::empty_path:
        return "an empty path";
    case Verdict::null_path:
    case Verdict::null_text_path:
        return "a NULL path";
    case Verdict::not_a_directory:
        return "a path ending in '/' that is not a directory's";
    case Verdict::negative_field:
        return "a negative size, block count or link count";
    case Verdict::path_given_twice:
        return "a path given twice";
    case Verdict::file_over_paths:
        return "a file where paths lie below it";
    case Verdict::below_a_file:
        return "a path below a file";
    case Verdict::order_unknown:
        return "a file and a path below it, in an order that cannot tell the later";
    }
    return "";
}

// What a line of catalog output is found to be: a row, or the reason it is
// not printed. Every refusal has one message, which names the likely cause.
#ifndef B64NUM_VERDICT_H
#define B64NUM_VERDICT_H

#include <string>

enum class Verdict : unsigned char {
    // Lines that are printed, or that a mode may take:
    row,
    extra_numerals, // a row with more numerals than fields: printed, and reported
    empty,          // an empty line: a row without columns
    header,         // column names at the top of an input: not a row, dropped
    // Lines that cannot be whole rows:
    too_long,          // longer than any catalog row, passed over unread
    unclosed_quote,    // CSV: a quoted field that runs to the end of the input
    stray_quote,       // CSV: a quote in a field without quotes, or after a closing one
    nul_byte,          // no client prints a NUL byte
    late_header,       // column names below the top: outputs run together
    line_feed_cut,     // fewer columns than the shape, and the next lines bring the rest
    cut_short,         // fewer columns than the shape, and nothing brings the rest
    continues_cut_row, // the rest of a row that a line feed cut
    extra_columns,     // more columns than the shape
    null_value,        // the LStat value is the clients' NULL
    psql_separator,    // psql -A's '|' where a TAB should be
    stray_byte,        // a byte in the LStat value that no numeral holds
    misplaced_byte,    // a space or '-' where none belongs: two spaces, one at an end...
    piece_of_value,    // fewer numerals than a whole LStat value, after one
    other_header,      // at the top, before whole rows: column names, LStat's another
    too_few_numerals,  // fewer numerals than a whole LStat value, before any
    cut_at_end,        // the last line, without a line feed, and fewer numerals than the first row
    wrapped_numeral,   // a numeral whose value passes 64 bits: `expected` names its field
    // Rows that a mode building a tree cannot place:
    no_path,
    empty_path,
    null_path,
    null_text_path,  // the text NULL, as mysql -B prints a NULL path
    not_a_directory, // a path that ends in '/', of a file that is not a directory
    negative_field,  // a size, block count or link count below 0: `expected` names it
    path_given_twice,
    file_over_paths, // a file, where an earlier row put a path below it
    below_a_file,    // a path below what an earlier row made a file
    order_unknown,   // --sorted --latest: a file, and rows below its path, whose order cannot tell
};

inline bool is_refusal(Verdict verdict)
{
    return verdict >= Verdict::too_long;
}

struct CatalogLine;

// Why `line` is not printed, or for extra_numerals what is not; for
// messages that start with the input's name and the line's number.
std::string verdict_message(const CatalogLine& line);

// The cause of a refusal in a few words, the same for every line refused
// for it, for a count of such lines ("2 of them: a NULL LStat value").
const char* verdict_reason(Verdict verdict);

#endif

// The fields of a Bacula LStat value: space-separated base-64 numerals, one
// per file attribute, in a fixed order.
#ifndef B64NUM_LSTAT_H
#define B64NUM_LSTAT_H

#include "base64.h"

#include <cstddef>
#include <cstdint>

// The fields in LStat order: each one's index in LstatRow::values and in
// lstat_field_names.
enum LstatField : int {
    field_dev,
    field_ino,
    field_mode,
    field_nlink,
    field_uid,
    field_gid,
    field_rdev,
    field_size,
    field_blksize,
    field_blocks,
    field_atime,
    field_mtime,
    field_ctime,
    field_linkfi,
    field_flags,
    field_stream,
};

constexpr int lstat_field_count = field_stream + 1;

// An LStat value holds 13 to 16 numerals, the first 13 always: fewer are a
// piece of a row, or no LStat value at all.
constexpr int fewest_in_a_value = 13;

// What keeps a text from being an LStat value, the first thing found.
enum class LstatFault : unsigned char {
    none,
    stray_byte,       // a byte that is neither a digit, nor '-', nor a space: a NUL, '.', 'é'...
    misplaced_byte,   // a space before the first numeral, after the last or beside another
                      // (where a numeral was lost?), or a '-' that does not start one
    too_few_numerals, // fewer than fewest_in_a_value
    wrapped_numeral,  // a field whose numeral passes 64 bits (see from_base64_checked)
};

// The fields' names, as users and SQL name them, in LStat order.
extern const char* const lstat_field_names[lstat_field_count];

struct LstatRow {
    std::int64_t values[lstat_field_count];
    int count;             // numerals found, at most lstat_field_count
    bool has_overflow;     // the text held more numerals than there are fields
    std::uint32_t wrapped; // a bit per field whose numeral passes 64 bits (see from_base64_checked)

    bool has(LstatField field) const { return field < count; }
};

// What read_lstat_value found: `at` is the offset of the byte out of place
// for stray_byte and misplaced_byte.
struct LstatCheck {
    LstatFault fault;
    std::size_t at;
};

// Holds the bytes [begin, end) to the one rule for an LStat value, which the
// tools and every engine's functions share, and decodes its numerals into
// `row`. An LStat value is numerals parted by single spaces, with no space
// before the first or after the last; a numeral is an optional '-' and then
// digits of the alphabet, at least one; there are at least
// fewest_in_a_value of them, and the value of each one that names a field
// fits 64 bits. Numerals after the 16th name no field: they are counted in
// has_overflow, and only their bytes are checked. Each numeral reads as
// from_base64 reads it. The bytes need no terminating NUL, a NUL among them
// is a stray byte, and it is safe to call from several threads at once.
// The row holds what was decoded before a fault: nothing for a stray byte.
LstatCheck read_lstat_value(const char* begin, const char* end, LstatRow& row);

inline bool is_lstat_value(const char* begin, const char* end, LstatRow& row)
{
    return read_lstat_value(begin, end, row).fault == LstatFault::none;
}

// Writes the field names into `text` (`size` bytes, NUL-terminated, cut
// short if need be), `separator` between them, for messages.
void list_field_names(char* text, std::size_t size, const char* separator);

// The index of the field named by `name` (`length` bytes, no NUL needed), or
// by its 1-based position; -1 if there is none.
int lstat_field_index(const char* name, std::size_t length);

#endif

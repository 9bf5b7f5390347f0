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

// The fields' names, as users and SQL name them, in LStat order.
extern const char* const lstat_field_names[lstat_field_count];

struct LstatRow {
    std::int64_t values[lstat_field_count];
    int count;             // numerals found, at most lstat_field_count
    bool has_overflow;     // the text held more numerals than there are fields
    std::uint32_t wrapped; // a bit per field whose numeral passes 64 bits (see from_base64_checked)

    bool has(LstatField field) const { return field < count; }
};

// Decodes the numerals of a NUL-terminated LStat text, each exactly as
// from_base64 reads it, and notes those whose values wrapped. Spaces
// before, between and after numerals are skipped, however many there are.
void decode_lstat(const char* text, LstatRow& row);

// The same over the bytes [begin, end), which need no terminating NUL, with
// from_base64_range: exactly what decode_lstat gives for the same bytes
// NUL-terminated, and safe to call from several threads at once.
void decode_lstat(const char* begin, const char* end, LstatRow& row);

// Decodes the one numeral that decode_lstat would put at `index`, over
// [begin, end) as above; false when the text holds no numeral there, or
// fewer numerals than an LStat value, or when that numeral's value wrapped.
bool decode_lstat_field(const char* begin, const char* end, int index, std::int64_t& value);

// Writes the field names into `text` (`size` bytes, NUL-terminated, cut
// short if need be), `separator` between them, for messages.
void list_field_names(char* text, std::size_t size, const char* separator);

// The index of the field named by `name` (`length` bytes, no NUL needed), or
// by its 1-based position; -1 if there is none.
int lstat_field_index(const char* name, std::size_t length);

#endif

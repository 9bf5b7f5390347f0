#include "ncdu_export.h"

#include "client_escapes.h"
#include "file_mode.h"
#include "json_text.h"

#include <algorithm>
#include <charconv>
#include <cstdint>
#include <iterator>
#include <string>
#include <vector>

namespace {

constexpr std::uint64_t block_bytes = 512; // the unit of st_blocks

// Writes ,"key":value; `member` is the text ,"key": as a literal.
template <std::size_t length>
void write_member(OutputBuffer& out, const char (&member)[length], std::int64_t value)
{
    output_bytes(out, member, length - 1);
    output_number(out, value);
}

// The same for a member that ncdu writes as an unsigned 64-bit number.
template <std::size_t length>
void write_unsigned_member(OutputBuffer& out, const char (&member)[length], std::int64_t value)
{
    output_bytes(out, member, length - 1);
    if (value >= 0) {
        output_number(out, value);
        return;
    }
    char digits[24];
    const char* const end =
        std::to_chars(digits, digits + sizeof digits, static_cast<std::uint64_t>(value)).ptr;
    output_bytes(out, digits, static_cast<std::size_t>(end - digits));
}

// The same for a member that ncdu may not read: left out then.
template <std::size_t length>
void write_member_if_read(OutputBuffer& out, const char (&member)[length], LstatField field,
                          std::int64_t value)
{
    if (ncdu_reads(field, value)) {
        write_member(out, member, value);
    }
}

// A name as ncdu writes one: its real bytes, with JSON's escapes below 0x80
// and every other byte as it is, UTF-8 or not, as ncdu reads it back.
void write_name(OutputBuffer& out, std::string_view escaped, std::string& buffer)
{
    output_text(out, "{\"name\":");
    const std::string_view name = real_bytes(escaped, buffer);
    write_json_string(out, name.data(), name.size(), HighBytes::raw);
}

// The members after the name, in ncdu's order; zero sizes are left out, as
// ncdu leaves them out, and so are those of a directory whose own row the
// selections do not let through. `show_dev` for the top and where the
// device changes. Sizes summed over several jobs' rows are no one inode's:
// then no entry is a hard link, which ncdu would count once.
void write_attributes(OutputBuffer& out, Versions versions, const EntryAttributes& a, bool show_dev,
                      bool counts = true)
{
    if (a.size != 0 && counts) {
        write_member(out, ",\"asize\":", a.size);
    }
    const std::int64_t disk =
        from_twos_complement(static_cast<std::uint64_t>(a.blocks) * block_bytes);
    if (disk != 0 && counts) {
        write_member(out, ",\"dsize\":", disk);
    }
    if (show_dev) {
        write_unsigned_member(out, ",\"dev\":", a.dev);
    }
    write_member_if_read(out, ",\"uid\":", field_uid, a.uid);
    write_member_if_read(out, ",\"gid\":", field_gid, a.gid);
    write_member_if_read(out, ",\"mode\":", field_mode, a.mode);
    write_unsigned_member(out, ",\"mtime\":", a.mtime);
    if (is_hard_link(a) && links_merge(versions)) {
        write_unsigned_member(out, ",\"ino\":", a.ino);
        output_text(out, ",\"hlnkc\":true");
        write_member_if_read(out, ",\"nlink\":", field_nlink, a.nlink);
    }
    if (!is_directory(a.mode) && !is_regular_file(a.mode)) {
        output_text(out, ",\"notreg\":true");
    }
}

} // namespace

bool ncdu_reads(LstatField field, std::int64_t value)
{
    switch (field) {
    case field_uid:
    case field_gid:
        return value >= 0 && value <= INT32_MAX;
    case field_mode:
        return value >= 0 && value <= UINT16_MAX;
    case field_nlink:
        return value >= 0 && value <= UINT32_MAX;
    default:
        return true;
    }
}

void write_ncdu_header(OutputBuffer& out, const char* version, std::time_t now)
{
    output_text(out, "[1,2,{\"progname\":\"b64num-lstat\",\"progver\":\"");
    output_text(out, version);
    output_text(out, "\",\"timestamp\":");
    output_number(out, now);
    output_text(out, "},\n");
}

void write_ncdu_entry(OutputBuffer& out, std::string_view escaped_name, const EntryAttributes* own,
                      bool show_dev, bool counts, Versions versions, std::string& buffer)
{
    write_name(out, escaped_name, buffer);
    if (own != nullptr) {
        write_attributes(out, versions, *own, show_dev, counts);
    }
    output_char(out, '}');
}

void NcduOmissions::check(const CatalogLine& line)
{
    const LstatField fields[] = {field_uid, field_gid, field_mode, field_nlink};
    const auto* const beyond =
        std::find_if(std::begin(fields), std::end(fields),
                     [&line](LstatField f) { return !ncdu_reads(f, line.fields.values[f]); });
    if (beyond == std::end(fields)) {
        return;
    }
    if (entries_++ == 0) {
        first_line_ = line.number;
        first_field_ = *beyond;
        first_value_ = line.fields.values[*beyond];
    }
}

std::string NcduOmissions::message() const
{
    if (entries_ == 0) {
        return {};
    }
    return std::to_string(entries_) + (entries_ == 1 ? " entry" : " entries") +
           " written without what ncdu cannot read: the " + lstat_field_names[first_field_] + " " +
           std::to_string(first_value_) + " of line " + std::to_string(first_line_) +
           (entries_ > 1 ? ", and others" : "");
}

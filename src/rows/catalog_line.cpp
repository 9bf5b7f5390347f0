#include "catalog_line.h"

#include <climits>
#include <cstdint>
#include <cstring>

namespace {

// The TABs in front of the LStat value, and whether a NUL byte hides there.
// One pass that compilers can vectorize, instead of a library call per TAB.
struct Prefix {
    int tabs;
    bool has_nul;
};

Prefix scan_prefix(const char* line, std::size_t length)
{
    const auto* const bytes = reinterpret_cast<const std::uint8_t*>(line);
    std::size_t tabs = 0;
    std::uint8_t nul = 0;
    for (std::size_t i = 0; i < length; ++i) {
        tabs += bytes[i] == '\t' ? 1 : 0;
        nul |= static_cast<std::uint8_t>(bytes[i] == '\0');
    }
    return {tabs > INT_MAX ? INT_MAX : static_cast<int>(tabs), nul != 0};
}

} // namespace

std::string_view CatalogLine::first_column() const
{
    const std::size_t end = lstat_start > 0 ? lstat_start - 1 : length;
    if (columns == 2) {
        return {text, end}; // the path and the LStat value, as most queries give them
    }
    const auto* const tab = static_cast<const char*>(std::memchr(text, '\t', end));
    return {text, tab != nullptr ? static_cast<std::size_t>(tab - text) : end};
}

void read_catalog_line(CatalogLine& line, unsigned long number, char* text, std::size_t length)
{
    if (length > 0 && text[length - 1] == '\r') {
        text[--length] = '\0';
    }
    line.number = number;
    line.text = text;
    line.length = length;
    line.line_fed = true;
    line.at_top = false;
    const auto* const tab = static_cast<const char*>(memrchr(text, '\t', length));
    line.lstat_start = tab != nullptr ? static_cast<std::size_t>(tab + 1 - text) : 0;
    const Prefix prefix = scan_prefix(text, line.lstat_start);
    line.columns = prefix.tabs + 1;
    line.has_nul = prefix.has_nul;
    line.names_lstat = is_lstat_column_name(line.lstat(), line.lstat_length());
    const LstatCheck check = read_lstat_value(line.lstat(), line.text + line.length, line.fields);
    line.lstat_fault = check.fault;
    line.stray_at = line.lstat_start + check.at;
    line.verdict = Verdict::row;
    line.selected = true;
    line.origin = RowOrigin{};
    line.other_line = 0;
    line.expected = 0;
}

void mark_deleted(CatalogLine& line)
{
    line.origin.deleted = true;
    std::int64_t* const values = line.fields.values;
    values[field_mode] = 0100000;
    values[field_nlink] = 1;
    values[field_size] = 0;
    values[field_blocks] = 0;
}

void unread_line(CatalogLine& line, unsigned long number, std::size_t length, Verdict verdict)
{
    line = CatalogLine{};
    line.number = number;
    line.length = length;
    line.stray_at = length;
    line.lstat_fault = LstatFault::too_few_numerals;
    line.columns = 1;
    line.line_fed = true;
    line.at_top = false;
    line.verdict = verdict;
    line.selected = true;
}

bool starts_with_byte_order_mark(const char* text, std::size_t length)
{
    constexpr std::size_t mark = sizeof byte_order_mark - 1;
    return length >= mark && std::memcmp(text, byte_order_mark, mark) == 0;
}

std::size_t byte_order_mark_before(const char* text, std::size_t length)
{
    constexpr std::size_t mark = sizeof byte_order_mark - 1;
    if (length < mark + 1 || !starts_with_byte_order_mark(text, length)) {
        return 0;
    }
    const auto* const tab = static_cast<const char*>(memrchr(text, '\t', length));
    const std::size_t last = tab != nullptr ? static_cast<std::size_t>(tab + 1 - text) : 0;
    return text[mark] == '/' || is_lstat_column_name(text + last, length - last) ? mark : 0;
}

bool is_lstat_column_name(const char* text, std::size_t length)
{
    static const char name[] = "lstat";
    constexpr std::size_t name_length = sizeof name - 1;
    if (length < name_length || (length > name_length && text[length - name_length - 1] != '.')) {
        return false;
    }
    const char* const word = text + length - name_length;
    for (std::size_t i = 0; i < name_length; ++i) {
        if ((word[i] | 0x20) != name[i]) { // ASCII letters in either case
            return false;
        }
    }
    return true;
}

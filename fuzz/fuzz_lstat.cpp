// Feeds arbitrary bytes to b64num-lstat's row walker, row filter, column
// unescaping, JSON string writer, terminal escapes and markup escapes and
// checks what they produce; any violation aborts the run.
#include "base64.h"
#include "catalog_line.h"
#include "client_escapes.h"
#include "json_text.h"
#include "long_listing.h"
#include "lstat.h"
#include "markup_text.h"
#include "output_buffer.h"
#include "row_filter.h"
#include "row_shape.h"
#include "terminal_text.h"
#include "utf8.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace {

void fail(const char* what)
{
    (void)std::fprintf(stderr, "b64num-lstat: %s\n", what);
    std::abort();
}

// What an LStat value is, written again the plain way: split at every
// space, each piece an optional '-' and digits, every field's value
// decoded in 128 bits.
struct Reference {
    LstatFault fault = LstatFault::none;
    std::vector<std::int64_t> values; // the fields, when the text has its numerals in place
};

Reference reference_value(std::string_view text)
{
    static const std::string_view digits =
        "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
    Reference reference;
    for (const char c : text) {
        if (c != ' ' && c != '-' && digits.find(c) == std::string_view::npos) {
            reference.fault = LstatFault::stray_byte;
            return reference;
        }
    }
    if (text.empty()) {
        reference.fault = LstatFault::too_few_numerals;
        return reference;
    }
    bool wrapped = false;
    std::size_t numerals = 0;
    for (std::size_t at = 0;; ++numerals) {
        const std::size_t space = std::min(text.find(' ', at), text.size());
        const std::string_view numeral = text.substr(at, space - at);
        const bool negative = !numeral.empty() && numeral[0] == '-';
        const std::string_view body = numeral.substr(negative ? 1 : 0);
        if (body.empty() || body.find('-') != std::string_view::npos) {
            reference.fault = LstatFault::misplaced_byte;
            return reference;
        }
        __extension__ unsigned __int128 whole = 0;
        bool past = false;
        for (const char c : body) {
            whole = whole * 64 + digits.find(c);
            past = past || whole > static_cast<std::uint64_t>(INT64_MAX) + (negative ? 1U : 0U);
        }
        if (numerals < lstat_field_count) {
            wrapped = wrapped || past;
            const auto bits = static_cast<std::uint64_t>(whole);
            reference.values.push_back(from_twos_complement(negative ? 0 - bits : bits));
        }
        if (space == text.size()) {
            break;
        }
        at = space + 1;
    }
    reference.fault = numerals + 1 < fewest_in_a_value ? LstatFault::too_few_numerals
                      : wrapped                        ? LstatFault::wrapped_numeral
                                                       : LstatFault::none;
    return reference;
}

// The one rule for an LStat value must judge as the plain reading does, and
// decode the same fields.
void check_walker(const std::string& text)
{
    const Reference reference = reference_value(text);
    LstatRow row{};
    const LstatCheck check = read_lstat_value(text.data(), text.data() + text.size(), row);
    if (check.fault != reference.fault) {
        fail("the LStat rule judges a text otherwise than the plain reading");
    }
    if (check.fault == LstatFault::none &&
        (static_cast<std::size_t>(row.count) != reference.values.size() ||
         !std::equal(row.values, row.values + row.count, reference.values.begin()))) {
        fail("the LStat rule decodes a field otherwise than the plain reading");
    }
    // Each numeral of a value reads as from_base64 reads it alone.
    for (std::size_t i = 0, at = 0; check.fault == LstatFault::none && i < reference.values.size();
         ++i, at = text.find(' ', at) + 1) {
        std::int64_t value = 0;
        from_base64(&value, text.substr(at, text.find(' ', at) - at).c_str());
        if (value != row.values[i]) {
            fail("the LStat rule decodes a numeral otherwise than from_base64");
        }
    }
}

void append_utf8(std::string& text, unsigned code)
{
    if (code < 0x80) {
        text += static_cast<char>(code);
    } else if (code < 0x800) {
        text += static_cast<char>(0xC0 | (code >> 6));
        text += static_cast<char>(0x80 | (code & 0x3F));
    } else {
        text += static_cast<char>(0xE0 | (code >> 12));
        text += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
        text += static_cast<char>(0x80 | (code & 0x3F));
    }
}

// Reads back the string that write_json_string wrote, as Python's json.loads
// and then encode("utf-8", "surrogateescape") do.
std::string read_json_string(std::string_view json)
{
    std::string text;
    for (std::size_t i = 1; i + 1 < json.size(); ++i) {
        const auto c = static_cast<unsigned char>(json[i]);
        if (c < 0x20 || c == 0x7F || c == '"') {
            fail("a JSON string holds a raw control character or quote");
        }
        if (c != '\\') {
            text += json[i];
            continue;
        }
        const char letter = json.at(++i);
        const std::size_t simple = std::string_view("\"\\/bfnrt").find(letter);
        if (simple != std::string_view::npos) {
            text += "\"\\/\b\f\n\r\t"[simple];
        } else if (letter == 'u') {
            const unsigned code =
                static_cast<unsigned>(std::stoul(std::string(json.substr(i + 1, 4)), nullptr, 16));
            i += 4;
            if (code >= 0xDC80 && code <= 0xDCFF) {
                text += static_cast<char>(code & 0xFF); // a byte that is not UTF-8
            } else if (code >= 0xD800 && code <= 0xDFFF) {
                fail("a JSON string holds a surrogate that stands for no byte");
            } else {
                append_utf8(text, code);
            }
        } else {
            fail("a JSON string holds an unknown escape");
        }
    }
    return text;
}

// Whatever the bytes, the JSON string must be one quoted string of valid
// UTF-8 without raw control characters, which gives back every byte.
void check_json_string(const std::string& text, OutputBuffer& out)
{
    out.used = 0;
    write_json_string(out, text.data(), text.size());
    const std::string_view json(out.data, out.used);
    if (json.size() < 2 || json.front() != '"' || json.back() != '"') {
        fail("a JSON string is not quoted");
    }
    const auto* const bytes = reinterpret_cast<const unsigned char*>(json.data());
    for (std::size_t i = 0; i < json.size(); ++i) {
        if (bytes[i] >= 0x80) {
            const std::size_t sequence = utf8_sequence_length(bytes + i, json.size() - i);
            if (sequence == 0 || is_utf8_c1_control(bytes + i, sequence)) {
                fail("a JSON string is not UTF-8, or holds a C1 control");
            }
            i += sequence - 1;
        }
    }
    if (read_json_string(json) != text) {
        fail("a JSON string does not give back the bytes it was made from");
    }
}

// Whatever the bytes, escaped for a terminal they hold no control character
// but TAB, and only UTF-8.
void check_terminal_text(const std::string& text)
{
    std::string shown;
    escape_for_terminal(
        text.data(), text.size(), Tabs::keep,
        [&shown](const char* bytes, std::size_t length) { shown.append(bytes, length); });
    const auto* const bytes = reinterpret_cast<const unsigned char*>(shown.data());
    for (std::size_t i = 0; i < shown.size(); ++i) {
        if ((bytes[i] < 0x20 && bytes[i] != '\t') || bytes[i] == 0x7F) {
            fail("a control character reaches the terminal");
        }
        if (bytes[i] >= 0x80) {
            const std::size_t sequence = utf8_sequence_length(bytes + i, shown.size() - i);
            if (sequence == 0 || is_utf8_c1_control(bytes + i, sequence)) {
                fail("a C1 control or a byte that is not UTF-8 reaches the terminal");
            }
            i += sequence - 1;
        }
    }
}

// Whatever the bytes, as markup they are UTF-8 that XML accepts, with no
// control character, no U+FFFE or U+FFFF, and no < > " or & but in the
// entities that stand for them: no name can break a document or add to it.
void check_markup_text(const std::string& text)
{
    const std::string markup = markup_text(text.data(), text.size());
    const auto* const bytes = reinterpret_cast<const unsigned char*>(markup.data());
    for (std::size_t i = 0; i < markup.size(); ++i) {
        if (bytes[i] < 0x20 || bytes[i] == 0x7F || bytes[i] == '<' || bytes[i] == '>' ||
            bytes[i] == '"') {
            fail("markup holds a control character or a raw < > \"");
        }
        if (bytes[i] == '&') {
            const std::string_view rest = std::string_view(markup).substr(i);
            if (rest.rfind("&amp;", 0) != 0 && rest.rfind("&lt;", 0) != 0 &&
                rest.rfind("&gt;", 0) != 0 && rest.rfind("&quot;", 0) != 0) {
                fail("markup holds an & that starts no entity");
            }
        }
        if (bytes[i] >= 0x80) {
            const std::size_t sequence = utf8_sequence_length(bytes + i, markup.size() - i);
            if (sequence == 0 || (sequence == 3 && bytes[i] == 0xEF && bytes[i + 1] == 0xBF &&
                                  bytes[i + 2] >= 0xBE)) {
                fail("markup holds a byte that is not UTF-8, or U+FFFE or U+FFFF");
            }
            i += sequence - 1;
        }
    }
}

// A line passes the row check only if it is empty, or if its LStat value
// is one by the rule of read_lstat_value, and is no column name; unescaping never lengthens a
// column.
void check_row_and_column(const std::string& text)
{
    std::string line = text;
    if (!line.empty() && line.back() == '\r') {
        line.pop_back(); // as the row check takes it off
    }
    const std::size_t tab = line.rfind('\t');
    const std::size_t lstat = tab == std::string::npos ? 0 : tab + 1;
    const bool numeral_bytes =
        line.empty() ||
        (line.find('\0') == std::string::npos &&
         !is_lstat_column_name(line.data() + lstat, line.size() - lstat) &&
         reference_value(std::string_view(line).substr(lstat)).fault == LstatFault::none);
    std::string copy = text;
    CatalogLine read{};
    read_catalog_line(read, 1, copy.data(), copy.size());
    RowShape shape;
    judge_line(shape, RowRules{}, read);
    if (is_refusal(read.verdict) == numeral_bytes) {
        fail("the row check misjudges the bytes of an LStat value");
    }
    std::string column = text;
    if (unescape_column(column.data(), column.size()) > text.size()) {
        fail("unescaping lengthened a column");
    }
}

// Whatever the decoded values, an ls -l row is one line.
void check_long_row(const std::string& text, OutputBuffer& out)
{
    LstatRow row{};
    read_lstat_value(text.data(), text.data() + text.size(), row);
    out.used = 0;
    write_long_row(out, PassThrough{nullptr, 0, false}, row, ListingStyle{});
    const std::string line(out.data, out.used);
    if (line.empty() || line.find('\n') != line.size() - 1) {
        fail("an ls -l row is not one line");
    }
}

// What the row filter did with the lines of one input.
class FilterLog final : public LineSink {
public:
    void take(CatalogLine& line) override
    {
        if (line.number <= last_number) {
            fail("the row filter hands lines over twice or out of order");
        }
        last_number = line.number;
        handed.at(line.number - 1) = line.verdict == Verdict::header ? 'H' : 'Y';
        if (is_refusal(line.verdict) || line.verdict == Verdict::header || line.length == 0) {
            return;
        }
        if (std::string_view(line.lstat(), line.lstat_length())
                .find_first_not_of(
                    "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/- ") !=
            std::string_view::npos) {
            fail("a printed row's LStat value holds a byte that no numeral holds");
        }
        if (row_columns >= 0 && line.columns != row_columns) {
            fail("printed rows of one input differ in their columns");
        }
        row_columns = line.columns;
        fewest_numerals = std::min(fewest_numerals, line.fields.count);
    }

    std::string handed; // by line number - 1: Y handed over, H as a header, N not
    unsigned long last_number = 0;
    int row_columns = -1; // of the printed rows that are not empty
    int fewest_numerals = lstat_field_count + 1;
};

// The lines of one input through the row filter: each line is handed over
// once and in order, or dropped only as a header at the top; printed rows
// share one shape and hold whole LStat values; no more lines wait than the
// limit.
void check_filter(const std::string& text)
{
    static RowFilter filter;
    FilterLog log;
    filter_start(filter, log, RowRules{});
    std::vector<std::string> lines;
    for (std::size_t start = 0; start <= text.size();) {
        const std::size_t feed = std::min(text.find('\n', start), text.size());
        lines.push_back(text.substr(start, feed - start));
        start = feed + 1;
    }
    log.handed.assign(lines.size(), 'N');
    unsigned long number = 0;
    std::size_t top = lines.size(); // the first line that is not empty
    for (const std::string& line : lines) {
        if (top == lines.size() && !line.empty() && line != "\r") {
            top = number;
        }
        std::string copy = line;
        filter_line(filter, ++number, copy.data(), copy.size());
        if (filter.waiting.size() > waiting_line_limit) {
            fail("more lines wait than the limit");
        }
    }
    filter_finish(filter);
    for (std::size_t i = 0; i < lines.size(); ++i) {
        if (log.handed[i] == 'N') {
            fail("a line is neither printed nor refused");
        }
        if (log.handed[i] == 'Y') {
            continue;
        }
        std::string line = lines[i];
        if (!line.empty() && line.back() == '\r') {
            line.pop_back();
        }
        const std::size_t tab = line.rfind('\t');
        const std::size_t lstat = tab == std::string::npos ? 0 : tab + 1;
        if (i != top || !is_lstat_column_name(line.data() + lstat, line.size() - lstat)) {
            fail("a line other than one naming LStat at the top is taken for a header");
        }
    }
    if (log.fewest_numerals < fewest_in_a_value) {
        fail("a line of fewer numerals than an LStat value printed");
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    // Should the buffer ever flush, it writes to a descriptor that fails
    // safely, not to standard input.
    static const auto out = [] {
        auto buffer = std::make_unique<OutputBuffer>();
        buffer->fd = -1;
        return buffer;
    }();
    if (size > sizeof out->data / 6) {
        return 0; // every byte takes at most six in JSON; keep it in the buffer
    }
    const std::string text(reinterpret_cast<const char*>(data), size);
    check_walker(text);
    check_row_and_column(text);
    check_json_string(text, *out);
    check_long_row(text, *out);
    check_terminal_text(text);
    check_markup_text(text);
    check_filter(text);
    return 0;
}

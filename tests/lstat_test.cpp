#include "catalog_line.h"
#include "client_escapes.h"
#include "field_list.h"
#include "json_text.h"
#include "long_listing.h"
#include "lstat.h"
#include "lstat_values.h"
#include "output_buffer.h"
#include "row_filter.h"
#include "row_formats.h"
#include "row_shape.h"
#include "terminal_text.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace {

struct FieldListCase {
    const char* list;
    std::vector<int> indices; // empty when the list is refused
};

class FieldListTest : public testing::TestWithParam<FieldListCase> {};

TEST_P(FieldListTest, ReadsNamesAndPositions)
{
    const FieldListCase& c = GetParam();
    FieldSelection selection{};
    std::string error;
    const bool accepted = parse_field_list(c.list, selection, error);
    EXPECT_EQ(accepted, !c.indices.empty()) << error;
    if (accepted) {
        EXPECT_EQ(std::vector<int>(selection.indices, selection.indices + selection.count),
                  c.indices);
    } else {
        EXPECT_FALSE(error.empty());
    }
}

INSTANTIATE_TEST_SUITE_P(
    Lists, FieldListTest,
    testing::Values(FieldListCase{"size", {7}}, FieldListCase{"size,mtime,dev", {7, 11, 0}},
                    FieldListCase{"8,1,16", {7, 0, 15}}, FieldListCase{"stream,2", {15, 1}},
                    FieldListCase{"", {}}, FieldListCase{"size,", {}}, FieldListCase{",size", {}},
                    FieldListCase{"Size", {}}, FieldListCase{"0", {}}, FieldListCase{"17", {}},
                    FieldListCase{"99999999999999999999", {}}, FieldListCase{"-1", {}},
                    FieldListCase{"size,8", {}}, FieldListCase{"size mtime", {}},
                    FieldListCase{" size,  mtime ", {7, 11}}, FieldListCase{"size, ", {}}));

std::string json_of(const std::string& text)
{
    const auto out = std::make_unique<OutputBuffer>();
    write_json_string(*out, text.data(), text.size());
    return {out->data, out->used};
}

TEST(JsonString, EscapesAndKeepsEveryByte)
{
    const struct {
        std::string text;
        std::string json;
    } cases[] = {
        {"plain/name.txt", R"("plain/name.txt")"},
        {R"(quote " and backslash \)", R"("quote \" and backslash \\")"},
        {"\b\f\n\r\t", R"("\b\f\n\r\t")"},
        {std::string("\x01\x1f\x7f", 3), R"("\u0001\u001f\u007f")"},
        {"caf\xc3\xa9 \xe2\x82\xac \xf0\x9f\x98\x80",
         "\"caf\xc3\xa9 \xe2\x82\xac \xf0\x9f\x98\x80\""},
        {"c1 \xc2\x9b \xc2\xa0", "\"c1 \\u009b \xc2\xa0\""}, // U+009B is CSI; U+00A0 is not
        // Not UTF-8: each byte as \udcXX, so that Latin-1 and UTF-8 differ.
        {"caf\xe9", R"("caf\udce9")"},
        {"\xc0\xaf", R"("\udcc0\udcaf")"},                     // overlong slash
        {"\xed\xa0\x80", R"("\udced\udca0\udc80")"},           // surrogate
        {"\xe2\x82", R"("\udce2\udc82")"},                     // cut short
        {"\xf4\x90\x80\x80", R"("\udcf4\udc90\udc80\udc80")"}, // above U+10FFFF
    };
    for (const auto& c : cases) {
        EXPECT_EQ(json_of(c.text), c.json) << testing::PrintToString(c.text);
    }
}

TEST(Columns, UnescapeWhatTheClientsEscape)
{
    const struct {
        std::string escaped;
        std::string real;
    } cases[] = {
        {"plain", "plain"},
        {R"(a\\b\nc\rd\te\bf\fg\vh\0i)", std::string("a\\b\nc\rd\te\bf\fg\vh\0i", 17)},
        {R"(\\n)", R"(\n)"},        // an escaped backslash, then a letter
        {R"(\x \N\)", R"(\x \N\)"}, // not escapes: kept as they are
    };
    for (auto c : cases) {
        c.escaped.resize(unescape_column(c.escaped.data(), c.escaped.size()));
        EXPECT_EQ(c.escaped, c.real);
    }
}

// One spelling of a path, whichever client printed it: bytes past the
// first eight are looked at too.
TEST(Columns, EscapeAsCopyDoes)
{
    const struct {
        std::string given;
        std::string copy_form; // "" where the given one is it
    } cases[] = {
        {"/srv/data/plain name", ""},
        {R"(/srv/data/a\rb\\c\td)", ""},
        {"/srv/data/a\rb", R"(/srv/data/a\rb)"},
        {"/srv/\x0b\x0c\x08", R"(/srv/\v\f\b)"},
        {R"(/srv/data/\x)", R"(/srv/data/\\x)"},
        {"/srv/data/\x01\x7f", ""},
    };
    for (const auto& c : cases) {
        std::string copy_form;
        EXPECT_EQ(to_copy_escapes(c.given, copy_form), !c.copy_form.empty()) << c.given;
        if (!c.copy_form.empty()) {
            EXPECT_EQ(copy_form, c.copy_form);
        }
    }
}

// Every byte but TAB, which ends a column, between two digits of an LStat
// value: only the alphabet and the space may stand there, and a minus sign
// only at the start of a numeral.
TEST(RowCheck, LStatValuesHoldOnlyNumeralBytes)
{
    const std::string alphabet =
        "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/ ";
    for (int byte = 1; byte < 256; ++byte) {
        if (byte == '\t') {
            continue;
        }
        std::string line =
            "name\tgB B" + std::string(1, static_cast<char>(byte)) + "B A A A A A A A A A A A";
        RowShape shape;
        CatalogLine read{};
        read_catalog_line(read, 1, line.data(), line.size());
        judge_line(shape, RowRules{}, read);
        EXPECT_EQ(read.verdict == Verdict::row,
                  alphabet.find(static_cast<char>(byte)) != std::string::npos)
            << byte << ": " << verdict_message(read);
    }
}

// The lines of one input, and what becomes of each, in order: P printed,
// R refused, - dropped as a header.
struct ShapeCase {
    const char* title;
    std::vector<std::string> lines;
    std::string outcomes;
};

void PrintTo(const ShapeCase& c, std::ostream* os)
{
    *os << c.title;
}

class RowShapeTest : public testing::TestWithParam<ShapeCase> {};

// Notes what became of each line: P printed, R refused, - dropped as a header.
class Outcomes final : public LineSink {
public:
    explicit Outcomes(std::size_t lines) : seen(lines, '?') {}
    void take(CatalogLine& line) override
    {
        seen.at(line.number - 1) = line.verdict == Verdict::header ? '-'
                                   : is_refusal(line.verdict)      ? 'R'
                                                                   : 'P';
    }
    std::string seen;
};

TEST_P(RowShapeTest, HoldsRowsToTheShapeOfAWholeRow)
{
    const ShapeCase& c = GetParam();
    Outcomes outcomes(c.lines.size());
    RowFilter filter{};
    filter_start(filter, outcomes, RowRules{});
    unsigned long number = 0;
    for (std::string line : c.lines) {
        filter_line(filter, ++number, line.data(), line.size());
    }
    filter_finish(filter);
    EXPECT_EQ(outcomes.seen, c.outcomes);
}

const std::string whole = "\t" + lstat_text(file_attributes);
const std::string piece = "\t" + lstat_text(first_attributes(5));

INSTANTIATE_TEST_SUITE_P(
    Lines, RowShapeTest,
    testing::Values(
        ShapeCase{"header of mysql -B without -N", {"CONCAT(a, b)\tLStat", "a" + whole}, "-P"},
        ShapeCase{"qualified header, then a short row",
                  {"n\tFile.LStat", "a" + whole, "b" + piece},
                  "-PR"},
        ShapeCase{"header of COPY with one column", {"lstat", whole.substr(1)}, "-P"},
        ShapeCase{"header-like line later", {"a" + whole, "n\tlstat", "b" + whole}, "PRP"},
        ShapeCase{
            "row cut by a line feed first", {"/u/odd", "name" + whole, "/u/a" + whole}, "RRP"},
        ShapeCase{"cut by a line feed and widened by a TAB first",
                  {"/u/new", "dir\t2/x" + whole, "/u/a" + whole, "/u/b" + whole},
                  "RRPP"},
        ShapeCase{"blank first line", {"", "a" + whole}, "PP"},
        ShapeCase{"no whole row: nothing is an LStat value", {"n\tgB", "x\ty\tB", "m\tBA"}, "RRR"},
        ShapeCase{"more lines waiting than the limit",
                  [] {
                      std::vector<std::string> lines(waiting_line_limit + 1, "gB");
                      lines.push_back(whole.substr(1));
                      return lines;
                  }(),
                  std::string(waiting_line_limit + 1, 'R') + "P"}));

TEST(TerminalText, EscapesAsLsB)
{
    const struct {
        std::string text;
        std::string shown;
    } cases[] = {
        {"plain caf\xc3\xa9 \\ name", "plain caf\xc3\xa9 \\ name"},
        {"\x01\a\b\t\n\v\f\r\x1b\x1f\x7f", R"(\001\a\b\t\n\v\f\r\033\037\177)"},
        {"x\x1b]0;owned\a", R"(x\033]0;owned\a)"},
        {"c1 \xc2\x9b \x85 latin1 \xe9", R"(c1 \302\233 \205 latin1 \351)"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(quoted_for_terminal(c.text), c.shown) << testing::PrintToString(c.text);
    }
    const auto out = std::make_unique<OutputBuffer>();
    std::string columns = "a\tb\x1b";
    write_columns_for_terminal(*out, columns.data(), columns.size());
    EXPECT_EQ(std::string(out->data, out->used), "a\tb\\033"); // TABs between columns stay
}

TEST(LongListing, ModeStringsAsLsShowsThem)
{
    const struct {
        std::int64_t mode;
        const char* shown;
    } cases[] = {
        {0100644, "-rw-r--r--"}, {0104644, "-rwSr--r--"}, {0102644, "-rw-r-Sr--"},
        {0101644, "-rw-r--r-T"}, {0104755, "-rwsr-xr-x"}, {0102755, "-rwxr-sr-x"},
        {0041777, "drwxrwxrwt"}, {0120777, "lrwxrwxrwx"}, {0020666, "crw-rw-rw-"},
        {0060660, "brw-rw----"}, {0010644, "prw-r--r--"}, {0140755, "srwxr-xr-x"},
        {0000644, "?rw-r--r--"}, {0170644, "?rw-r--r--"}, {0107000, "---S--S--T"},
        {0107777, "-rwsrwsrwt"}, {0100000, "----------"},
    };
    for (const auto& c : cases) {
        char shown[10];
        mode_string(c.mode, shown);
        EXPECT_EQ(std::string(shown, sizeof shown), c.shown) << std::oct << c.mode;
    }
}

TEST(LongListing, DeviceNumbersInBothEncodings)
{
    const struct {
        std::int64_t rdev;
        unsigned major, minor;
    } cases[] = {
        {0x0103, 1, 3},                     // old 16-bit form: /dev/null
        {0x0801, 8, 1},                     // old form: /dev/sda1
        {0x11032c, 259, 300},               // minor past 255
        {0x112345600178, 4097, 0x12345678}, // major past 4095
    };
    for (const auto& c : cases) {
        const DeviceNumbers numbers = device_numbers(c.rdev);
        EXPECT_EQ(numbers.major, c.major) << std::hex << c.rdev;
        EXPECT_EQ(numbers.minor, c.minor) << std::hex << c.rdev;
    }
}

// Lengths of every power of ten and the edges of 64 bits, both signs.
TEST(TsvOutput, WritesEveryNumberInDecimal)
{
    std::vector<std::int64_t> values = {0, INT64_MAX, INT64_MIN, INT64_MIN + 1};
    for (std::int64_t power = 1; power <= INT64_MAX / 10; power *= 10) {
        for (const std::int64_t value : {power - 1, power, power * 10 - 1}) {
            values.push_back(value);
            values.push_back(-value);
        }
    }
    values.resize((values.size() + 15) / 16 * 16); // whole rows
    const auto out = std::make_unique<OutputBuffer>();
    LstatRow row{};
    std::string expected;
    const FieldSelection fields = all_fields();
    for (std::size_t i = 0; i < values.size(); ++i) {
        row.values[i % lstat_field_count] = values[i];
        expected += std::to_string(values[i]) + (i % lstat_field_count == 15 ? "\n" : "\t");
        if (i % lstat_field_count == 15) {
            row.count = lstat_field_count;
            write_tsv_row(*out, PassThrough{nullptr, 0, false}, row, fields);
        }
    }
    EXPECT_EQ(std::string(out->data, out->used), expected);
}

} // namespace

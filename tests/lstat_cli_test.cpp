// Runs the built b64num-lstat on rows made from known attributes and compares
// what it prints, what it reports and its exit status.
#include "base64_encoder.h"
#include "child_process.h"
#include "stat_lstat.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdint>
#include <cstdlib>
#include <ctime>
#include <map>
#include <set>
#include <sstream>
#include <string>
#include <vector>

namespace {

using Values = std::vector<std::int64_t>;

const Values attributes = {2049, 1321729, 0100644,    1,          1000,       1000, 0, 1048576,
                           4096, 2048,    1765432100, 1765400000, 1765400000, 0,    0, 2};
const Values directory = {2049, 1321730, 040755, 3,          0,          0,          0,
                          4096, 4096,    8,      1765432100, 1765432100, 1765432100, 0};

Values with(Values values, std::size_t field, std::int64_t value)
{
    values.at(field) = value;
    return values;
}

std::string lstat(const Values& values)
{
    std::string text;
    for (std::int64_t value : values) {
        text += (text.empty() ? "" : " ") + encode_lstat_numeral(value);
    }
    return text;
}

// The fields at the given 1-based positions, TAB-separated; empty where the
// row has none.
std::string tsv(const Values& values, const std::vector<int>& positions)
{
    std::string text;
    for (std::size_t i = 0; i < positions.size(); ++i) {
        const auto index = static_cast<std::size_t>(positions[i] - 1);
        text += (i > 0 ? "\t" : "") + (index < values.size() ? std::to_string(values[index]) : "");
    }
    return text;
}

std::string all(const Values& values)
{
    return tsv(values, {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16});
}

Outcome run(const std::vector<std::string>& args, const std::string& input = "",
            Stdout destination = Stdout::captured)
{
    std::vector<std::string> argv{"b64num-lstat"};
    argv.insert(argv.end(), args.begin(), args.end());
    return spawn(B64NUM_LSTAT_EXE, argv, input, destination);
}

class TemporaryFile {
public:
    explicit TemporaryFile(const std::string& contents)
    {
        char name[] = "/tmp/b64num-lstat-test-XXXXXX";
        const int fd = mkstemp(name);
        EXPECT_GE(fd, 0);
        EXPECT_EQ(write(fd, contents.data(), contents.size()),
                  static_cast<ssize_t>(contents.size()));
        close(fd);
        path_ = name;
    }
    ~TemporaryFile() { unlink(path_.c_str()); }
    TemporaryFile(const TemporaryFile&) = delete;
    TemporaryFile& operator=(const TemporaryFile&) = delete;
    const std::string& path() const { return path_; }

private:
    std::string path_;
};

std::string repeated(const std::string& text, int times)
{
    std::string lines;
    for (int i = 0; i < times; ++i) {
        lines += text;
    }
    return lines;
}

struct Case {
    const char* title;
    std::vector<std::string> args;
    std::string input;
    std::string out;
    std::string err;
    int status;
};

void PrintTo(const Case& c, std::ostream* os)
{
    *os << c.title;
}

class LstatCommandTest : public testing::TestWithParam<Case> {};

TEST_P(LstatCommandTest, PrintsReportsAndExits)
{
    const Case& c = GetParam();
    const Outcome outcome = run(c.args, c.input);
    EXPECT_EQ(outcome.out, c.out);
    EXPECT_EQ(outcome.err, c.err);
    EXPECT_EQ(outcome.status, c.status);
}

const std::string row = lstat(attributes);
const std::string dir_row = lstat(directory);
const std::string size_and_mtime = tsv(attributes, {8, 12});

INSTANTIATE_TEST_SUITE_P(
    Filter, LstatCommandTest,
    testing::Values(
        Case{"every field by default", {}, row + "\n", all(attributes) + "\n", "", 0},
        Case{"fields by name", {"-f", "size,mtime"}, row + "\n", size_and_mtime + "\n", "", 0},
        Case{"fields by position", {"-f8,12"}, row + "\n", size_and_mtime + "\n", "", 0},
        Case{"long option", {"--fields=size,12"}, row + "\n", size_and_mtime + "\n", "", 0},
        Case{"fields in the order asked",
             {"-f", "mtime,dev"},
             row + "\n",
             tsv(attributes, {12, 1}) + "\n",
             "",
             0},
        Case{"columns passed through",
             {"-f", "size"},
             "/etc/passwd\t42\t" + row + "\n",
             "/etc/passwd\t42\t1048576\n",
             "",
             0},
        Case{"a field the row lacks is empty",
             {"-f", "size,stream"},
             dir_row + "\n",
             "4096\t\n",
             "",
             0},
        Case{"header",
             {"-H", "-f", "size,mtime"},
             "name\t" + row + "\n",
             "column1\tsize\tmtime\nname\t" + size_and_mtime + "\n",
             "",
             0},
        Case{"header without input", {"-H", "-f", "dev"}, "", "dev\n", "", 0},
        Case{"CR and empty lines; spaces out of place, where a numeral may be lost, refused",
             {"-f", "size,mtime"},
             "\r\nw\t  " + row + "  \r\n\n\r\nx\t" + row + "\n",
             "\n\n\nx\t" + size_and_mtime + "\n",
             "b64num-lstat: standard input:2: a space before the first numeral of the LStat value, "
             "after its last or beside another: numerals are parted by one space; a numeral "
             "lost?\n",
             1},
        Case{"last line without a line feed, whole; a single line alike",
             {"-f", "dev"},
             row + "\n" + row,
             "2049\n2049\n",
             "",
             0},
        Case{"a single line without a line feed", {"-f", "dev"}, dir_row, "2049\n", "", 0},
        Case{"a file cut inside its last row, in every mode",
             {"--du"},
             "/d/x\t" + row + "\n/d/y\t" + row.substr(0, row.rfind(" A ")),
             "1048576\t/d\n",
             "b64num-lstat: standard input:2: 14 numerals, but line 1 has 16, and the input ends "
             "in this line, without a line feed: cut short?\n",
             1},
        Case{"numerals decode as in b64num, from -2^63 to 2^63 - 1",
             {"-f", "1,2,3,4"},
             "-IAAAAAAAAAA H////////// -B BAB A A A A A A A A A\n",
             "-9223372036854775808\t9223372036854775807\t-1\t4097\n",
             "",
             0},
        Case{"a numeral past 64 bits is refused, never wrapped, in every mode",
             {"--du"},
             "/d/x\t" + row + "\n/d/y\tgB FCsB IGk B Po Po A BAAAAAAAAAAB BAA gA A A A\n",
             "1048576\t/d\n",
             "b64num-lstat: standard input:2: the size numeral passes 64 bits, which no LStat "
             "value holds (a value past 2^63 - 1 is written negative)\n",
             1},
        Case{"a line of fewer than 13 numerals is no LStat value, whatever comes before it",
             {"-f", "dev"},
             "hello world\n/srv/data/odd/new\n\n",
             "\n",
             "b64num-lstat: standard input:1: 2 numerals, fewer than the 13 of an LStat value; "
             "is there no LStat column, or is LStat not the last column?\n"
             "b64num-lstat: standard input:2: 1 numeral, fewer than the 13 of an LStat value; is "
             "there no LStat column, or is LStat not the last column?\n",
             1},
        Case{"columns swapped: a path of numeral bytes is no LStat value either",
             {"-f", "dev"},
             row + "\t/srv/data/odd/new\n" + row + "\t/srv/my data\n" + row +
                 "\t/srv/caf\xc3\xa9\n",
             "",
             "b64num-lstat: standard input:1: 1 numeral, fewer than the 13 of an LStat value; is "
             "there no LStat column, or is LStat not the last column?\n"
             "b64num-lstat: standard input:2: 2 numerals, fewer than the 13 of an LStat value; is "
             "there no LStat column, or is LStat not the last column?\n"
             "b64num-lstat: standard input:3: the LStat value holds byte 0xC3, which no base-64 "
             "numeral does; is LStat the last column? Query with COPY ... TO STDOUT or mysql -B\n",
             1},
        Case{"a query that forgot the LStat column",
             {"--json"},
             "/srv/a\t1234\n/srv/b\t\n",
             "",
             "b64num-lstat: standard input:1: 1 numeral, fewer than the 13 of an LStat value; is "
             "there no LStat column, or is LStat not the last column?\n"
             "b64num-lstat: standard input:2: 0 numerals, fewer than the 13 of an LStat value; is "
             "there no LStat column, or is LStat not the last column?\n",
             1},
        Case{"--under and --name over rows without a path are a usage error",
             {"--under=/", "-f", "size"},
             row + "\n" + row + "\n",
             "",
             "b64num-lstat: standard input:1: --under and --name select rows by their path, the "
             "first column, but the rows hold no column before the LStat value\n",
             2},
        Case{"json",
             {"--json", "-f", "size,stream"},
             dir_row + "\n",
             "{\"size\":4096,\"stream\":null}\n",
             "",
             0},
        Case{"json escapes columns",
             {"--json", "-f", "dev"},
             std::string("a \"quoted\" \\\\name\x01\x1f\tcol\t") + row + "\n",
             R"({"columns":["a \"quoted\" \\name\u0001\u001f","col"],"dev":2049})"
             "\n",
             "",
             0},
        Case{"json unescapes what the clients escape",
             {"--json", "-f", "dev"},
             R"(\N	odd\nname\t\\\x	)" + row + "\n",
             R"({"columns":[null,"odd\nname\t\\\\x"],"dev":2049})"
             "\n",
             "",
             0},
        Case{"tsv keeps columns escaped",
             {"-f", "dev"},
             R"(\N	odd\nname\t\\\x	)" + row + "\n",
             R"(\N	odd\nname\t\\\x	2049)"
             "\n",
             "",
             0},
        Case{"psql -At: names with a line feed or a TAB are refused, not misread",
             {"-f", "size"},
             "/u/plain\t" + row + "\n/u/odd\nname\t" + row + "\n/u/tab\tname\t" + row + "\n",
             "/u/plain\t1048576\n",
             "b64num-lstat: standard input:2: 1 column, but line 1 has 2; a file name holding a "
             "line feed? Query with COPY ... TO STDOUT or mysql -B\n"
             "b64num-lstat: standard input:3: continues the row cut short on line 2; a file name "
             "holding a line feed? Query with COPY ... TO STDOUT or mysql -B\n"
             "b64num-lstat: standard input:4: 3 columns, but line 1 has 2; a file name holding a "
             "line feed or TAB? Query with COPY ... TO STDOUT or mysql -B\n",
             1},
        Case{"LStat values that cannot be right",
             {"-f", "dev"},
             "a\t" + row + "\nb\t\\N\nc\t" + row + "=\nd\tgB BA\n",
             "a\t2049\n",
             "b64num-lstat: standard input:2: the LStat value is NULL\n"
             "b64num-lstat: standard input:3: the LStat value holds '=', which no base-64 numeral "
             "does; is LStat the last column? Query with COPY ... TO STDOUT or mysql -B\n"
             "b64num-lstat: standard input:4: 2 numerals, but line 1 has 16; a row cut short, or "
             "is LStat not the last column?\n",
             1},
        Case{"sqlite3 -csv output read without --csv",
             {"-f", "size"},
             "/u/a.txt,\"" + row + "\"\n",
             "",
             "b64num-lstat: standard input:1: the LStat value holds '.', which no base-64 numeral "
             "does; the line holds ',' and no TAB: CSV, as sqlite3 -csv and psql --csv write it? "
             "Read it with --csv\n",
             1},
        Case{"psql -A or sqlite3 output, its columns parted by |",
             {"-f", "size"},
             "/u/a.txt|" + row + "\n",
             "",
             "b64num-lstat: standard input:1: the line holds '|', which psql -A and the sqlite3 "
             "shell put between columns: query with COPY ... TO STDOUT or mysql -B, or with "
             "sqlite3 -csv read with --csv\n",
             1},
        Case{"NUL byte",
             {"-f", "dev"},
             row + "\n" + std::string("B\0C\n", 4) + row + "\n",
             "2049\n2049\n",
             "b64num-lstat: standard input:2: line holds a NUL byte; skipped\n",
             1},
        Case{"more numerals than fields",
             {"-f", "stream"},
             row + " B\n",
             "2\n",
             "b64num-lstat: standard input:1: more than 16 numerals; the rest are not shown\n",
             1},
        Case{"header line of mysql -B without -N; -H names the columns after it",
             {"-H", "-f", "size"},
             "CONCAT(Path, Name)\tLStat\n\nname\t" + row + "\n",
             "CONCAT(Path, Name)\tsize\n\nname\t1048576\n",
             "",
             0},
        Case{"a header line whose last column is named otherwise is one, not a row cut short",
             {"-f", "size"},
             "CONCAT(Path, Name)\tattrs\nname\t" + row + "\n",
             "name\t1048576\n",
             "b64num-lstat: standard input:1: a header line, but its last column is named "
             "otherwise than LStat: not read as a row; name the column LStat (... AS LStat) for "
             "the header line to be skipped\n",
             1},
        Case{"json gives nothing for an empty line",
             {"--json", "-f", "dev"},
             "\n" + row + "\n",
             "{\"dev\":2049}\n",
             "",
             0},
        Case{"messages quote input for a terminal",
             {"/nonexistent/\x1b[2J"},
             "",
             "",
             "b64num-lstat: /nonexistent/\\033[2J: No such file or directory\n",
             2},
        Case{"du: a path given twice counts once; a row without a path",
             {"--du"},
             "/d/\t" + dir_row + "\n/d/x\t" + row + "\n/d/x\t" + row + "\n" + row + "\n",
             "1052672\t/d\n",
             // A tree's refusals come once its rows are sorted.
             "b64num-lstat: standard input:4: 1 column, but line 1 has 2, and no line brings the "
             "rest; a row cut short?\n"
             "b64num-lstat: standard input:3: the same path as line 2; rows of several jobs? Only "
             "the first one counts\n",
             1},
        Case{"du: a path that is the text NULL is mysql -B's NULL",
             {"--du"},
             "/d/x\t" + row + "\nNULL\t" + row + "\n",
             "1048576\t/d\n",
             "b64num-lstat: standard input:2: the path is the text NULL, as mysql -B prints a "
             "NULL; query with COPY ... TO STDOUT, or give mysql IFNULL(path, '') for a NULL "
             "that is no path\n",
             1},
        Case{"a byte-order mark before a path or a header is skipped",
             {"--du"},
             "\xEF\xBB\xBFpath\tLStat\n/d/x\t" + row + "\n",
             "1048576\t/d\n",
             "",
             0},
        Case{"a byte-order mark before a path at the top is skipped; below it, a name holds it",
             {"-f", "size"},
             "\xEF\xBB\xBF/d/x\t" + row + "\n\xEF\xBB\xBFx\t" + row + "\n",
             "/d/x\t1048576\n\xEF\xBB\xBFx\t1048576\n",
             "",
             0},
        Case{"du --under a file lists the file alone, as du -b FILE",
             {"--du", "--under=/d/x"},
             "/d/\t" + dir_row + "\n/d/x\t" + row + "\n/d/y\t" + row + "\n",
             "1048576\t/d/x\n",
             "",
             0},
        Case{"du --sorted --under a file alike",
             {"--du", "--sorted", "--under=/d/x"},
             "/d/\t" + dir_row + "\n/d/x\t" + row + "\n/d/y\t" + row + "\n",
             "1048576\t/d/x\n",
             "",
             0},
        Case{"du --sorted --under a file that does not count: nothing to list",
             {"--du", "--sorted", "--under=/d/x", "--size=+2G"},
             "/d/\t" + dir_row + "\n/d/x\t" + row + "\n/d/y\t" + row + "\n",
             "",
             "b64num-lstat: no rows selected: nothing to total\n",
             1},
        Case{"du and ncdu: blank lines are no entries",
             {"--du"},
             "\n/d/\t" + dir_row + "\n\n/d/x\t" + row + "\n\n",
             "1052672\t/d\n",
             "",
             0},
        Case{"du: a directory is one by its mode, with or without its '/'",
             {"--du"},
             "/d/x\t" + row + "\n/d\t" + dir_row + "\n/d/e\t" + dir_row + "\n",
             "4096\t/d/e\n1056768\t/d\n",
             "",
             0},
        Case{"du: a path that ends in '/' must be a directory's; more numerals than fields",
             {"--du"},
             "/d/\t" + dir_row + "\n/d/x/\t" + row + "\n/d/y\t" + row + " B\n",
             "1052672\t/d\n",
             "b64num-lstat: standard input:2: the path ends in '/', but the mode 0100644 is not a "
             "directory's\n"
             "b64num-lstat: standard input:3: more than 16 numerals; the rest are not shown\n",
             1},
        Case{"messages name the first line of the shape",
             {"-f", "size"},
             "a\tgB BA\nb\t" + row + "\nc\t" + row + "\n",
             "b\t1048576\nc\t1048576\n",
             "b64num-lstat: standard input:1: 2 numerals, but line 2 has 16; a row cut short, or "
             "is LStat not the last column?\n",
             1},
        Case{"du --latest: the last row of a path counts",
             {"--du", "--latest"},
             "/d/\t" + dir_row + "\n/d/x\t" + row + "\n/d/x\t" + dir_row + "\n",
             "4096\t/d/x\n8192\t/d\n",
             "",
             0},
        Case{"du --all-versions: every row of a path counts",
             {"--du", "--all-versions"},
             "/d/\t" + dir_row + "\n/d/x\t" + row + "\n/d/x\t" + row + "\n/d/\t" + dir_row + "\n",
             "2105344\t/d\n",
             "",
             0},
        Case{"tree modes refuse a negative size, block count or link count",
             {"--du"},
             "/d/\t" + dir_row + "\n/d/x\t" + lstat(with(attributes, 7, -1)) + "\n/d/y\t" +
                 lstat(with(attributes, 9, -8)) + "\n/d/z\t" + lstat(with(attributes, 3, -2)) +
                 "\n",
             "4096\t/d\n",
             "b64num-lstat: standard input:2: the size is -1, but no file's size, block count or "
             "link count is negative\n"
             "b64num-lstat: standard input:3: the blocks is -8, but no file's size, block count "
             "or link count is negative\n"
             "b64num-lstat: standard input:4: the nlink is -2, but no file's size, block count or "
             "link count is negative\n",
             1},
        Case{"du --latest: a directory replaced by a file takes its subtree with it",
             {"--du", "--latest"},
             "/d/\t" + dir_row + "\n/d/x/\t" + dir_row + "\n/d/x/y\t" + row + "\n/d/x\t" + row +
                 "\n",
             "1052672\t/d\n",
             "",
             0},
        Case{"du --latest: a path below a file makes it a directory again",
             {"--du", "--latest"},
             "/d/\t" + dir_row + "\n/d/x\t" + row + "\n/d/x/y\t" + row + "\n",
             "1048576\t/d/x\n1052672\t/d\n",
             "",
             0},
        Case{"du --all-versions: a path that holds paths is a directory, of all its rows' bytes",
             {"--du", "--all-versions"},
             "/d/\t" + dir_row + "\n/d/x/\t" + dir_row + "\n/d/x/y\t" + row + "\n/d/x\t" + row +
                 "\n",
             "2101248\t/d/x\n2105344\t/d\n",
             "",
             0},
        Case{"du: one job's file cannot hold paths",
             {"--du"},
             "/d/\t" + dir_row + "\n/d/x\t" + row + "\n/d/x/y\t" + row + "\n/d/z/w\t" + row +
                 "\n/d/z\t" + row + "\n",
             "1048576\t/d/z\n2101248\t/d\n",
             "b64num-lstat: standard input:3: below the file of line 2; rows of several jobs? "
             "Only the first one counts\n"
             "b64num-lstat: standard input:5: a file, where line 4 has a path below it; rows of "
             "several jobs? Only the first one counts\n",
             1},
        Case{"qdirstat: a file that a path below it, given first, refuses is no entry",
             {"--qdirstat"},
             "/d/x/y\t" + row + "\n/d/x\t" + row + "\n",
             "[qdirstat 1.0 cache file]\n# Generated by b64num-lstat " B64NUM_VERSION
             " from a backup catalog's rows\n#\n# Type  path            size    mtime           "
             "<optional fields>\n\nD /d/x\t0\t0x0\nF /d/x/y\t1048576\t0x6939ddc0\n",
             "b64num-lstat: standard input:2: a file, where line 1 has a path below it; rows of "
             "several jobs? Only the first one counts\n",
             1},
        Case{"du: a hard-linked file counts where its path comes first by its real bytes",
             {"--du"},
             "/d/\t" + dir_row + "\n/d/a b/\t" + dir_row + "\n/d/a\\tb/\t" + dir_row +
                 "\n/d/a b/f\t" + lstat(with(attributes, 3, 2)) + "\n/d/a\\tb/f\t" +
                 lstat(with(attributes, 3, 2)) + "\n",
             // In path order, by their real bytes: a TAB before a blank.
             "1052672\t/d/a\\tb\n4096\t/d/a b\n1060864\t/d\n",
             "",
             0},
        Case{"version", {"--version"}, row, "b64num-lstat " B64NUM_VERSION "\n", "", 0}));

// CSV as sqlite3 -csv and psql --csv write it: quoted fields that hold
// what would break a TAB-separated row, NULL and the empty string.
const std::string csv_rows = "path,LStat\r\n\"a,b\"\"c\nd\\e\tf\",R\r\n,R\r\n\"\",R\r\n";

std::string with_row(std::string text)
{
    for (std::size_t at = text.find(",R"); at != std::string::npos; at = text.find(",R", at)) {
        text.replace(at + 1, 1, row);
    }
    return text;
}

INSTANTIATE_TEST_SUITE_P(
    Csv, LstatCommandTest,
    testing::Values(
        Case{"fields escaped as COPY escapes them, NULL as \\N",
             {"--csv", "-f", "size"},
             with_row(csv_rows),
             "a,b\"c\\nd\\\\e\\tf\t1048576\n\\N\t1048576\n\t1048576\n",
             "",
             0},
        Case{"JSON with the real bytes, and null",
             {"--csv", "--json", "-f", "size"},
             with_row(csv_rows),
             "{\"columns\":[\"a,b\\\"c\\nd\\\\e\\tf\"],\"size\":1048576}\n"
             "{\"columns\":[null],\"size\":1048576}\n{\"columns\":[\"\"],\"size\":1048576}\n",
             "",
             0},
        Case{"a quote that never closes takes the rest of the input, loudly",
             {"--csv", "-f", "size"},
             with_row("\"/a\",R\n\"/b,R\n/c,R\n"),
             "/a\t1048576\n",
             "b64num-lstat: standard input:2: a quoted field opens in this record and never "
             "closes: the lines from here to the end of the input are not read as rows; output "
             "cut short?\n",
             1},
        Case{"a quote out of place",
             {"--csv", "-f", "size"},
             with_row("/a\"b,R\n\"/c\"d,R\n/e,R"),
             "/e\t1048576\n",
             "b64num-lstat: standard input:1: a '\"' inside a field without quotes, or after the "
             "quote that closes one: not CSV as sqlite3 -csv and psql --csv write it\n"
             "b64num-lstat: standard input:2: a '\"' inside a field without quotes, or after the "
             "quote that closes one: not CSV as sqlite3 -csv and psql --csv write it\n",
             1},
        Case{"a last field without quotes or bytes is NULL, and \"\" is the empty string",
             {"--csv", "-f", "size"},
             with_row("/r,R\n/a,\n/b,\"\"\n"),
             "/r\t1048576\n",
             "b64num-lstat: standard input:2: the LStat value is NULL\n"
             "b64num-lstat: standard input:3: 0 numerals, but line 1 has 16; a row cut short, or "
             "is LStat not the last column?\n",
             1},
        Case{"a byte-order mark before the first record",
             {"--csv", "-f", "size"},
             with_row("\xEF\xBB\xBF\"/a\",R\n"),
             "/a\t1048576\n",
             "",
             0},
        Case{"a file cut inside its last record",
             {"--csv", "-f", "size"},
             with_row("/a,R\n\"/b\",") + row.substr(0, row.rfind(" A ")),
             "/a\t1048576\n",
             "b64num-lstat: standard input:2: 14 numerals, but line 1 has 16, and the input ends "
             "in this line, without a line feed: cut short?\n",
             1},
        Case{"a tree of names with line feeds and commas",
             {"--csv", "--du"},
             "/d/," + dir_row + "\n\"/d/x\n,y\"," + row + "\n",
             "1052672\t/d\n",
             "",
             0}));

TEST(LstatCommand, CsvRecordsToTheEndOfEachQuote)
{
    // Past the longest line, a record is passed over, its quotes followed.
    const std::string quoted = "\"" + std::string(2 << 20, ',') + "\n\"";
    const Outcome outcome =
        run({"--csv", "-f", "size"}, quoted + "," + row + "\nx," + row + "\n" + quoted);
    EXPECT_EQ(outcome.out, "x\t1048576\n");
    EXPECT_EQ(outcome.err, "b64num-lstat: standard input:1: a line of " +
                               std::to_string((2 << 20) + 3 + row.size()) +
                               " bytes, longer than any catalog row (at most 1048576); skipped\n"
                               "b64num-lstat: standard input:4: a line of " +
                               std::to_string((2 << 20) + 2) +
                               " bytes, longer than any catalog row (at most 1048576); skipped\n");
    EXPECT_EQ(outcome.status, 1);
    // Plain records, quoted ones and empty fields, across many reads: each
    // record is the row that COPY would print.
    std::string csv;
    std::string copy;
    for (int i = 0; i < 3000; ++i) {
        const std::string n = std::to_string(i);
        for (const std::string& piece : {"/d/f" + n + ",", row, "\n\"/d/q," + n + "\",", row,
                                         "\n/d/e" + n + ",,", row, std::string("\r\n")}) {
            csv += piece;
        }
        for (const std::string& piece : {"/d/f" + n + "\t", row, "\n/d/q," + n + "\t", row,
                                         "\n/d/e" + n + "\t\\N\t", row, std::string("\n")}) {
            copy += piece;
        }
    }
    EXPECT_EQ(run({"--csv", "-f", "size"}, csv).out, run({"-f", "size"}, copy).out);
    // --diff reads two CSV inputs, a name by its real bytes.
    const TemporaryFile old_rows("\"/d/a\nb\"," + row + "\n");
    const Outcome diff = run({"--csv", "--diff", old_rows.path(), "-"},
                             "\"/d/a\nb\"," + lstat(with(attributes, 7, 5)) + "\n");
    EXPECT_EQ(diff.out, "M\t-1048571\t/d/a\\nb\n");
    EXPECT_EQ(diff.status, 1);
}

// Nine files of 2^60 - 1 bytes, and the ways their total reaches a report.
TEST(LstatCommand, TotalsPastTheLargestNumberAreRefusedNotWrapped)
{
    const std::string huge = lstat(with(attributes, 7, (std::int64_t{1} << 60) - 1));
    std::string rows = "/d/\t" + dir_row + "\n";
    for (int i = 0; i < 9; ++i) {
        rows += "/d/f" + std::to_string(i) + "\t" + huge + "\n";
    }
    const TemporaryFile old_rows("/d/\t" + dir_row + "\n");
    const std::string refused = "b64num-lstat: total passes 2^63 - 1 bytes\n";
    const struct {
        std::vector<std::string> args;
        std::string input;
    } cases[] = {
        {{"--du"}, rows},
        {{"--du", "-h"}, rows},
        {{"--ncdu"}, rows},
        {{"--treemap"}, rows},
        {{"--du", "--all-versions"}, repeated("/d/f\t" + huge + "\n", 9)},
        {{"--diff", "--summary", old_rows.path(), "-"}, rows},
        {{"--ncdu"}, "/d/f\t" + lstat(with(attributes, 9, (std::int64_t{1} << 60) - 1)) + "\n"},
        {{"--qdirstat"}, rows},
        {{"--qdirstat"}, "/d/f\t" + lstat(with(attributes, 9, (std::int64_t{1} << 60) - 1)) + "\n"},
    };
    for (const auto& c : cases) {
        const Outcome outcome = run(c.args, c.input);
        EXPECT_EQ(outcome.out, "") << testing::PrintToString(c.args);
        EXPECT_EQ(outcome.err, refused) << testing::PrintToString(c.args);
        // --diff tells trouble apart from a difference, as diff does.
        EXPECT_EQ(outcome.status, c.args[0] == "--diff" ? 2 : 1) << testing::PrintToString(c.args);
    }
    // --sorted --du lists each directory as it closes: what it listed stays,
    // and the message says that the listing stops there.
    std::string apart;
    for (const char* parent : {"/a/", "/b/", "/c/"}) {
        apart += parent + ("f\t" + lstat(with(attributes, 7, std::int64_t{1} << 62))) + "\n";
    }
    const Outcome sorted = run({"--sorted", "--du"}, apart);
    EXPECT_EQ(sorted.out, "4611686018427387904\t/a\n4611686018427387904\t/b\n");
    EXPECT_EQ(sorted.err, "b64num-lstat: total passes 2^63 - 1 bytes; the listing stops here\n");
    EXPECT_EQ(sorted.status, 1);
    EXPECT_EQ(run({"--du"}, apart).out, "");
}

// Over several jobs a path may be a file in one and a directory in
// another: ncdu must never see two entries of one name.
// Rows in path order give the numbers of the same rows without --sorted,
// files that later rows put paths below included; a row out of order stops.
TEST(LstatCommand, SortedRowsCountAsUnsorted)
{
    const auto lines = [](std::string text) {
        std::vector<std::string> sorted;
        for (std::size_t end; (end = text.find('\n')) != std::string::npos;
             text.erase(0, end + 1)) {
            sorted.push_back(text.substr(0, end));
        }
        std::sort(sorted.begin(), sorted.end());
        return sorted;
    };
    const std::string file = "\t" + row + "\n";
    const std::string linked = "\t" + lstat(with(attributes, 3, 2)) + "\n";
    const std::string inputs[] = {
        "/d/\t" + dir_row + "\n/d/a" + file + "/d/b/\t" + dir_row + "\n/d/b/c" + file + "/e" + file,
        "/d/\t" + dir_row + "\n/d/x" + file + "/d/x.d" + file + "/d/x/y" + file + "/d/z" + file,
        "/d/\t" + dir_row + "\n/d/x" + file + "/d/x/\t" + dir_row + "\n/d/x/y" + file,
        "/d/\t" + dir_row + "\n/d/x" + file + "/d/x" + file + "/d/y/\t" + dir_row + "\n",
        "/d/a\\tb/f" + linked + "/d/a b/f" + linked + "/d/c" + linked,
    };
    for (const std::string& input : inputs) {
        for (const char* versions : {"--du=1", "--latest", "--all-versions"}) {
            for (const char* mode : {"--du", "--by=type"}) {
                const Outcome unsorted = run({mode, versions}, input);
                const Outcome sorted = run({mode, versions, "--sorted"}, input);
                // A file with paths below it: which is later, path order
                // cannot tell.
                if (std::string(versions) == "--latest" &&
                    (input == inputs[1] || input == inputs[2])) {
                    EXPECT_NE(sorted.err.find("rows in path order cannot tell"), std::string::npos);
                    EXPECT_EQ(sorted.status, 1);
                    continue;
                }
                EXPECT_EQ(lines(sorted.out), lines(unsorted.out)) << input << mode << versions;
                EXPECT_EQ(sorted.err, unsorted.err) << input << mode << versions;
                EXPECT_EQ(sorted.status, unsorted.status) << input << mode << versions;
            }
        }
    }
    const Outcome stopped =
        run({"--du", "--sorted"}, "/d/b" + file + "/d/a" + file + "/d/c" + file);
    EXPECT_EQ(stopped.out, "");
    EXPECT_EQ(stopped.err, "b64num-lstat: standard input:2: '/d/a' after '/d/b' of line 1: not in "
                           "path order, which --sorted needs (ORDER BY the path COLLATE \"C\" in "
                           "PostgreSQL, in a binary collation in MariaDB and MySQL with "
                           "max_sort_length past the longest path, as SQLite sorts by default); "
                           "stopped here\n");
    EXPECT_EQ(stopped.status, 1);
    // A hard-linked file whose first link a later row replaces has its
    // bytes in a link gone by, which counts them.
    const std::string replaced = "/d/x" + linked + "/d/x.b" + linked + "/d/x/\t" + dir_row + "\n";
    for (const char* mode : {"--du", "--by=type"}) {
        const Outcome lost = run({mode, "--latest"}, replaced);
        EXPECT_EQ(lines(lost.out),
                  lines(std::string(mode) == "--du" ? "4096\t/d/x\n1052672\t/d\n"
                                                    : "d\t1\t4096\nf\t1\t1048576\n"));
        EXPECT_EQ(lost.status, 0) << lost.err;
    }
    // --ncdu and --qdirstat write from the job's own top, the root above
    // several tops included, as without --sorted.
    const std::string two_tops = "/d/x" + file + "e/y" + file;
    for (const char* mode : {"--ncdu", "--qdirstat"}) {
        for (const std::string& rows : {two_tops, inputs[0], inputs[2]}) {
            const auto without_stamp = [](std::string text) {
                const std::size_t at = text.find("\"timestamp\":");
                return at == std::string::npos ? text : text.erase(at, text.find('}', at) - at);
            };
            const Outcome unsorted = run({mode}, rows);
            const Outcome sorted = run({mode, "--sorted"}, rows);
            EXPECT_EQ(without_stamp(sorted.out), without_stamp(unsorted.out)) << mode << rows;
            EXPECT_EQ(sorted.status, unsorted.status) << mode << rows;
        }
    }
    // A directory's row without its '/' comes where the catalog sorts it,
    // before "x b"; the tree and the comparison take it at its place.
    const std::string slashless = "/d/\t" + dir_row + "\n/d/x\t" + dir_row + "\n/d/x b" + file +
                                  "/d/x/y" + file + "/d/y" + file;
    for (const char* mode : {"--du", "--ncdu", "--qdirstat", "--treemap", "--by=type"}) {
        const auto without_stamp = [](std::string text) {
            const std::size_t at = text.find("\"timestamp\":");
            return at == std::string::npos ? text : text.erase(at, text.find('}', at) - at);
        };
        const Outcome unsorted = run({mode}, slashless);
        const Outcome sorted = run({mode, "--sorted"}, slashless);
        EXPECT_EQ(without_stamp(sorted.out), without_stamp(unsorted.out)) << mode;
        EXPECT_EQ(sorted.err, "") << mode;
        EXPECT_EQ(sorted.status, 0) << mode;
    }
    const TemporaryFile slashless_old(slashless);
    const std::string slashless_new = "/d/\t" + dir_row + "\n/d/x\t" + dir_row + "\n/d/x b" + file +
                                      "/d/x/z" + file + "/d/y" + file;
    EXPECT_EQ(run({"--diff", "--sorted", slashless_old.path(), "-"}, slashless_new).out,
              run({"--diff", slashless_old.path(), "-"}, slashless_new).out);
    // --diff merges two inputs in path order to the same changes, where no
    // path changes between file and directory.
    for (const std::size_t i : {std::size_t{0}, std::size_t{3}}) {
        const TemporaryFile old_input(inputs[i]);
        for (const char* report : {"--compare=size", "--summary"}) {
            const Outcome unsorted = run({"--diff", report, old_input.path(), "-"}, inputs[i + 1]);
            const Outcome merged =
                run({"--diff", "--sorted", report, old_input.path(), "-"}, inputs[i + 1]);
            EXPECT_EQ(merged.status, unsorted.status) << i << report;
            // OLD gives a path twice: what was merged before it stays written.
            if (i == 3 && std::string(report) != "--summary") {
                EXPECT_EQ(unsorted.out, "");
                EXPECT_NE(merged.err.find("the report stops here"), std::string::npos);
                continue;
            }
            EXPECT_EQ(lines(merged.out), lines(unsorted.out)) << i << report;
        }
    }
    // Rows that wait until the input's shape is known arrive together, before
    // NEW's first: none is lost.
    const std::string junk = "x\ty\n";
    const TemporaryFile waiting(junk + "/d/a" + file + junk + "/d/b" + file + junk + "/d/c" + file);
    const Outcome together = run({"--diff", "--sorted", waiting.path(), "-"},
                                 "/d/a" + file + "/d/b" + file + "/d/c" + file);
    EXPECT_EQ(together.out, "");
    EXPECT_EQ(together.status, 2);
    // Where one does, its two rows lie apart in path order, and are one path
    // that changed its type, at the place of NEW's row, with or without
    // --sorted.
    const TemporaryFile file_x("/d/x" + file + "/d/x b" + file);
    const std::string directory_x = "/d/x b" + file + "/d/x/\t" + dir_row + "\n";
    for (const char* order : {"--sorted", "--latest"}) {
        EXPECT_EQ(run({"--diff", order, file_x.path(), "-"}, directory_x).out,
                  "T\t-1044480\t/d/x/\n");
        EXPECT_EQ(run({"--diff", order, "-", file_x.path()}, directory_x).out,
                  "T\t1044480\t/d/x\n");
    }
    const TemporaryFile empty("");
    const Outcome nothing = run({"--diff", "--sorted", empty.path(), "-"}, inputs[0]);
    EXPECT_EQ(nothing.out, "");
    EXPECT_EQ(nothing.err, "b64num-lstat: OLD holds no rows: nothing compared\n");
    EXPECT_EQ(nothing.status, 2);
    // --diff holds each input to its own order.
    const TemporaryFile old_rows("/d/a" + file + "/d/b" + file);
    const Outcome diff =
        run({"--diff", "--sorted", old_rows.path(), "-"}, "/d/b" + file + "/d/a" + file);
    EXPECT_EQ(diff.out, "");
    EXPECT_EQ(diff.err.substr(0, 60),
              "b64num-lstat: standard input:2: '/d/a' after '/d/b' of line ");
    EXPECT_EQ(diff.status, 2);
}

TEST(LstatCommand, NcduWritesAPathOnce)
{
    const std::string file_after_directory =
        "/d/\t" + dir_row + "\n/d/x/\t" + dir_row + "\n/d/x/y\t" + row + "\n/d/x\t" + row + "\n";
    const std::string directory_after_file =
        "/d/\t" + dir_row + "\n/d/x\t" + row + "\n/d/x/y\t" + row + "\n";
    for (const char* versions : {"--latest", "--all-versions"}) {
        for (const std::string& rows : {file_after_directory, directory_after_file}) {
            const Outcome outcome = run({"--ncdu", versions}, rows);
            std::size_t names = 0;
            for (std::size_t at = outcome.out.find("\"name\":\"x\""); at != std::string::npos;
                 at = outcome.out.find("\"name\":\"x\"", at + 1)) {
                ++names;
            }
            EXPECT_EQ(names, 1U) << versions << " " << outcome.out;
            EXPECT_EQ(outcome.status, 0);
        }
    }
}

// Ten refused lines of an input are reported in full, the rest counted, so
// that millions of bad rows do not flood standard error; each message
// comes after the rows read before it, however the streams are buffered.
TEST(LstatCommand, ReportsTenRefusedLinesAnInputThenCountsTheRest)
{
    const std::string stray = "b64num-lstat: standard input:";
    const std::string why = ": the LStat value holds '=', which no base-64 numeral does; is LStat "
                            "the last column? Query with COPY ... TO STDOUT or mysql -B\n";
    const Outcome outcome =
        run({"-f", "dev"}, "a\t" + row + "\n" + repeated("b\t" + row + "=\n", 11) +
                               repeated("c\t\\N\n", 2) + "d\t" + row + "\n");
    std::string reported;
    for (int line = 2; line <= 11; ++line) {
        reported.append(stray).append(std::to_string(line)).append(why);
    }
    EXPECT_EQ(outcome.out, "a\t2049\nd\t2049\n");
    EXPECT_EQ(outcome.err, reported + "b64num-lstat: standard input: 3 more lines refused (2 of "
                                      "them: a NULL LStat value)\n");
    EXPECT_EQ(outcome.status, 1);

    const Outcome in_order =
        run({"-f", "dev"}, "a\t" + row + "\nb\t\\N\nc\t" + row + "\n", Stdout::with_stderr);
    EXPECT_EQ(in_order.out,
              "a\t2049\nb64num-lstat: standard input:2: the LStat value is NULL\nc\t2049\n");
}

TEST(LstatCommand, HelpGoesToStandardOutput)
{
    const Outcome outcome = run({"--help"}, row + "\n");
    EXPECT_EQ(outcome.out.rfind("Usage: b64num-lstat [-f FIELDS] [-H] [--json]", 0), 0U);
    EXPECT_EQ(outcome.err, "");
    EXPECT_EQ(outcome.status, 0);
}

// Misuse is refused before anything is read or printed, with the known
// fields after a bad field and the usage lines after anything else.
TEST(LstatCommand, UnknownFieldsAndOptionsAreRefused)
{
    const char* const fields = "\nknown fields: dev ino mode nlink uid gid rdev size blksize "
                               "blocks atime mtime ctime linkfi flags stream";
    const char* const usage =
        "\nUsage: b64num-lstat [-f FIELDS] [-H] [--json] [--time-style=STYLE] [FILE...]\n";
    // A mode that does not take an option: which mode, and which option.
    const auto refuses = [](const std::string& mode, const std::string& option) {
        const std::string does = mode == "-l"       ? "lists whole rows"
                                 : mode == "--diff" ? "compares two inputs"
                                 : mode == "--by"   ? "totals the rows by class"
                                                    : "reports a whole tree";
        return "b64num-lstat: " + mode + " " + does + ": it cannot be combined with " + option;
    };
    const struct {
        std::vector<std::string> args;
        std::string first_line;
        const char* hint;
    } cases[] = {
        {{"-f", "sise"}, "b64num-lstat: unknown field 'sise'", fields},
        {{"-f", "size,size"}, "b64num-lstat: field 'size' is asked for twice", fields},
        {{"-f", "size, 8"}, "b64num-lstat: field '8' (size) is asked for twice", fields},
        {{"-f"}, "b64num-lstat: option '-f' needs a list of fields", fields},
        {{"-f", "size", "-f", "mode"},
         "b64num-lstat: -f takes one list: give every field in it, as in -f size,mtime",
         fields},
        {{"--diff", "--compare=size", "--compare=mode", "a", "b"},
         "b64num-lstat: --compare takes one list: give every field in it, as in --compare "
         "size,mtime",
         fields},
        {{"-x"}, "b64num-lstat: unknown option '-x'", usage},
        {{"--jsn"}, "b64num-lstat: unknown option '--jsn'", usage},
        {{"-l", "-f", "size"}, refuses("-l", "-f"), usage},
        {{"--json", "--long"}, refuses("-l", "--json"), usage},
        {{"-lH"}, refuses("-l", "-H"), usage},
        {{"--json", "-H"},
         "b64num-lstat: --json names every value: it cannot be combined with -H",
         usage},
        {{"--diff", "-"}, "b64num-lstat: --diff compares two inputs: OLD and NEW", usage},
        {{"--diff", "-", "-"},
         "b64num-lstat: --diff reads standard input once: OLD and NEW cannot both be -",
         usage},
        {{"--diff", "--compare=sise", "a", "b"}, "b64num-lstat: unknown field 'sise'", fields},
        {{"--diff", "-l", "a", "b"}, refuses("--diff", "-l"), usage},
        {{"--diff", "-f", "size", "-H", "a", "b"}, refuses("--diff", "-f or -H"), usage},
        {{"--diff", "--ncdu", "a", "b"}, refuses("--diff", "--ncdu"), usage},
        {{"--du", "--json", "-h"},
         "b64num-lstat: --json writes numbers: it cannot be combined with -h",
         usage},
        {{"--compare=size"},
         "b64num-lstat: --compare tells --diff what to compare: it needs --diff",
         usage},
        {{"--treemap", "--ncdu"}, refuses("--treemap", "--ncdu"), usage},
        {{"--treemap", "-H"}, refuses("--treemap", "-H"), usage},
        {{"--treemap=319x200"},
         "b64num-lstat: invalid size '319x200': WIDTHxHEIGHT in pixels, 320x200 to 16384x16384",
         usage},
        {{"--treemap=800"},
         "b64num-lstat: invalid size '800': WIDTHxHEIGHT in pixels, 320x200 to 16384x16384",
         usage},
        {{"--treemap", "--diff", "a", "b"}, refuses("--treemap", "--diff"), usage},
        {{"--du", "--latest", "--all-versions"},
         "b64num-lstat: --latest and --all-versions cannot be combined",
         usage},
        {{"--all-versions"},
         "b64num-lstat: --all-versions counts every row of a path in a tree: it needs --du, "
         "--ncdu, --qdirstat, --treemap or --by",
         usage},
        {{"--diff", "--all-versions", "a", "b"}, refuses("--diff", "--all-versions"), usage},
        {{"--du", "-f", "size"}, refuses("--du", "-f"), usage},
        {{"--ncdu", "--du=2"}, refuses("--ncdu", "--du"), usage},
        {{"--qdirstat", "--json"}, refuses("--qdirstat", "--json"), usage},
        {{"--du=-1"}, "b64num-lstat: invalid depth '-1': a number of levels, 0 or more", usage},
        {{"--by=uid,sise"},
         "b64num-lstat: unknown key 'sise' for --by: type, uid, gid, kind, year, month or size",
         usage},
        {{"--by=uid,uid"}, "b64num-lstat: key 'uid' is given twice", usage},
        {{"--by=uid", "--by=kind"},
         "b64num-lstat: --by takes one list: give every key in it, as in --by uid,kind",
         usage},
        {{"--by=uid", "--du"}, refuses("--by", "--du"), usage},
        {{"-h"},
         "b64num-lstat: -h shows sizes as ls -lh and du -h do: it needs -l, --du, --diff or --by",
         usage},
        {{"--ncdu", "-h"}, refuses("--ncdu", "-h"), usage},
        {{"--du", "--time-style=iso"}, refuses("--du", "--time-style"), usage},
        {{"--time-style=iso", "--sorted"},
         "b64num-lstat: --sorted promises rows in path order to the modes that read a tree: it "
         "needs --du, --ncdu, --qdirstat, --treemap, --diff or --by",
         usage},
        {{"--diff", "--compare=type", "a", "b"},
         "b64num-lstat: --compare takes the fields of an LStat value: 'type' is read from mode",
         fields},
        {{"-l", "--time-style=locale"},
         "b64num-lstat: invalid time style 'locale': long-iso, full-iso, iso or +FORMAT",
         usage},
        {{"-l", "--time-style"}, "b64num-lstat: option '--time-style' needs an argument", usage},
    };
    for (const auto& c : cases) {
        const Outcome outcome = run(c.args, row + "\n");
        EXPECT_EQ(outcome.out, "");
        EXPECT_EQ(outcome.err.rfind(c.first_line + c.hint, 0), 0U) << outcome.err;
        EXPECT_EQ(outcome.status, 2);
    }
}

TEST(LstatCommand, LongListingInUtc)
{
    ASSERT_EQ(setenv("TZ", "UTC", 1), 0);
    const Outcome files = run({"-l"}, "/etc/passwd\t" + row + "\n/etc\t" + dir_row + "\n");
    EXPECT_EQ(files.out, "-rw-r--r--  1 1000 1000    1048576 2025-12-10 20:53 /etc/passwd\n"
                         "drwxr-xr-x  3    0    0       4096 2025-12-11 05:48 /etc\n");
    EXPECT_EQ(files.status, 0);
    // A device, a wide row, no name.
    const Outcome device =
        run({"--long"},
            lstat({2049, 7, 020620, 123, 100000, 6, 0x0801, 0, 4096, 0, 0, -1, 0, 0}) + "\n");
    EXPECT_EQ(device.out, "crw--w---- 123 100000    6     8,   1 1969-12-31 23:59\n");
    EXPECT_EQ(device.status, 0);
    // Control characters that the client left raw never reach the terminal.
    const Outcome hostile = run({"-l"}, "x\x1b]0;owned\a\x7f\r\t" + row + "\n");
    EXPECT_EQ(hostile.out,
              "-rw-r--r--  1 1000 1000    1048576 2025-12-10 20:53 x\\033]0;owned\\a\\177\\r\n");
    // Each time style of ls; the row is older than six months.
    const std::time_t hour_ago = std::time(nullptr) - 3600;
    char recent[16];
    (void)std::strftime(recent, sizeof recent, "%m-%d %H:%M", std::gmtime(&hour_ago));
    const struct {
        std::string style;
        std::string line;
    } styles[] = {
        {"long-iso", "-rw-r--r--  1 1000 1000    1048576 2025-12-10 20:53 n\n"},
        {"full-iso", "-rw-r--r--  1 1000 1000    1048576 2025-12-10 20:53:20.000000000 +0000 n\n"},
        {"iso", "-rw-r--r--  1 1000 1000    1048576 2025-12-10  n\n"},
        {"+%s.%N %%N", "-rw-r--r--  1 1000 1000    1048576 1765400000.000000000 %N n\n"},
        {"+old %Y\nnew %H", "-rw-r--r--  1 1000 1000    1048576 old 2025 n\n"},
    };
    for (const auto& c : styles) {
        EXPECT_EQ(run({"-l", "--time-style=" + c.style}, "n\t" + row + "\n").out, c.line)
            << c.style;
    }
    Values now = attributes;
    now[11] = hour_ago; // mtime
    EXPECT_EQ(run({"-l", "--time-style=iso"}, "n\t" + lstat(now) + "\n").out,
              "-rw-r--r--  1 1000 1000    1048576 " + std::string(recent) + " n\n");
}

// Rows selected as find selects files: each test, and several ANDed, on
// rows of every kind; a name by its real bytes, a place by whole components.
TEST(LstatCommand, SelectsRowsAsFindDoes)
{
    ASSERT_EQ(setenv("TZ", "UTC", 1), 0);
    Values old_link = with(with(attributes, 2, 0120777), 11, 1600000000);
    const std::string rows = "/srv/data/a.txt\t" + row + "\n/srv/data/\t" + dir_row +
                             "\n/srv/database/tab\\tb.TXT\t" + lstat(with(attributes, 7, 100)) +
                             "\n/srv/data/link\t" + lstat(old_link) + "\n/srv/data/root\t" +
                             lstat(with(with(attributes, 4, 0), 5, 0)) + "\n\n";
    const struct {
        std::vector<std::string> args;
        std::string out;
    } cases[] = {
        {{"--type=f"}, "/srv/data/a.txt\n/srv/database/tab\\tb.TXT\n/srv/data/root\n"},
        {{"--type=dl"}, "/srv/data/\n/srv/data/link\n"},
        {{"--size=+1K"}, "/srv/data/a.txt\n/srv/data/\n/srv/data/link\n/srv/data/root\n"},
        {{"--size=-4K"}, "/srv/database/tab\\tb.TXT\n"},
        {{"--size=1M", "--type=f", "--uid=0"}, "/srv/data/root\n"},
        {{"--uid=1000,5", "--gid=1000"},
         "/srv/data/a.txt\n/srv/database/tab\\tb.TXT\n/srv/data/link\n"},
        {{"--newer=2025-12-11"}, "/srv/data/\n"},
        {{"--newer=2025-12-10 20:53:19"},
         "/srv/data/a.txt\n/srv/data/\n/srv/database/tab\\tb.TXT\n/srv/data/root\n"},
        {{"--older=@1765400000"},
         "/srv/data/a.txt\n/srv/database/tab\\tb.TXT\n/srv/data/link\n/srv/data/root\n"},
        {{"--newer=@1765400000"}, "/srv/data/\n"},
        {{"--older=2025-12-10 20:54", "--newer=2020-09-13 12:26:39"},
         "/srv/data/a.txt\n/srv/database/tab\\tb.TXT\n/srv/data/link\n/srv/data/root\n"},
        {{"--name=*.txt"}, "/srv/data/a.txt\n"},
        {{"--name=tab\t?.*"}, "/srv/database/tab\\tb.TXT\n"},
        {{"--name=data"}, "/srv/data/\n"},
        {{"--under=/srv/data"}, "/srv/data/a.txt\n/srv/data/\n/srv/data/link\n/srv/data/root\n"},
        {{"--under=/srv/database/", "--type=f"}, "/srv/database/tab\\tb.TXT\n"},
        {{"--under=/srv/./data//"},
         "/srv/data/a.txt\n/srv/data/\n/srv/data/link\n/srv/data/root\n"},
    };
    for (const auto& c : cases) {
        std::vector<std::string> args{"-f", "ino"};
        args.insert(args.end(), c.args.begin(), c.args.end());
        const Outcome outcome = run(args, rows);
        std::string paths;
        for (std::size_t at = 0; at < outcome.out.size();) {
            const std::size_t end = outcome.out.find('\n', at);
            paths += outcome.out.substr(at, outcome.out.find('\t', at) - at) + "\n";
            at = end + 1;
        }
        EXPECT_EQ(paths, c.out) << testing::PrintToString(c.args);
        EXPECT_EQ(outcome.status, 0);
    }
    const char* const usage = "\nUsage: b64num-lstat ";
    const struct {
        std::vector<std::string> args;
        std::string first_line;
    } misuse[] = {
        {{"--size=+1M", "--size=-2M"},
         "b64num-lstat: --size may be given once: the tests are ANDed"},
        {{"--size=1X"},
         "b64num-lstat: invalid size '1X': [+|-]N[K|M|G|T|P], bytes or powers of 1024 of them"},
        {{"--size=+9000P"}, "b64num-lstat: invalid size '+9000P': it passes 2^63 - 1 bytes"},
        {{"--type=fx"}, "b64num-lstat: invalid type 'fx': letters of f d l b c p s ?"},
        {{"--newer=2025-02-30"},
         "b64num-lstat: invalid time '2025-02-30': YYYY-MM-DD, 'YYYY-MM-DD HH:MM' or "
         "'YYYY-MM-DD HH:MM:SS' in local time, or @SECONDS"},
        {{"--older=yesterday"},
         "b64num-lstat: invalid time 'yesterday': YYYY-MM-DD, 'YYYY-MM-DD HH:MM' or "
         "'YYYY-MM-DD HH:MM:SS' in local time, or @SECONDS"},
        {{"--uid=1000,x"}, "b64num-lstat: invalid uids '1000,x': numbers separated by commas"},
        {{"--name=data/a.txt"},
         "b64num-lstat: --name matches a name, the last component of a path, which never holds "
         "'/' ('data/a.txt'): --under selects by place"},
    };
    for (const auto& c : misuse) {
        const Outcome outcome = run(c.args, rows);
        EXPECT_EQ(outcome.out, "");
        EXPECT_EQ(outcome.err.rfind(c.first_line + usage, 0), 0U) << outcome.err;
        EXPECT_EQ(outcome.status, 2);
    }
}

// In the tree modes a selection decides which rows count: a directory
// stays where a row that counts lies below it, its own bytes only when its
// own row counts; --under is the top. In --diff a path is compared, whole,
// when its row on either side is selected.
TEST(LstatCommand, SelectionsInTheTreeModes)
{
    const std::string rows = "/d/\t" + dir_row + "\n/d/x\t" + row + "\n/d/e/\t" + dir_row +
                             "\n/d/e/y\t" + row + "\n/d/f/\t" + dir_row + "\n/d/f/g/\t" + dir_row +
                             "\n/d/f/g/z\t" + lstat(with(attributes, 7, 5)) + "\n";
    const struct {
        std::vector<std::string> args;
        std::string out;
    } cases[] = {
        {{"--du", "--type=f"}, "1048576\t/d/e\n5\t/d/f/g\n5\t/d/f\n2097157\t/d\n"},
        {{"--du", "--type=f", "--size=+1K"}, "1048576\t/d/e\n2097152\t/d\n"},
        {{"--du", "--type=d"}, "4096\t/d/e\n4096\t/d/f/g\n8192\t/d/f\n16384\t/d\n"},
        {{"--du", "--under=/d/f/g"}, "4101\t/d/f/g\n"},
        {{"--du", "--under=/d/f", "--type=f"}, "5\t/d/f/g\n5\t/d/f\n"},
        {{"--du=0", "--name=g"}, "4096\t/d/f/g\n"},
    };
    for (const auto& c : cases) {
        const Outcome outcome = run(c.args, rows);
        EXPECT_EQ(outcome.out, c.out) << testing::PrintToString(c.args);
        EXPECT_EQ(outcome.status, 0);
    }
    const Outcome none = run({"--du", "--uid=4"}, rows);
    EXPECT_EQ(none.err, "b64num-lstat: no rows selected: nothing to total\n");
    EXPECT_EQ(none.status, 1);
    // A file that grew past the size selected is M, not +; one that stays
    // below it is not compared.
    const TemporaryFile old_rows("/d/big\t" + lstat(with(attributes, 7, 500 << 20)) +
                                 "\n/d/small\t" + row + "\n");
    const Outcome grown = run({"--diff", "--size=+1G", old_rows.path(), "-"},
                              "/d/big\t" + lstat(with(attributes, 7, std::int64_t{2} << 30)) +
                                  "\n/d/small\t" + lstat(with(attributes, 7, 2 << 20)) + "\n");
    EXPECT_EQ(grown.out, "M\t1623195648\t/d/big\n");
    EXPECT_EQ(grown.status, 1);
}

// The type as find -printf %y prints it, the mode as ls -l does, and the
// times in a style of ls, in TSV and in JSON.
TEST(LstatCommand, ReadableFields)
{
    ASSERT_EQ(setenv("TZ", "UTC", 1), 0);
    const std::string rows =
        "f\t" + row + "\nd\t" + dir_row + "\nl\t" + lstat(with(attributes, 2, 0120777)) + "\np\t" +
        lstat(with(attributes, 2, 010600)) + "\nu\t" + lstat(with(attributes, 2, 0170644)) + "\n";
    const struct {
        std::vector<std::string> args;
        std::string out;
    } cases[] = {
        {{"-H", "-f", "type,perm,size"},
         "column1\ttype\tperm\tsize\nf\tf\t-rw-r--r--\t1048576\nd\td\tdrwxr-xr-x\t4096\n"
         "l\tl\tlrwxrwxrwx\t1048576\np\tp\tprw-------\t1048576\nu\t?\t?rw-r--r--\t1048576\n"},
        {{"-f", "type,mtime,atime", "--time-style=long-iso"},
         "f\tf\t2025-12-10 20:53\t2025-12-11 05:48\nd\td\t2025-12-11 05:48\t2025-12-11 05:48\n"
         "l\tl\t2025-12-10 20:53\t2025-12-11 05:48\np\tp\t2025-12-10 20:53\t2025-12-11 05:48\n"
         "u\t?\t2025-12-10 20:53\t2025-12-11 05:48\n"},
        {{"--json", "-f", "type,perm,mtime", "--time-style=+%s %Y"},
         R"({"columns":["f"],"type":"f","perm":"-rw-r--r--","mtime":"1765400000 2025"})"
         "\n"
         R"({"columns":["d"],"type":"d","perm":"drwxr-xr-x","mtime":"1765432100 2025"})"
         "\n"
         R"({"columns":["l"],"type":"l","perm":"lrwxrwxrwx","mtime":"1765400000 2025"})"
         "\n"
         R"({"columns":["p"],"type":"p","perm":"prw-------","mtime":"1765400000 2025"})"
         "\n"
         R"({"columns":["u"],"type":"?","perm":"?rw-r--r--","mtime":"1765400000 2025"})"
         "\n"},
    };
    for (const auto& c : cases) {
        const Outcome outcome = run(c.args, rows);
        EXPECT_EQ(outcome.out, c.out) << testing::PrintToString(c.args);
        EXPECT_EQ(outcome.status, 0);
    }
}

std::string lstat_of(const std::string& path)
{
    struct stat info {};
    EXPECT_EQ(lstat(path.c_str(), &info), 0) << path;
    return lstat_text(info);
}

// Whitespace-separated words of each line, by its last word.
std::map<std::string, std::vector<std::string>> words_by_name(const std::string& text)
{
    std::map<std::string, std::vector<std::string>> lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) {
        std::istringstream words(line);
        std::vector<std::string> list;
        for (std::string word; words >> word;) {
            list.push_back(word);
        }
        lines[list.back()] = list;
    }
    return lines;
}

// Files of the sizes where units and rounding change, each alone in a
// directory: -lh and --time-style=full-iso print what ls -lhn prints, and
// --du -h what du -h --apparent-size prints.
TEST(LstatCommand, HumanSizesAsLsAndDuPrintThem)
{
    ASSERT_EQ(setenv("TZ", "Europe/Berlin", 1), 0);
    char top_name[] = "/tmp/b64num-human-XXXXXX";
    ASSERT_NE(mkdtemp(top_name), nullptr);
    const std::string top = top_name;
    const std::int64_t sizes[] = {0,       1,        1023,     1024,    1025,    1536,
                                  10239,   10240,    10241,    102400,  1048575, 1048576,
                                  1048577, 10485759, 10485760, 1 << 30, 1L << 40};
    std::vector<std::string> made;
    std::vector<std::string> ls{"ls", "-lhn", "--time-style=full-iso"};
    for (const std::int64_t size : sizes) {
        const std::string folder = top + "/d" + std::to_string(size);
        const std::string file = folder + "/f";
        ASSERT_EQ(mkdir(folder.c_str(), 0755), 0);
        const int fd = open(file.c_str(), O_CREAT | O_WRONLY, 0644);
        ASSERT_GE(fd, 0);
        EXPECT_EQ(ftruncate(fd, size), 0); // sparse: no blocks written
        const timespec whole_second[] = {{1765400061, 0}, {1765400061, 0}}; // as LStat holds them
        EXPECT_EQ(futimens(fd, whole_second), 0);
        close(fd);
        made.insert(made.end(), {file, folder});
        ls.push_back(file);
    }
    std::string rows = top + "/\t" + lstat_of(top) + "\n";
    for (const std::string& path : made) {
        rows += path + (path.back() == 'f' ? "\t" : "/\t") + lstat_of(path) + "\n";
    }
    std::string file_rows;
    for (std::size_t i = 0; i < made.size(); i += 2) {
        file_rows += made[i] + "\t" + lstat_of(made[i]) + "\n";
    }
    const Outcome listed = spawn("/bin/ls", ls);
    const Outcome ours = run({"-lh", "--time-style=full-iso"}, file_rows);
    EXPECT_EQ(words_by_name(ours.out), words_by_name(listed.out));
    const Outcome du = spawn("/usr/bin/du", {"du", "-h", "--apparent-size", "-d", "1", top});
    const Outcome our_du = run({"--du=1", "-h"}, rows);
    EXPECT_EQ(words_by_name(our_du.out), words_by_name(du.out));
    EXPECT_EQ(words_by_name(our_du.out).size(), std::size(sizes) + 1);
    for (const std::string& path : made) {
        EXPECT_EQ(remove(path.c_str()), 0);
    }
    EXPECT_EQ(rmdir(top.c_str()), 0);
    // Past what files can hold: the last two units.
    Values huge = attributes;
    huge[7] = INT64_MAX;
    EXPECT_EQ(run({"-lh"}, lstat(huge) + "\n").out.substr(0, 28), "-rw-r--r--  1 1000 1000 8.0E");
    huge[7] = (std::int64_t{1} << 50) + 1;
    EXPECT_EQ(run({"-lh"}, lstat(huge) + "\n").out.substr(0, 28), "-rw-r--r--  1 1000 1000 1.1P");
}

// A month is its year's, written as --by=year writes the year, before year
// 1 too, where a garbage mtime may lie.
TEST(LstatCommand, ByMonthIsTheMonthOfTheYear)
{
    ASSERT_EQ(setenv("TZ", "UTC", 1), 0);
    std::tm march{};
    march.tm_year = -1199 - 1900;
    march.tm_mon = 2;
    march.tm_mday = 1;
    const Outcome outcome =
        run({"--by=year,month"}, "/d/x\t" + lstat(with(attributes, 11, timegm(&march))) + "\n");
    EXPECT_EQ(outcome.out, "-1199\t-1199-03\t1\t1048576\n");
}

TEST(LstatCommand, ReadsFilesInOrderAndGoesOnPastAMissingOne)
{
    const TemporaryFile first("a\t" + row + "\n");
    const TemporaryFile second("b\t" + dir_row + "\n");
    const Outcome outcome = run(
        {"-f", "mode", first.path(), "/nonexistent/lstat", "-", second.path()}, "c\t" + row + "\n");
    EXPECT_EQ(outcome.out, "a\t33188\nc\t33188\nb\t16877\n");
    EXPECT_EQ(outcome.err, "b64num-lstat: /nonexistent/lstat: No such file or directory\n");
    EXPECT_EQ(outcome.status, 2);
}

// Lines longer than the read buffer arrive whole; a line longer than any
// catalog row is passed over without being held, and the rows after it print.
// What changed between two inputs, OLD a file and NEW standard input, in
// each form of report and with other fields compared.
TEST(LstatCommand, DiffReportsWhatChanged)
{
    Values bigger = attributes;
    bigger[7] += 1024; // size
    Values private_mode = attributes;
    private_mode[2] = 0100600;
    Values other_inode = attributes;
    other_inode[1] += 1;
    const TemporaryFile old_rows("/d/\t" + dir_row + "\n/d/x\t" + row + "\n/d/y\t" + row +
                                 "\n/d/w\t" + row + "\n/d/v\t" + row + "\n");
    const std::string new_rows = "/d/z\t" + row + "\n/d\t" + dir_row + "\n/d/x\t" + lstat(bigger) +
                                 "\n/d/y\t" + lstat(private_mode) + "\n/d/w\t" +
                                 lstat(other_inode) + "\n/d/v/\t" + dir_row + "\n";
    const struct {
        std::vector<std::string> args;
        std::string out;
    } cases[] = {
        {{}, "T\t-1044480\t/d/v/\nM\t1024\t/d/x\nU\t0\t/d/y\n+\t1048576\t/d/z\n"},
        {{"-h"}, "T\t-1020K\t/d/v/\nM\t1.0K\t/d/x\nU\t0\t/d/y\n+\t1.0M\t/d/z\n"},
        {{"--compare=size"}, "M\t-1044480\t/d/v/\nM\t1024\t/d/x\n+\t1048576\t/d/z\n"},
        {{"--compare", "ino,mode"},
         "T\t-1044480\t/d/v/\nU\t0\t/d/w\nU\t0\t/d/y\n+\t1048576\t/d/z\n"},
        {{"--summary"}, "+\t1\t1048576\n-\t0\t0\nT\t1\t-1044480\nM\t1\t1024\nU\t1\t0\n"},
        {{"--disk-usage"}, "T\t-1044480\t/d/v/\nM\t0\t/d/x\nU\t0\t/d/y\n+\t1048576\t/d/z\n"},
    };
    for (const auto& c : cases) {
        std::vector<std::string> args{"--diff"};
        args.insert(args.end(), c.args.begin(), c.args.end());
        args.insert(args.end(), {old_rows.path(), "-"});
        const Outcome outcome = run(args, new_rows);
        EXPECT_EQ(outcome.out, c.out) << testing::PrintToString(c.args);
        EXPECT_EQ(outcome.err, "");
        EXPECT_EQ(outcome.status, 1); // as diff says that its inputs differ
    }
    const Outcome same = run({"--diff", old_rows.path(), old_rows.path()});
    EXPECT_EQ(same.out, "");
    EXPECT_EQ(same.status, 0);
}

// A side gives a path once, unless --latest says that its later row
// stands: rows whose first column is no path (a client's name) would
// otherwise compare the last row of each side, and find nothing changed.
TEST(LstatCommand, DiffTakesAPathGivenTwiceOnlyWithLatest)
{
    const std::string bigger = lstat(with(attributes, 7, 1048576 + 1024));
    const TemporaryFile old_clients("ana\t/d/t\t" + row + "\nana\t/d/u\t" + row + "\n");
    const std::string new_clients = "ana\t/d/t\t" + bigger + "\nana\t/d/u\t" + row + "\n";
    for (const char* order : {"--compare=size", "--sorted"}) {
        const Outcome clients = run({"--diff", order, old_clients.path(), "-"}, new_clients);
        EXPECT_EQ(clients.out, "") << order;
        EXPECT_EQ(clients.err,
                  "b64num-lstat: OLD gives the path of its line 1 again on line 2: is the path "
                  "not the first column? Only --latest lets a path's later row stand, as a full "
                  "backup and the incrementals after it give it: nothing compared\n")
            << order;
        EXPECT_EQ(clients.status, 2) << order;
    }
    // With --latest, NEW's later row of a path stands, whether or not its
    // earlier one equalled OLD's.
    const TemporaryFile old_pair("/d/t\t" + row + "\n/d/u\t" + row + "\n");
    const std::string chain =
        "/d/t\t" + bigger + "\n/d/t\t" + row + "\n/d/u\t" + row + "\n/d/u\t" + bigger + "\n";
    for (const char* order : {"--compare=size", "--sorted"}) {
        const Outcome later = run({"--diff", "--latest", order, old_pair.path(), "-"}, chain);
        EXPECT_EQ(later.out, "M\t1024\t/d/u\n") << order;
        EXPECT_EQ(later.status, 1) << order;
    }
}

// A chain in job order where a later job made a directory a file: the
// rows below it from before are gone from the state it restores, as the
// tree modes drop them; rows below it from a job that made it a directory
// again stay. In path order the rows cannot say which came later.
TEST(LstatCommand, DiffLatestDropsRowsBelowAPathALaterJobMadeAFile)
{
    const TemporaryFile old_chain("/x/\t" + dir_row + "\n/x/a/\t" + dir_row + "\n/x/a/big\t" + row +
                                  "\n/x/a\t" + row + "\n");
    const std::string restored = "/x/\t" + dir_row + "\n/x/a\t" + row + "\n";
    const Outcome same = run({"--diff", "--latest", old_chain.path(), "-"}, restored);
    EXPECT_EQ(same.out, "");
    EXPECT_EQ(same.status, 0);
    const TemporaryFile again("/x/\t" + dir_row + "\n/x/a/\t" + dir_row + "\n/x/a/big\t" + row +
                              "\n/x/a\t" + row + "\n/x/a/\t" + dir_row + "\n/x/a/new\t" + row +
                              "\n");
    const Outcome later =
        run({"--diff", "--latest", again.path(), "-"},
            "/x/\t" + dir_row + "\n/x/a/\t" + dir_row + "\n/x/a/new\t" + row + "\n");
    EXPECT_EQ(later.out, "");
    EXPECT_EQ(later.status, 0);
    const TemporaryFile in_path_order("/x/\t" + dir_row + "\n/x/a\t" + row + "\n/x/a/big\t" + row +
                                      "\n");
    const Outcome sorted =
        run({"--diff", "--latest", "--sorted", in_path_order.path(), "-"}, restored);
    EXPECT_EQ(sorted.out, "");
    EXPECT_EQ(sorted.status, 2);
}

// Two inputs compared are two backups of one shape, or nothing is compared:
// a side that could not be read or holds no rows is no empty backup, and
// rows of another number of columns would differ in every path.
TEST(LstatCommand, DiffComparesOnlyTwoBackupsOfOneShape)
{
    const TemporaryFile old_rows("/d/\t" + dir_row + "\n/d/z\t" + row + "\n");
    const TemporaryFile with_md5("/d/\tx\t" + dir_row + "\n/d/z\tx\t" + row + "\n");
    const TemporaryFile empty("");
    const std::string not_compared = ": nothing compared\n";
    const struct {
        std::vector<std::string> args;
        std::string input;
        std::string err;
    } cases[] = {
        {{"/nonexistent/old", "-"},
         "/d/z\t" + row + "\n",
         "b64num-lstat: /nonexistent/old: No such file or directory\n"
         "b64num-lstat: OLD could not be read" +
             not_compared},
        {{old_rows.path(), empty.path()}, "", "b64num-lstat: NEW holds no rows" + not_compared},
        {{"-", old_rows.path()},
         "/d/z\tgB BA\n",
         "b64num-lstat: standard input:1: 2 numerals, fewer than the 13 of an LStat value; is "
         "there no LStat column, or is LStat not the last column?\n"
         "b64num-lstat: OLD holds no rows" +
             not_compared},
        {{empty.path(), "-"}, "", "b64num-lstat: OLD and NEW hold no rows" + not_compared},
        {{with_md5.path(), old_rows.path()},
         "",
         "b64num-lstat: OLD's rows have 3 columns and NEW's 2" + not_compared},
    };
    for (const auto& c : cases) {
        std::vector<std::string> args{"--diff"};
        args.insert(args.end(), c.args.begin(), c.args.end());
        const Outcome outcome = run(args, c.input);
        EXPECT_EQ(outcome.out, "") << testing::PrintToString(c.args);
        EXPECT_EQ(outcome.err, c.err);
        EXPECT_EQ(outcome.status, 2);
    }
    // A tree of no rows is no empty job either.
    for (const char* mode : {"--du", "--ncdu", "--qdirstat", "--treemap"}) {
        const Outcome outcome = run({mode}, "\n");
        EXPECT_EQ(outcome.out, "") << mode;
        EXPECT_EQ(outcome.err, "b64num-lstat: no rows: nothing to total\n") << mode;
        EXPECT_EQ(outcome.status, 1);
    }
}

// The same catalog through psql's COPY and mysql -B: a name with a CR is
// one path, escaped by one client and raw from the other, and a path is
// printed as its side gave it.
TEST(LstatCommand, APathIsKnownByItsRealBytes)
{
    const TemporaryFile through_mysql("/d/a\rb\t" + row + "\n/d/tab\\tname\t" + row + "\n");
    const Outcome outcome =
        run({"--diff", through_mysql.path(), "-"},
            "/d/a\\rb\t" + row + "\n/d/tab\\tname\t" + row + "\n/d/new\\nline\t" + row + "\n");
    EXPECT_EQ(outcome.out, "+\t1048576\t/d/new\\nline\n");
    EXPECT_EQ(outcome.status, 1);
    // The tree modes too: two jobs' rows of that path, through either.
    const std::string both = "/d/a\rb\t" + row + "\n/d/a\\rb\t" + row + "\n/d/tab\t" + row + "\n";
    for (const bool sorted : {false, true}) {
        std::vector<std::string> args{"--du=1"};
        if (sorted) {
            args.emplace_back("--sorted");
        }
        const Outcome first = run(args, both);
        EXPECT_EQ(first.err.substr(0, 50), "b64num-lstat: standard input:2: the same path as l");
        args.emplace_back("--latest");
        const Outcome latest = run(args, both);
        EXPECT_EQ(latest.out, "2097152\t/d\n") << latest.err;
        EXPECT_EQ(latest.status, 0);
        EXPECT_EQ(first.status, 1);
    }
}

TEST(LstatCommand, LongLinesArriveWholeUpToTheBound)
{
    const std::string name(768 << 10, 'n');
    const std::string too_long(3 << 20, 'A');
    const Outcome outcome =
        run({"-f", "size"}, name + "\t" + row + "\n" + too_long + "\nx\t" + row);
    EXPECT_EQ(outcome.out, name + "\t1048576\nx\t1048576\n");
    EXPECT_EQ(outcome.err,
              "b64num-lstat: standard input:2: a line of 3145728 bytes, longer than any "
              "catalog row (at most 1048576); skipped\n");
    EXPECT_EQ(outcome.status, 1);
}

TEST(LstatCommand, WriteErrorsAreReported)
{
    for (const Stdout destination : {Stdout::dev_full, Stdout::closed}) {
        const Outcome outcome = run({}, row + "\n", destination);
        EXPECT_EQ(outcome.err.rfind("b64num-lstat: write error: ", 0), 0U) << outcome.err;
        EXPECT_EQ(outcome.status, 1);
    }
}

} // namespace

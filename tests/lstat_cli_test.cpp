// Runs the built b64num-lstat on rows made from known attributes and compares
// what it prints, what it reports and its exit status.
#include "base64_encoder.h"
#include "child_process.h"

#include <gtest/gtest.h>

#include <unistd.h>

#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

namespace {

using Values = std::vector<std::int64_t>;

const Values attributes = {2049, 1321729, 0100644,    1,          1000,       1000, 0, 1048576,
                           4096, 2048,    1765432100, 1765400000, 1765400000, 0,    0, 2};
const Values directory = {2049, 1321730, 040755, 3,          0,          0,          0,
                          4096, 4096,    8,      1765432100, 1765432100, 1765432100, 0};

std::string lstat(const Values& values)
{
    std::string text;
    for (std::int64_t value : values) {
        text += (text.empty() ? "" : " ") + encode_base64(static_cast<std::uint64_t>(value));
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
        Case{"CR, spaces and empty lines",
             {"-f", "size,mtime"},
             "\r\nw\t  " + row + "  \r\n\n\r\nx\t" + row + "\n",
             "\nw\t" + size_and_mtime + "\n\n\nx\t" + size_and_mtime + "\n",
             "",
             0},
        Case{"last line without a line feed",
             {"-f", "dev"},
             row + "\n" + dir_row,
             "2049\n2049\n",
             "",
             0},
        Case{"numerals decode as in b64num",
             {"-f", "1,2,3"},
             "/////////// -B B-B\n",
             "-1\t-1\t4097\n",
             "",
             0},
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
             "line feed or TAB? Query with COPY ... TO STDOUT or mysql -B\n"
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
             "b64num-lstat: standard input:4: 2 numerals, but line 1 has 16; a file name holding a "
             "line feed or TAB? Query with COPY ... TO STDOUT or mysql -B\n",
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
        Case{"header line of mysql -B without -N; -H names the rows' columns",
             {"-H", "-f", "size"},
             "CONCAT(Path, Name)\tLStat\n\nname\t" + row + "\n",
             "column1\tsize\n\nname\t1048576\n",
             "",
             0},
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
             1},
        Case{"du: a path given twice counts once; a row without a path",
             {"--du"},
             "/d/\t" + dir_row + "\n/d/x\t" + row + "\n/d/x\t" + row + "\n" + row + "\n",
             "1052672\t/d\n",
             "b64num-lstat: standard input:3: the same path as line 2; rows of several jobs? Only "
             "the first one counts\n"
             "b64num-lstat: standard input:4: 1 column, but line 1 has 2; a file name holding a "
             "line feed or TAB? Query with COPY ... TO STDOUT or mysql -B\n",
             1},
        Case{"version", {"--version"}, row, "b64num-lstat " B64NUM_VERSION "\n", "", 0}));

TEST(LstatCommand, HelpGoesToStandardOutput)
{
    const Outcome outcome = run({"--help"}, row + "\n");
    EXPECT_EQ(outcome.out.rfind("Usage: b64num-lstat [-f FIELDS] [-H] [--json] [FILE...]\n", 0),
              0U);
    EXPECT_EQ(outcome.err, "");
    EXPECT_EQ(outcome.status, 0);
}

// Misuse is refused before anything is read or printed.
TEST(LstatCommand, UnknownFieldsAndOptionsAreRefused)
{
    const struct {
        std::vector<std::string> args;
        const char* first_line;
    } cases[] = {
        {{"-f", "sise"}, "b64num-lstat: unknown field 'sise'\n"},
        {{"-f", "size,size"}, "b64num-lstat: field 'size' is asked for twice\n"},
        {{"-f", "size,8"}, "b64num-lstat: field '8' (size) is asked for twice\n"},
        {{"-x"}, "b64num-lstat: unknown option '-x'\n"},
        {{"--jsn"}, "b64num-lstat: unknown option '--jsn'\n"},
        {{"-f"}, "b64num-lstat: option '-f' needs a list of fields\n"},
        {{"-l", "-f", "size"},
         "b64num-lstat: -l lists whole rows: it cannot be combined with -f, "
         "--json or -H\n"},
        {{"--json", "--long"},
         "b64num-lstat: -l lists whole rows: it cannot be combined with -f, "
         "--json or -H\n"},
        {{"-lH"},
         "b64num-lstat: -l lists whole rows: it cannot be combined with -f, --json or "
         "-H\n"},
        {{"--du", "-f", "size"},
         "b64num-lstat: --du and --ncdu report a whole tree: they cannot be combined with each "
         "other or with -f, -l, --json or -H\n"},
        {{"--ncdu", "--du=2"},
         "b64num-lstat: --du and --ncdu report a whole tree: they cannot be combined with each "
         "other or with -f, -l, --json or -H\n"},
        {{"--du=-1"}, "b64num-lstat: invalid depth '-1': a number of levels, 0 or more\n"},
    };
    for (const auto& c : cases) {
        const Outcome outcome = run(c.args, row + "\n");
        EXPECT_EQ(outcome.out, "");
        EXPECT_EQ(outcome.err.rfind(c.first_line, 0), 0U) << outcome.err;
        EXPECT_NE(outcome.err.find("known fields: dev ino mode nlink uid gid rdev size blksize "
                                   "blocks atime mtime ctime linkfi flags stream"),
                  std::string::npos);
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

TEST(LstatCommand, ReadsFilesInOrderAndGoesOnPastAMissingOne)
{
    const TemporaryFile first("a\t" + row + "\n");
    const TemporaryFile second("b\t" + dir_row + "\n");
    const Outcome outcome = run(
        {"-f", "mode", first.path(), "/nonexistent/lstat", "-", second.path()}, "c\t" + row + "\n");
    EXPECT_EQ(outcome.out, "a\t33188\nc\t33188\nb\t16877\n");
    EXPECT_EQ(outcome.err, "b64num-lstat: /nonexistent/lstat: No such file or directory\n");
    EXPECT_EQ(outcome.status, 1);
}

// Lines longer than the read buffer arrive whole; a line longer than any
// catalog row is passed over without being held, and the rows after it print.
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

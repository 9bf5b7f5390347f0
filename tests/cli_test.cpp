// Runs the built b64num as a child process and compares its standard output
// byte for byte, its standard error and its exit status.
#include "child_process.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <cstring>
#include <string>
#include <vector>

namespace {

Outcome run(const std::vector<std::string>& argv, Stdout destination = Stdout::captured)
{
    return spawn(B64NUM_EXE, argv, "", destination);
}

std::string usage(const std::string& name)
{
    return "Usage: " + name + " \n" + name + " --help for more information.n";
}

std::string help(const std::string& name)
{
    return name + " by Tolvenar (" B64NUM_HOMEPAGE_URL ")\n" + "Usage: " + name +
           " <value> \n"
           "Where <value> is the base64 encoded data from the LStat table in a bacula database.\n"
           "Example:\n----\n" +
           name + " UUUAn5326080\n\n----\nn";
}

struct Case {
    const char* title;
    std::vector<std::string> argv;
    std::string out;
    int status;
};

void PrintTo(const Case& c, std::ostream* os)
{
    *os << c.title;
}

class CommandLineTest : public testing::TestWithParam<Case> {};

TEST_P(CommandLineTest, PrintsExactlyAndExits)
{
    const Case& c = GetParam();
    const Outcome outcome = run(c.argv);
    EXPECT_EQ(outcome.out, c.out);
    EXPECT_EQ(outcome.err, "");
    EXPECT_EQ(outcome.status, c.status);
}

INSTANTIATE_TEST_SUITE_P(
    Invocations, CommandLineTest,
    testing::Values(
        Case{"no argument", {"b64num"}, usage("b64num"), 1},
        Case{"invocation name is shown", {"/opt/x/b64num"}, usage("/opt/x/b64num"), 1},
        Case{"empty argument vector", {}, usage("b64num"), 1},
        Case{"name holding conversions", {"%s%n%x"}, usage("%s%n%x"), 1},
        Case{"help for -h", {"b64num", "-h"}, help("b64num"), 0},
        Case{"help for --help", {"b64num", "--help"}, help("b64num"), 0},
        Case{"help for -?", {"b64num", "-?"}, help("b64num"), 0},
        Case{"help with odd name", {"%s%n", "--help"}, help("%s%n"), 0},
        Case{"-H is a numeral", {"b64num", "-H"}, "-7", 0},
        Case{"-help is a numeral", {"b64num", "-help"}, "-8776041", 0},
        Case{"--HELP is a numeral", {"b64num", "--HELP"}, "-1852111", 0},
        Case{"-hx is a numeral", {"b64num", "-hx"}, "-2161", 0},
        Case{"gB", {"b64num", "gB"}, "2049", 0},
        Case{"help screen's example wraps", {"b64num", "UUUAn5326080"}, "4972149489418325812", 0},
        Case{"stops at a space", {"b64num", "gB BA C"}, "2049", 0},
        Case{"empty argument", {"b64num", ""}, "0", 0},
        Case{"lone minus sign", {"b64num", "-"}, "0", 0},
        Case{"most negative value", {"b64num", "IAAAAAAAAAA"}, "-9223372036854775808", 0},
        Case{"second argument ignored", {"b64num", "AB", "-h"}, "1", 0}));

struct WriteFailure {
    const char* title;
    std::vector<std::string> argv;
    Stdout destination;
    int error;
};

void PrintTo(const WriteFailure& c, std::ostream* os)
{
    *os << c.title;
}

class WriteErrorTest : public testing::TestWithParam<WriteFailure> {};

TEST_P(WriteErrorTest, IsReportedAndFails)
{
    const WriteFailure& c = GetParam();
    const Outcome outcome = run(c.argv, c.destination);
    EXPECT_EQ(outcome.err, std::string("b64num: write error: ") + std::strerror(c.error) + "\n");
    EXPECT_EQ(outcome.status, 1);
}

INSTANTIATE_TEST_SUITE_P(
    Destinations, WriteErrorTest,
    testing::Values(
        WriteFailure{"number to /dev/full", {"b64num", "gB"}, Stdout::dev_full, ENOSPC},
        WriteFailure{"help to /dev/full", {"b64num", "-h"}, Stdout::dev_full, ENOSPC},
        WriteFailure{"usage to /dev/full", {"b64num"}, Stdout::dev_full, ENOSPC},
        WriteFailure{"number to closed stdout", {"b64num", "gB"}, Stdout::closed, EBADF},
        WriteFailure{"help to closed stdout", {"b64num", "-?"}, Stdout::closed, EBADF}));

} // namespace

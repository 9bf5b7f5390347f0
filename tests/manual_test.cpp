// The manual against the table of modes, as b64num-lstat --help prints it:
// the SYNOPSIS gives each mode's usage line, the EXIT STATUS what each
// status says, and each mode takes exactly the options its line names.
#include "child_process.h"

#include <gtest/gtest.h>

#include <cctype>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

namespace {

Outcome run(const std::vector<std::string>& args, const std::string& input = "")
{
    std::vector<std::string> argv{"b64num-lstat"};
    argv.insert(argv.end(), args.begin(), args.end());
    return spawn(B64NUM_LSTAT_EXE, argv, input);
}

// The placeholders of --help (FIELDS, FILE) as the manual writes them, in
// italics and lower case: capitals beside capitals, which no option is.
std::string lowered(std::string text)
{
    const auto capital = [&text](std::size_t at) {
        return at < text.size() && std::isupper(static_cast<unsigned char>(text[at])) != 0;
    };
    std::string out = text;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (capital(i) && ((i > 0 && capital(i - 1)) || capital(i + 1))) {
            out[i] = static_cast<char>(std::tolower(static_cast<unsigned char>(text[i])));
        }
    }
    return out;
}

std::string lowered_all(std::string text)
{
    for (char& c : text) {
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    }
    return text;
}

// Words joined by one blank, placeholders in lower case: how the manual and
// --help are compared, whatever their fonts and line breaks.
std::string words(const std::string& text)
{
    std::istringstream in(text);
    std::string joined;
    for (std::string word; in >> word;) {
        joined += (joined.empty() ? "" : " ") + word;
    }
    return lowered(joined);
}

// A roff line as it reads: a font macro's arguments, alternating fonts
// where the macro has two letters, then the escapes of fonts and dashes.
std::string roff_text(const std::string& line)
{
    std::string text = line;
    bool joined = false;
    if (!text.empty() && text[0] == '.') {
        const std::size_t space = text.find(' ');
        const std::string macro = text.substr(1, space == std::string::npos ? 0 : space - 1);
        joined = macro.size() == 2;
        text = space == std::string::npos ? "" : text.substr(space + 1);
    }
    std::string plain;
    bool quoted = false;
    for (const char c : text) {
        if (c == '"') {
            quoted = !quoted;
        } else if (c == ' ' && joined && !quoted) {
            continue;
        } else {
            plain += c;
        }
    }
    for (const char* escape : {"\\fB", "\\fI", "\\fP", "\\fR"}) {
        for (std::size_t at; (at = plain.find(escape)) != std::string::npos;) {
            plain.erase(at, 3);
        }
    }
    for (std::size_t at; (at = plain.find("\\-")) != std::string::npos;) {
        plain.erase(at, 1);
    }
    return plain;
}

std::vector<std::string> manual_lines()
{
    std::ifstream in(B64NUM_MANUAL);
    std::vector<std::string> lines;
    for (std::string line; std::getline(in, line);) {
        lines.push_back(line);
    }
    return lines;
}

// The manual's SYNOPSIS, a form a line, as words.
std::vector<std::string> manual_synopsis()
{
    std::vector<std::string> forms;
    bool in_synopsis = false;
    std::string form;
    for (const std::string& line : manual_lines()) {
        if (line.rfind(".SH", 0) == 0) {
            in_synopsis = line == ".SH SYNOPSIS";
            continue;
        }
        if (!in_synopsis) {
            continue;
        }
        if (line == ".br" || line == ".PP") {
            forms.push_back(words(form));
            form.clear();
            if (line == ".PP") {
                break;
            }
            continue;
        }
        form += " " + roff_text(line);
    }
    return forms;
}

// --help's usage lines, a form a line, as words.
std::vector<std::string> help_synopsis()
{
    const std::string help = run({"--help"}).out;
    std::vector<std::string> forms;
    std::istringstream in(help.substr(0, help.find("Each but")));
    for (std::string line; std::getline(in, line);) {
        if (line.rfind("Usage: ", 0) == 0 || line.rfind("  or:  ", 0) == 0) {
            forms.push_back(line.substr(7));
        } else {
            forms.back() += " " + line;
        }
    }
    for (std::string& form : forms) {
        form = words(form);
    }
    return forms;
}

TEST(Manual, SynopsisIsTheUsageOfHelp)
{
    const std::vector<std::string> help = help_synopsis();
    ASSERT_EQ(help.size(), 9U);
    EXPECT_EQ(manual_synopsis(), help);
}

TEST(Manual, ExitStatusesSayWhatHelpSays)
{
    // What the manual says of each status: the paragraph after its number.
    std::string said[3];
    bool in_section = false;
    int status = -1;
    for (const std::string& line : manual_lines()) {
        if (line.rfind(".SH", 0) == 0) {
            in_section = line == ".SH EXIT STATUS";
        } else if (!in_section || line == ".TP" || line == ".PP") {
            status = -1;
        } else if (line == ".B 0" || line == ".B 1" || line == ".B 2") {
            status = line[3] - '0';
        } else if (status >= 0) {
            said[status] += " " + roff_text(line);
        }
    }
    const std::string help = run({"--help"}).out;
    std::istringstream in(help.substr(help.find("Exit status:\n") + 13));
    status = 0;
    for (std::string line; std::getline(in, line) && !line.empty(); ++status) {
        ASSERT_LT(status, 3);
        // " 1  the report is incomplete or refused; with --diff, the inputs differ"
        std::string meanings = line.substr(4);
        for (std::size_t at; (at = meanings.find("; with ")) != std::string::npos;) {
            meanings.replace(at, 7, "\n");
        }
        std::istringstream each(meanings);
        for (std::string meaning; std::getline(each, meaning);) {
            const std::size_t mode_end = meaning.find(", ");
            const std::string phrase =
                words(mode_end == std::string::npos ? meaning : meaning.substr(mode_end + 2));
            EXPECT_NE(lowered_all(words(said[status])).find(lowered_all(phrase)), std::string::npos)
                << status << ": " << phrase;
        }
    }
    EXPECT_EQ(status, 3);
}

// Each mode of the synopsis takes the options its line names, and is
// refused, as misuse, every other.
TEST(Manual, EachModeTakesTheOptionsOfItsLine)
{
    const struct {
        std::vector<std::string> args;
        std::string named; // as the synopsis names it
    } options[] = {
        {{"-f", "size"}, "[-f "},
        {{"-H"}, "[-H]"},
        {{"--json"}, "--json"},
        {{"-h"}, "[-h"},
        {{"--time-style=iso"}, "--time-style"},
        {{"--compare=size"}, "--compare"},
        {{"--summary"}, "--summary"},
        {{"--latest"}, "--latest"},
        {{"--all-versions"}, "--all-versions"},
        {{"--sorted"}, "--sorted"},
        {{"-S", "1M"}, "[-S "},
        {{"--disk-usage"}, "--disk-usage"},
    };
    const std::string row = "/a\tA A IGk B A A A BkA A A A A A\n";
    const std::vector<std::string> forms = manual_synopsis();
    ASSERT_EQ(forms.size(), 9U);
    for (const std::string& line : forms) {
        const std::string form = line.substr(line.find(' ') + 1); // after the program's name
        std::vector<std::string> mode;
        const std::string first = form.substr(0, form.find(' '));
        if (first[0] != '[') {
            const std::string option = first.substr(0, first.find('['));
            mode.push_back(option == "--by=keys" ? "--by=uid" : option);
        }
        for (const auto& option : options) {
            std::vector<std::string> args = mode;
            args.insert(args.end(), option.args.begin(), option.args.end());
            if (form.find("old new") != std::string::npos) {
                args.insert(args.end(), {"/dev/null", "-"});
            }
            const Outcome outcome = run(args, row);
            const bool refused = outcome.err.find("Usage:") != std::string::npos;
            const bool named = form.find(option.named) != std::string::npos;
            EXPECT_EQ(refused, !named) << form << " with " << option.args[0] << ": " << outcome.err;
        }
    }
}

} // namespace

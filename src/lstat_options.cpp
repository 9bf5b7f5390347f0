#include "lstat_options.h"

#include "terminal_text.h"

#include <getopt.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <ctime>

namespace {

const char synopsis[] = "Usage: b64num-lstat [-f FIELDS] [-H] [--json] [FILE...]\n"
                        "  or:  b64num-lstat -l [-h] [--time-style=STYLE] [FILE...]\n"
                        "  or:  b64num-lstat --du[=DEPTH] [-h] | --ncdu [FILE...]\n";

const char description[] =
    "Decode Bacula LStat values, one a line, into named fields.\n"
    "\n"
    "A line is an LStat value, optionally preceded by TAB-separated columns\n"
    "that are passed through. With no FILE, or when FILE is -, read standard input.\n"
    "Query with COPY (...) TO STDOUT or mysql -B, which escape the TABs, line\n"
    "feeds and backslashes of file names: TAB-separated output keeps columns\n"
    "escaped; JSON undoes \\\\ \\n \\r \\t \\b \\f \\v \\0, and \\N is null.\n"
    "A header line at the top (its last column is named LStat) is skipped.\n"
    "A line that cannot be a whole row (other columns than the first whole row,\n"
    "a byte no numeral holds, a piece of an LStat value, over 1 MiB) is reported\n"
    "and not printed, and the exit status is 1. Control characters in columns\n"
    "are shown as ls -b shows them with -l, and on a terminal.\n"
    "\n"
    "  -f, --fields=LIST  the fields to print, by name or 1-based position,\n"
    "                     separated by commas (default: all of them)\n"
    "  -H, --header       print a line of column names first, those of a header\n"
    "                     line of the input for its columns (TAB-separated\n"
    "                     output only: JSON Lines name every value)\n"
    "      --json         print JSON Lines instead of TAB-separated values\n"
    "  -l, --long         list the files as ls -l does: mode, links, owner,\n"
    "                     group, size (or major, minor), local time of last\n"
    "                     modification (TZ applies), then the passed-through columns\n"
    "      --time-style=STYLE  the time with -l, as ls shows it: long-iso (the\n"
    "                     default), full-iso, iso, or +FORMAT (strftime; a line\n"
    "                     feed parts the format of older times from that of\n"
    "                     the past six months)\n"
    "  -h, --human-readable  sizes with -l and --du as ls -lh and du -h print\n"
    "                     them: 1.0K, 234M, 2.5G (powers of 1024, rounded up)\n"
    "      --du[=DEPTH]   print each directory's total bytes, counting everything\n"
    "                     at or below it, as du -b prints them for the restored\n"
    "                     files, down to DEPTH levels below the top; the first\n"
    "                     column must be the path (a directory's mode makes it\n"
    "                     one; its path may end in /)\n"
    "      --ncdu         write the tree in ncdu's export format: ncdu -f FILE\n"
    "      --help         print this help and exit\n"
    "      --version      print the version and exit\n"
    "\n";

// The field names after "Fields: ", wrapped where a line would pass 72
// columns.
std::string field_names_text()
{
    std::string text = "Fields:";
    std::size_t line_length = text.size();
    for (const char* field : lstat_field_names) {
        const std::size_t length = std::strlen(field);
        if (line_length + 1 + length > 72) {
            text += "\n       ";
            line_length = 7;
        }
        text += ' ';
        text += field;
        line_length += 1 + length;
    }
    return text + "\n";
}

enum class Hint { usage, fields };

// Reports misuse of the command line, then what helps most: the known
// fields after a bad field, the usage lines after anything else.
int usage_error(const std::string& message, Hint hint = Hint::usage)
{
    std::string help;
    if (hint == Hint::fields) {
        char names[256];
        list_field_names(names, sizeof names, " ");
        help = std::string("known fields: ") + names + " (or their positions, 1 to " +
               std::to_string(lstat_field_count) + ")";
    } else {
        help.assign(synopsis, sizeof synopsis - 2); // without its last line feed
    }
    complain(message + "\n" + help + "\nTry 'b64num-lstat --help' for more information.");
    return status_usage;
}

// Reads a --du depth: a decimal number of levels, 0 or more.
bool parse_depth(const char* text, int& depth)
{
    char* end = nullptr;
    errno = 0;
    const long value = std::strtol(text, &end, 10);
    if (*text < '0' || *text > '9' || *end != '\0' || errno != 0 || value > INT_MAX) {
        return false;
    }
    depth = static_cast<int>(value);
    return true;
}

// What the options asked for, before they are held to one another.
struct Asked {
    bool fields = false;
    bool json = false;
    bool long_listing = false;
    int tree_reports = 0;
    bool human_sizes = false;
    bool time_style = false;
};

// Holds the options to one another: one mode, and what it can take.
int check_combination(const Asked& asked, Options& options)
{
    if (asked.tree_reports > 1 ||
        (asked.tree_reports == 1 &&
         (asked.fields || asked.json || options.header || asked.long_listing))) {
        return usage_error("--du and --ncdu report a whole tree: they cannot be combined with "
                           "each other or with -f, -l, --json or -H");
    }
    if (asked.long_listing && (asked.fields || asked.json || options.header)) {
        return usage_error("-l lists whole rows: it cannot be combined with -f, --json or -H");
    }
    if (asked.json && options.header) {
        return usage_error("--json names every value: it cannot be combined with -H");
    }
    if (asked.human_sizes && !asked.long_listing && options.mode != Mode::du) {
        return usage_error("-h shows sizes as ls -lh and du -h do: it needs -l or --du");
    }
    if (asked.time_style && !asked.long_listing) {
        return usage_error("--time-style shows times as ls -l does: it needs -l");
    }
    if (asked.long_listing) {
        options.mode = Mode::long_listing;
    } else if (asked.json) {
        options.mode = Mode::json;
    }
    options.listing.human_sizes = asked.human_sizes;
    return -1;
}

} // namespace

std::string help_text()
{
    return synopsis + std::string(description) + field_names_text();
}

void complain(const std::string& message)
{
    const std::string line = "b64num-lstat: " + message + "\n";
    // Nothing is left to tell if standard error fails; the status still says it.
    [[maybe_unused]] const ssize_t written = write(STDERR_FILENO, line.data(), line.size());
}

int parse_options(int argc, char* argv[], Options& options)
{
    enum {
        option_json = 256,
        option_du,
        option_ncdu,
        option_time_style,
        option_help,
        option_version
    };
    static const option long_options[] = {
        {"fields", required_argument, nullptr, 'f'},
        {"header", no_argument, nullptr, 'H'},
        {"json", no_argument, nullptr, option_json},
        {"long", no_argument, nullptr, 'l'},
        {"du", optional_argument, nullptr, option_du},
        {"ncdu", no_argument, nullptr, option_ncdu},
        {"time-style", required_argument, nullptr, option_time_style},
        {"human-readable", no_argument, nullptr, 'h'},
        {"help", no_argument, nullptr, option_help},
        {"version", no_argument, nullptr, option_version},
        {nullptr, 0, nullptr, 0},
    };
    options = Options{};
    options.fields = all_fields();
    options.listing.time.now = std::time(nullptr); // long-iso, ls's default here
    Asked asked;
    opterr = 0;
    std::string error;
    for (int choice; (choice = getopt_long(argc, argv, ":f:Hhl", long_options, nullptr)) != -1;) {
        switch (choice) {
        case 'f':
            if (!parse_field_list(optarg, options.fields, error)) {
                return usage_error(quoted_for_terminal(error), Hint::fields);
            }
            asked.fields = true;
            break;
        case 'l':
            asked.long_listing = true;
            break;
        case 'H':
            options.header = true;
            break;
        case 'h':
            asked.human_sizes = true;
            break;
        case option_time_style:
            if (!parse_time_style(optarg, options.listing.time.now, options.listing.time, error)) {
                return usage_error(quoted_for_terminal(error));
            }
            asked.time_style = true;
            break;
        case option_json:
            asked.json = true;
            break;
        case option_du:
            options.mode = Mode::du;
            ++asked.tree_reports;
            if (optarg != nullptr && !parse_depth(optarg, options.du_depth)) {
                return usage_error("invalid depth '" + quoted_for_terminal(optarg) +
                                   "': a number of levels, 0 or more");
            }
            break;
        case option_ncdu:
            options.mode = Mode::ncdu;
            ++asked.tree_reports;
            break;
        case option_help:
            options.help = true;
            return -1;
        case option_version:
            options.version = true;
            return -1;
        case ':': {
            const bool fields = optopt == 'f';
            return usage_error("option '" + quoted_for_terminal(argv[optind - 1]) +
                                   (fields ? "' needs a list of fields" : "' needs an argument"),
                               fields ? Hint::fields : Hint::usage);
        }
        default:
            return usage_error("unknown option '" +
                               quoted_for_terminal(optopt != 0
                                                       ? std::string{'-', static_cast<char>(optopt)}
                                                       : std::string(argv[optind - 1])) +
                               "'");
        }
    }
    options.first_file = optind;
    return check_combination(asked, options);
}

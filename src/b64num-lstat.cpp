// b64num-lstat: decodes Bacula LStat values, one a line, into named fields,
// as a filter for the output of catalog queries.
#include "backup_tree.h"
#include "catalog_rows.h"
#include "du_listing.h"
#include "field_list.h"
#include "line_reader.h"
#include "long_listing.h"
#include "lstat.h"
#include "lstat_output.h"
#include "ncdu_export.h"
#include "row_filter.h"
#include "terminal_text.h"

#include <fcntl.h>
#include <getopt.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <string>

#ifndef B64NUM_VERSION
#error "the build defines B64NUM_VERSION"
#endif

namespace {

constexpr int status_trouble = 1; // something could not be read or written
constexpr int status_usage = 2;

const char usage_text[] =
    "Usage: b64num-lstat [-f FIELDS] [-H] [--json] [FILE...]\n"
    "  or:  b64num-lstat -l [-h] [--time-style=STYLE] [FILE...]\n"
    "  or:  b64num-lstat --du[=DEPTH] [-h] | --ncdu [FILE...]\n"
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
    "  -H, --header       print a line of column names first (TAB-separated\n"
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
    "                     column must be the path (a directory's ends in /)\n"
    "      --ncdu         write the tree in ncdu's export format: ncdu -f FILE\n"
    "      --help         print this help and exit\n"
    "      --version      print the version and exit\n"
    "\n"
    "Fields: dev ino mode nlink uid gid rdev size blksize blocks atime mtime\n"
    "        ctime linkfi flags stream\n";

enum class TreeReport { none, du, ncdu };

struct Options {
    FieldSelection fields;
    bool fields_chosen;
    bool header;
    bool json;
    bool long_listing;
    TreeReport tree_report;
    int du_depth; // levels below the top; -1 for all
    ListingStyle listing;
    bool time_style_chosen;
    const char* text_only; // --help or --version: print this and stop
};

struct Run {
    Options options;
    OutputBuffer out;
    LineReader reader;
    RowFilter filter;
    BackupTree tree;               // for --du and --ncdu
    std::string quoted_input_name; // of the input being read
    bool header_pending;
    unsigned long empty_rows_held; // empty rows read before the header could be written
    int status;
};

// `message` must quote input with quoted_for_terminal().
void complain(const std::string& message)
{
    const std::string line = "b64num-lstat: " + message + "\n";
    // Nothing is left to tell if standard error fails; the status still says it.
    [[maybe_unused]] const ssize_t written = write(STDERR_FILENO, line.data(), line.size());
}

enum class Hint { usage, fields };

// Reports misuse of the command line, then what helps most: the known
// fields after a bad field, the usage lines after anything else.
int usage_error(const std::string& message, Hint hint = Hint::usage)
{
    std::string help;
    if (hint == Hint::fields) {
        help = "known fields:";
        for (const char* field : lstat_field_names) {
            help += std::string(" ") + field;
        }
        help += " (or their positions, 1 to " + std::to_string(lstat_field_count) + ")";
    } else {
        const char* const synopsis_end = std::strstr(usage_text, "\nDecode");
        help.assign(usage_text, static_cast<std::size_t>(synopsis_end - usage_text));
    }
    complain(message + "\n" + help + "\nTry 'b64num-lstat --help' for more information.");
    return status_usage;
}

// Reports a line that is not printed.
void reject(Run& run, unsigned long number, const std::string& reason)
{
    complain(run.quoted_input_name + ":" + std::to_string(number) + ": " + reason);
    run.status = status_trouble;
}

void write_header(Run& run, const PassThrough& columns)
{
    const int pass_through =
        columns.present ? count_columns(columns.text, columns.text + columns.length) : 0;
    write_tsv_header(run.out, pass_through, run.options.fields);
    run.header_pending = false;
    for (; run.empty_rows_held > 0; --run.empty_rows_held) {
        output_char(run.out, '\n');
    }
}

void add_row_to_tree(Run& run, const FilteredLine& line, const PassThrough& columns)
{
    if (!columns.present) {
        reject(run, line.number, "--du and --ncdu need the path as the first column");
        return;
    }
    const auto* const tab = static_cast<const char*>(std::memchr(line.text, '\t', columns.length));
    const std::size_t path_length =
        tab != nullptr ? static_cast<std::size_t>(tab - line.text) : columns.length;
    std::string reason;
    if (!add_to_tree(run.tree, line.number, line.text, path_length, *line.row, reason)) {
        reject(run, line.number, reason);
    }
}

void handle_line(void* context, const FilteredLine& line)
{
    Run& run = *static_cast<Run*>(context);
    if (line.refusal != nullptr) {
        reject(run, line.number, *line.refusal);
        return;
    }
    if (line.length == 0) { // a row without columns: an empty TSV line, nothing in JSON
        if (run.header_pending) {
            ++run.empty_rows_held;
        } else if (!run.options.json) {
            output_char(run.out, '\n');
        }
        return;
    }
    const bool has_columns = line.lstat != line.text;
    const PassThrough columns{
        line.text, has_columns ? static_cast<std::size_t>(line.lstat - 1 - line.text) : 0,
        has_columns};
    if (run.options.tree_report != TreeReport::none) {
        add_row_to_tree(run, line, columns);
        return;
    }
    if (run.header_pending) {
        write_header(run, columns);
    }
    const LstatRow& row = *line.row;
    if (row.has_overflow) {
        complain(run.quoted_input_name + ":" + std::to_string(line.number) + ": more than " +
                 std::to_string(lstat_field_count) + " numerals; the rest are not shown");
        run.status = status_trouble;
    }
    if (run.options.long_listing) {
        write_long_row(run.out, columns, row, run.options.listing);
    } else if (run.options.json) {
        write_json_row(run.out, columns, row, run.options.fields);
    } else {
        write_tsv_row(run.out, columns, row, run.options.fields);
    }
}

void process_file(Run& run, const char* path)
{
    const bool standard_input = std::strcmp(path, "-") == 0;
    run.quoted_input_name = standard_input ? "standard input" : quoted_for_terminal(path);
    const int fd = standard_input ? STDIN_FILENO : open(path, O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
        complain(run.quoted_input_name + ": " + std::strerror(errno));
        run.status = status_trouble;
        return;
    }
    start_reading(run.reader, fd);
    filter_start(run.filter, handle_line, &run);
    char* line = nullptr;
    std::size_t length = 0;
    for (unsigned long number = 1; run.out.error == 0; ++number) {
        const ReadResult read = read_line(run.reader, line, length);
        if (read == ReadResult::end) {
            break;
        }
        if (read == ReadResult::too_long) {
            filter_refused(run.filter, number,
                           "a line of " + std::to_string(length) +
                               " bytes, longer than any catalog row (at most " +
                               std::to_string(longest_line) + "); skipped");
        } else {
            filter_line(run.filter, number, line, length);
        }
    }
    if (run.out.error == 0) {
        filter_finish(run.filter);
    }
    if (run.reader.error != 0) {
        complain(run.quoted_input_name + ": " + std::strerror(run.reader.error));
        run.status = status_trouble;
    }
    if (!standard_input) {
        close(fd);
    }
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

// Returns -1 when the options are good and the run should go on, otherwise
// the exit status of a usage error.
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
    options = {all_fields(), false, false, false, false, TreeReport::none, -1, {}, false, nullptr};
    options.listing.time.now = std::time(nullptr); // long-iso, ls's default here
    int tree_reports = 0;
    opterr = 0;
    std::string error;
    for (int choice; (choice = getopt_long(argc, argv, ":f:Hhl", long_options, nullptr)) != -1;) {
        switch (choice) {
        case 'f':
            if (!parse_field_list(optarg, options.fields, error)) {
                return usage_error(quoted_for_terminal(error), Hint::fields);
            }
            options.fields_chosen = true;
            break;
        case 'l':
            options.long_listing = true;
            break;
        case 'H':
            options.header = true;
            break;
        case 'h':
            options.listing.human_sizes = true;
            break;
        case option_time_style:
            if (!parse_time_style(optarg, options.listing.time.now, options.listing.time, error)) {
                return usage_error(quoted_for_terminal(error));
            }
            options.time_style_chosen = true;
            break;
        case option_json:
            options.json = true;
            break;
        case option_du:
            options.tree_report = TreeReport::du;
            ++tree_reports;
            if (optarg != nullptr && !parse_depth(optarg, options.du_depth)) {
                return usage_error("invalid depth '" + quoted_for_terminal(optarg) +
                                   "': a number of levels, 0 or more");
            }
            break;
        case option_ncdu:
            options.tree_report = TreeReport::ncdu;
            ++tree_reports;
            break;
        case option_help:
            options.text_only = usage_text;
            return -1;
        case option_version:
            options.text_only = "b64num-lstat " B64NUM_VERSION "\n";
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
    if (tree_reports > 1 || (tree_reports == 1 && (options.fields_chosen || options.json ||
                                                   options.header || options.long_listing))) {
        return usage_error("--du and --ncdu report a whole tree: they cannot be combined with "
                           "each other or with -f, -l, --json or -H");
    }
    if (options.long_listing && (options.fields_chosen || options.json || options.header)) {
        return usage_error("-l lists whole rows: it cannot be combined with -f, --json or -H");
    }
    if (options.listing.human_sizes && !options.long_listing &&
        options.tree_report != TreeReport::du) {
        return usage_error("-h shows sizes as ls -lh and du -h do: it needs -l or --du");
    }
    if (options.time_style_chosen && !options.long_listing) {
        return usage_error("--time-style shows times as ls -l does: it needs -l");
    }
    return -1;
}

// A failed write must not pass for success: flush, close and report.
int finish(Run& run)
{
    output_flush(run.out);
    if (close(STDOUT_FILENO) != 0 && run.out.error == 0) {
        run.out.error = errno;
    }
    if (run.out.error != 0) {
        complain(std::string("write error: ") + std::strerror(run.out.error));
        return status_trouble;
    }
    return run.status;
}

} // namespace

int main(int argc, char* argv[])
{
    // Holds the output buffer, too large for the stack, and the tree of
    // --du and --ncdu: never freed, since the process ends with main, and
    // taking a tree of a million entries down first would only cost time.
    static Run& run = *new Run();
    const int parsed = parse_options(argc, argv, run.options);
    if (parsed >= 0) {
        return parsed;
    }
    run.out.fd = STDOUT_FILENO;
    run.out.terminal = isatty(STDOUT_FILENO) == 1;
    if (run.options.text_only != nullptr) {
        output_bytes(run.out, run.options.text_only, std::strlen(run.options.text_only));
        return finish(run);
    }
    run.header_pending = run.options.header && !run.options.json;
    if (run.options.long_listing) {
        tzset(); // once, not at every row
    }
    start_tree(run.tree, run.options.tree_report == TreeReport::ncdu);

    if (optind == argc) {
        process_file(run, "-");
    }
    for (int i = optind; i < argc && run.out.error == 0; ++i) {
        process_file(run, argv[i]);
    }
    if (run.header_pending) {
        write_header(run, PassThrough{nullptr, 0, false});
    }
    if (run.options.tree_report != TreeReport::none && run.out.error == 0) {
        finish_tree(run.tree);
        if (run.options.tree_report == TreeReport::du) {
            write_du_listing(run.out, run.tree, run.options.du_depth,
                             run.options.listing.human_sizes);
        } else {
            write_ncdu_export(run.out, run.tree, B64NUM_VERSION, std::time(nullptr));
        }
    }
    return finish(run);
}

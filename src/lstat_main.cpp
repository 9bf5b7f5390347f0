// b64num-lstat: decodes Bacula LStat values, one a line, into named fields,
// as a filter for the output of catalog queries.
#include "catalog_rows.h"
#include "line_reader.h"
#include "long_listing.h"
#include "lstat.h"
#include "lstat_output.h"

#include <fcntl.h>
#include <getopt.h>
#include <unistd.h>

#include <cerrno>
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
    "  or:  b64num-lstat -l [FILE...]\n"
    "Decode Bacula LStat values, one a line, into named fields.\n"
    "\n"
    "A line is an LStat value, optionally preceded by TAB-separated columns\n"
    "that are passed through. With no FILE, or when FILE is -, read standard input.\n"
    "Query with COPY (...) TO STDOUT or mysql -B, which escape the TABs, line\n"
    "feeds and backslashes of file names: TAB-separated output keeps columns\n"
    "escaped; JSON undoes \\\\ \\n \\r \\t \\b \\f \\v \\0, and \\N is null.\n"
    "A line that cannot be a whole row (another number of columns than the first\n"
    "line, a byte no numeral holds, a part of an LStat value) is reported and not\n"
    "printed, and the exit status is 1.\n"
    "\n"
    "  -f, --fields=LIST  the fields to print, by name or 1-based position,\n"
    "                     separated by commas (default: all of them)\n"
    "  -H, --header       print a line of column names first (TAB-separated\n"
    "                     output only: JSON Lines name every value)\n"
    "      --json         print JSON Lines instead of TAB-separated values\n"
    "  -l, --long         list the files as ls -l does: mode, links, owner,\n"
    "                     group, size (or major, minor), local time of last\n"
    "                     change (TZ applies), then the passed-through columns\n"
    "      --help         print this help and exit\n"
    "      --version      print the version and exit\n"
    "\n"
    "Fields: dev ino mode nlink uid gid rdev size blksize blocks atime mtime\n"
    "        ctime linkfi flags stream\n";

struct Options {
    FieldSelection fields;
    bool fields_chosen;
    bool header;
    bool json;
    bool long_listing;
    const char* text_only; // --help or --version: print this and stop
};

struct Run {
    Options options;
    OutputBuffer out;
    LineReader reader;
    bool header_pending;
    RowShape shape; // of the input being read
    int status;
};

void complain(const std::string& message)
{
    const std::string line = "b64num-lstat: " + message + "\n";
    // Nothing is left to tell if standard error fails; the status still says it.
    [[maybe_unused]] const ssize_t written = write(STDERR_FILENO, line.data(), line.size());
}

int usage_error(const std::string& message)
{
    std::string known;
    for (const char* field : lstat_field_names) {
        known += std::string(" ") + field;
    }
    complain(message + "\nknown fields:" + known + " (or their positions, 1 to " +
             std::to_string(lstat_field_count) +
             ")\nTry 'b64num-lstat --help' for more information.");
    return status_usage;
}

// Reports a line that is not printed.
void reject(Run& run, const char* name, unsigned long number, const std::string& reason)
{
    complain(std::string(name) + ":" + std::to_string(number) + ": " + reason);
    run.status = status_trouble;
}

void process_line(Run& run, const char* name, unsigned long number, char* line, std::size_t length)
{
    if (length > 0 && line[length - 1] == '\r') {
        line[--length] = '\0';
    }
    auto* const tab = static_cast<char*>(memrchr(line, '\t', length));
    const char* const lstat = tab != nullptr ? tab + 1 : line;
    std::string reason;
    if (!check_row(run.shape, number, line, length, lstat, reason)) {
        reject(run, name, number, reason);
        return;
    }
    const PassThrough columns{line, tab != nullptr ? static_cast<std::size_t>(tab - line) : 0,
                              tab != nullptr};
    if (run.header_pending) {
        int pass_through = 0;
        for (const char* c = line; columns.present && c <= tab; ++c) {
            pass_through += *c == '\t' ? 1 : 0;
        }
        write_tsv_header(run.out, pass_through, run.options.fields);
        run.header_pending = false;
    }
    if (length == 0) {
        output_char(run.out, '\n');
        return;
    }
    LstatRow row;
    decode_lstat(lstat, row);
    if (!check_numerals(run.shape, row.count, reason)) {
        reject(run, name, number, reason);
        return;
    }
    if (row.has_overflow) {
        complain(std::string(name) + ":" + std::to_string(number) + ": more than " +
                 std::to_string(lstat_field_count) + " numerals; the rest are not shown");
        run.status = status_trouble;
    }
    if (run.options.long_listing) {
        write_long_row(run.out, columns, row);
    } else if (run.options.json) {
        write_json_row(run.out, columns, row, run.options.fields);
    } else {
        write_tsv_row(run.out, columns, row, run.options.fields);
    }
}

void process_file(Run& run, const char* path)
{
    const bool standard_input = std::strcmp(path, "-") == 0;
    const char* const name = standard_input ? "standard input" : path;
    const int fd = standard_input ? STDIN_FILENO : open(path, O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
        complain(std::string(name) + ": " + std::strerror(errno));
        run.status = status_trouble;
        return;
    }
    start_reading(run.reader, fd);
    run.shape = RowShape{};
    char* line = nullptr;
    std::size_t length = 0;
    for (unsigned long number = 1; run.out.error == 0 && read_line(run.reader, line, length);
         ++number) {
        process_line(run, name, number, line, length);
    }
    if (run.reader.error != 0) {
        complain(std::string(name) + ": " + std::strerror(run.reader.error));
        run.status = status_trouble;
    }
    if (!standard_input) {
        close(fd);
    }
}

// Returns -1 when the options are good and the run should go on, otherwise
// the exit status of a usage error.
int parse_options(int argc, char* argv[], Options& options)
{
    enum { option_json = 256, option_help, option_version };
    static const option long_options[] = {
        {"fields", required_argument, nullptr, 'f'},
        {"header", no_argument, nullptr, 'H'},
        {"json", no_argument, nullptr, option_json},
        {"long", no_argument, nullptr, 'l'},
        {"help", no_argument, nullptr, option_help},
        {"version", no_argument, nullptr, option_version},
        {nullptr, 0, nullptr, 0},
    };
    options = {all_fields(), false, false, false, false, nullptr};
    opterr = 0;
    for (int choice; (choice = getopt_long(argc, argv, ":f:Hl", long_options, nullptr)) != -1;) {
        std::string error;
        switch (choice) {
        case 'f':
            if (!parse_field_list(optarg, options.fields, error)) {
                return usage_error(error);
            }
            options.fields_chosen = true;
            break;
        case 'l':
            options.long_listing = true;
            break;
        case 'H':
            options.header = true;
            break;
        case option_json:
            options.json = true;
            break;
        case option_help:
            options.text_only = usage_text;
            return -1;
        case option_version:
            options.text_only = "b64num-lstat " B64NUM_VERSION "\n";
            return -1;
        case ':':
            return usage_error(std::string("option '") + argv[optind - 1] +
                               "' needs a list of fields");
        default:
            return usage_error(
                optopt != 0 ? std::string("unknown option '-") + static_cast<char>(optopt) + "'"
                            : std::string("unknown option '") + argv[optind - 1] + "'");
        }
    }
    if (options.long_listing && (options.fields_chosen || options.json || options.header)) {
        return usage_error("-l lists whole rows: it cannot be combined with -f, --json or -H");
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
    static Run run; // holds the output buffer: too large for the stack
    const int parsed = parse_options(argc, argv, run.options);
    if (parsed >= 0) {
        return parsed;
    }
    run.out.fd = STDOUT_FILENO;
    if (run.options.text_only != nullptr) {
        output_bytes(run.out, run.options.text_only, std::strlen(run.options.text_only));
        return finish(run);
    }
    run.header_pending = run.options.header && !run.options.json;
    if (run.options.long_listing) {
        tzset(); // once, not at every row
    }

    if (optind == argc) {
        process_file(run, "-");
    }
    for (int i = optind; i < argc && run.out.error == 0; ++i) {
        process_file(run, argv[i]);
    }
    if (run.header_pending) {
        write_tsv_header(run.out, 0, run.options.fields);
    }
    return finish(run);
}

#include "lstat_options.h"

#include "buffer_size.h"
#include "selection_options.h"
#include "terminal_text.h"
#include "treemap_svg.h"

#include <getopt.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <charconv>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <string>
#include <string_view>
#include <system_error>
#include <vector>

namespace {

const char selections_note[] =
    "Each but --jobs with the selections --type, --size, --newer, --older, --uid,\n"
    "--gid, --name and --under, and with --csv; each reads, for FILE..., "
    "--catalog=URI\nSELECTION, and --diff, for OLD NEW, --job twice. SELECTION is "
    "--job=ID[,ID...]\nor --client=NAME[,NAME...] [--chain] [--before=TIME] "
    "[--fileset=NAME].\n";

// The usage lines, one a mode, from the table of modes, wrapped before an
// option where a line would pass 79 columns.
std::string synopsis()
{
    std::string text;
    for (const ModeTraits& mode : mode_table) {
        std::string line = text.empty() ? "Usage: b64num-lstat" : "  or:  b64num-lstat";
        std::size_t line_start = text.size();
        text += line;
        std::string_view usage = mode.usage;
        while (!usage.empty()) {
            std::size_t end = usage.find(" [", 1);
            // "[-h | --json]" and "[--latest | --all-versions]" stay whole.
            const std::string_view word = usage.substr(0, end);
            if (text.size() - line_start + 1 + word.size() > 79) {
                text += "\n                   ";
                line_start = text.size() - 19;
            }
            text += ' ';
            text += word;
            usage = end == std::string_view::npos ? std::string_view() : usage.substr(end + 1);
        }
        text += '\n';
    }
    return text + selections_note;
}

// The exit statuses, from the table of modes: a report's, and where a mode
// exits otherwise, its own after it.
std::string exit_statuses()
{
    std::string text = "Exit status:\n";
    for (int status = 0; status < 3; ++status) {
        text += " " + std::to_string(status) + "  " + report_statuses.meaning[status];
        for (const ModeTraits& mode : mode_table) {
            if (mode.statuses != &report_statuses) {
                text += std::string("; with ") + mode.name + ", " + mode.statuses->meaning[status];
            }
        }
        text += '\n';
    }
    return text;
}

const char description[] =
    "Decode Bacula LStat values, one a line, into named fields.\n"
    "\n"
    "A line is an LStat value, optionally preceded by TAB-separated columns\n"
    "that are passed through. With no FILE, or when FILE is -, read standard input.\n"
    "Query with COPY (...) TO STDOUT or mysql -B, which escape the TABs, line\n"
    "feeds and backslashes of file names: TAB-separated output keeps columns\n"
    "escaped; JSON undoes \\\\ \\n \\r \\t \\b \\f \\v \\0, and \\N is null.\n"
    "A header line at the top (its last column is named LStat) is skipped.\n"
    "With --csv, read CSV (RFC 4180) as sqlite3 -csv and psql --csv write it:\n"
    "fields separated by commas, quoted with \" where they hold a comma, a quote\n"
    "(doubled), a CR or a line feed, an empty field without quotes being NULL;\n"
    "the LStat value is the last field. TAB-separated output then escapes the\n"
    "columns passed through as COPY does (\\\\ \\b \\t \\n \\v \\f \\r).\n"
    "A line that cannot be a whole row (other columns than the first whole row,\n"
    "a byte no numeral holds, fewer than 13 numerals, over 1 MiB) is reported\n"
    "(ten of each input in full, the rest counted) and not printed, and the\n"
    "exit status is 1. Control characters in columns are shown as ls -b shows\n"
    "them with -l, and on a terminal.\n"
    "\n"
    "  -f, --fields=LIST  the fields to print, by name or 1-based position,\n"
    "                     separated by commas (default: all of them)\n"
    "  -H, --header       print a line of column names first, those of a header\n"
    "                     line of the input for its columns (TAB-separated\n"
    "                     output only: JSON Lines name every value)\n"
    "      --json         print JSON Lines instead of TAB-separated values; with\n"
    "                     --du and --diff --summary, one JSON document\n"
    "  -l, --long         list the files as ls -l does: mode, links, owner,\n"
    "                     group, size (or major, minor), local time of last\n"
    "                     modification (TZ applies), then the passed-through columns\n"
    "      --time-style=STYLE  times as ls shows them, with -l and for atime,\n"
    "                     mtime and ctime of -f and --json: long-iso (the\n"
    "                     default of -l), full-iso, iso, or +FORMAT (strftime; a\n"
    "                     line feed parts the format of older times from that of\n"
    "                     the past six months)\n"
    "  -h, --human-readable  sizes with -l, --du, --diff and --by as ls -lh and\n"
    "                     du -h print them: 1.0K, 234M, 2.5G (powers of 1024,\n"
    "                     rounded up)\n"
    "      --du[=DEPTH]   print each directory's total bytes, counting everything\n"
    "                     at or below it, as du -b prints them for the restored\n"
    "                     files, down to DEPTH levels below the top; the first\n"
    "                     column must be the path (a directory's mode makes it\n"
    "                     one; its path may end in /)\n"
    "      --ncdu         write the tree in ncdu's export format, which ncdu -f FILE\n"
    "                     and gdu -f FILE browse\n"
    "      --qdirstat     write the tree as a QDirStat cache file, which\n"
    "                     qdirstat --cache FILE browses\n"
    "      --treemap[=WIDTHxHEIGHT]  write the tree that --du totals as an SVG\n"
    "                     treemap, 1600x1000 pixels by default, 320x200 at least:\n"
    "                     each file a rectangle whose area is its bytes, nested\n"
    "                     in its directories, colored by its name's extension\n"
    "      --by=KEYS      the entries and bytes of the rows by class, largest first,\n"
    "                     as --du counts them: type, uid, gid; kind (the last\n"
    "                     extension that is not all digits), year, month (of mtime,\n"
    "                     local time) and size (0, or the power of two N with\n"
    "                     N <= size < 2N) of regular files; or several, as uid,kind\n"
    "      --disk-usage   with --du, --treemap, --by and --diff, count blocks times\n"
    "                     512, the disk usage that du shows without -b, not the size\n"
    "      --sorted       the rows come in path order, as ORDER BY the path in a\n"
    "                     byte-wise collation gives them (then by JobId for\n"
    "                     --latest): the tree modes sort nothing, --du and --by\n"
    "                     keep only the directories open above the current row,\n"
    "                     --diff merges OLD and NEW as comm does; a row out of\n"
    "                     order stops the mode with status 1\n"
    "  -S, --buffer-size=SIZE  the memory that the tree modes, --diff and --by\n"
    "                     sort their rows in, as sort -S takes it: KiB, or\n"
    "                     with b, K, M, G, T or % of physical memory (default\n"
    "                     256M, at most half of the process's memory limits);\n"
    "                     beyond it, sorted runs go to temporary files, which\n"
    "                     have no name\n"
    "  -T, --temporary-directory=DIR  where those files go (default: $TMPDIR,\n"
    "                     else /tmp)\n"
    "      --catalog=URI  read the rows of the jobs of --job from the catalog itself:\n"
    "                     sqlite:PATH, postgresql://... or a libpq connection string,\n"
    "                     mysql://...; default $B64NUM_CATALOG\n"
    "      --job=ID[,ID...]  the JobIds to read, a job or a chain, in any order (job\n"
    "                     order is JobTDate's); --diff takes it twice, OLD, NEW\n"
    "      --client=NAME[,NAME...]  the good backups (JobStatus T or W) of these\n"
    "                     clients; with several, each client's files under a top\n"
    "                     named after it\n"
    "      --chain        of each client, the jobs a restore of its latest state\n"
    "                     uses: the last good Full, the last good Differential\n"
    "                     after it, the good Incrementals after those\n"
    "      --before=TIME  only jobs started before TIME, as --newer reads it\n"
    "      --fileset=NAME  only jobs of this FileSet, where a client has several\n"
    "      --jobs         list the jobs of the selection as TSV: JobId, Client,\n"
    "                     Level, StartTime, JobFiles, JobBytes\n"
    "      --progress, --no-progress  show, or do not, a line on standard error\n"
    "                     while the rows are read: rows, rate, and with --catalog\n"
    "                     the share of the jobs' files and the time left (default:\n"
    "                     where standard error is a terminal)\n"
    "      --latest       in --du, --ncdu, --qdirstat, --treemap, --by and --diff,\n"
    "                     the last row of a path counts (a full backup and the\n"
    "                     incrementals after it)\n"
    "      --all-versions  the same, every row of a path counts (the bytes that\n"
    "                     several jobs backed up); by default a path given\n"
    "                     twice is reported and its first row counts\n"
    "      --diff         compare two inputs, OLD then NEW (one may be -), and print\n"
    "                     STATUS, TAB, DELTA (NEW's size minus OLD's), TAB, PATH for\n"
    "                     each path that differs, in path order: + only in NEW,\n"
    "                     - only in OLD, T other type, M size, mtime or a column\n"
    "                     between path and LStat differs, U permission bits or\n"
    "                     another field differ; a path given twice a side is\n"
    "                     trouble without --latest; exit status 0 when the\n"
    "                     inputs are the same, 1 when they differ, 2 for trouble\n"
    "      --compare=FIELDS  the fields whose differences count, by name or\n"
    "                     position (default: mode,uid,gid,rdev,size,mtime)\n"
    "      --summary      with --diff, one line for each status: the number of\n"
    "                     paths and the sum of their DELTA\n"
    "\n"
    "Selections, in every mode, each given once, ANDed; in --du, --ncdu, --qdirstat,\n"
    "--treemap and --by they decide which rows count, in --diff which paths are compared:\n"
    "      --type=LETTERS  the type, as find -printf %y prints it, is one of\n"
    "                     LETTERS (f d l b c p s ?)\n"
    "      --size=[+|-]N[K|M|G|T|P]  size more than (+), less than (-) or exactly\n"
    "                     N bytes, K, M, ... being powers of 1024; exact bytes,\n"
    "                     where find -size rounds up to its units\n"
    "      --newer=TIME   mtime at or after TIME: YYYY-MM-DD, 'YYYY-MM-DD HH:MM' or\n"
    "                     'YYYY-MM-DD HH:MM:SS' in local time, or @SECONDS\n"
    "      --older=TIME   mtime before TIME\n"
    "      --uid=N[,N...], --gid=N[,N...]  the owner, the group is one of them\n"
    "      --name=GLOB    the last component of the path matches GLOB, as\n"
    "                     find -name matches it, on the name's real bytes\n"
    "      --under=PATH   the path is PATH or lies below it; the top of a tree\n"
    "\n"
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
    return text + "\n        and, read from mode, type (f d l b c p s ?) and perm (-rw-r--r--);\n"
                  "        with --catalog, jobid and jobtime of the job that holds the row\n";
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
               std::to_string(lstat_field_count) + "), and type and perm, read from mode";
    } else {
        help = synopsis();
        help.pop_back(); // its last line feed
    }
    complain(message + "\n" + help + "\nTry 'b64num-lstat --help' for more information.");
    return status_usage;
}

// A second list would silently replace the first, as cut refuses to do.
std::string one_list_only(const char* option)
{
    return std::string(option) + " takes one list: give every field in it, as in " + option +
           " size,mtime";
}

// Reads a --treemap size, WIDTHxHEIGHT in pixels.
bool parse_size(const char* text, int& width, int& height)
{
    char* end = nullptr;
    errno = 0;
    const long parsed_width = std::strtol(text, &end, 10);
    if (*text < '0' || *text > '9' || *end != 'x' || errno != 0) {
        return false;
    }
    const char* const second = end + 1;
    const long parsed_height = std::strtol(second, &end, 10);
    if (*second < '0' || *second > '9' || *end != '\0' || errno != 0 ||
        parsed_width < smallest_treemap_width || parsed_height < smallest_treemap_height ||
        parsed_width > largest_treemap_side || parsed_height > largest_treemap_side) {
        return false;
    }
    width = static_cast<int>(parsed_width);
    height = static_cast<int>(parsed_height);
    return true;
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
    std::vector<Mode> modes; // chosen by their options, in the order given
    unsigned takes = 0;      // the options given that a mode may take (see Takes)
};

// "a", "a or b", "a, b or c".
std::string listed(const std::vector<const char*>& names)
{
    std::string text;
    for (std::size_t i = 0; i < names.size(); ++i) {
        text += i == 0 ? "" : i + 1 == names.size() ? " or " : ", ";
        text += names[i];
    }
    return text;
}

// Holds the options to one another, as the table of modes says: one mode,
// and what it takes.
int check_combination(const Asked& asked, Options& options)
{
    if (asked.modes.size() > 1) {
        const ModeTraits& first = traits_of(asked.modes[0]);
        return usage_error(std::string(first.name) + " " + first.does +
                           ": it cannot be combined with " + traits_of(asked.modes[1]).name);
    }
    const bool chosen = !asked.modes.empty();
    const ModeTraits& mode = traits_of(chosen ? asked.modes[0] : Mode::fields);
    const unsigned refused = asked.takes & ~mode.takes;
    if (refused != 0 && chosen) {
        std::vector<const char*> names;
        for (const OptionTraits& option : option_table) {
            if ((refused & option.bit) != 0) {
                names.push_back(option.name);
            }
        }
        return usage_error(std::string(mode.name) + " " + mode.does +
                           ": it cannot be combined with " + listed(names));
    }
    for (const OptionTraits& option : option_table) {
        if ((refused & option.bit) == 0) {
            continue;
        }
        std::vector<const char*> modes;
        for (const ModeTraits& taker : mode_table) {
            if ((taker.takes & option.bit) != 0) {
                modes.push_back(taker.name);
            }
        }
        const bool several = std::strstr(option.name, " and ") != nullptr;
        return usage_error(std::string(option.does) + (several ? ": they need " : ": it needs ") +
                           listed(modes));
    }
    const auto given = [&asked](unsigned bits) { return (asked.takes & bits) == bits; };
    if (given(takes_latest | takes_all_versions)) {
        return usage_error("--latest and --all-versions cannot be combined");
    }
    if (given(takes_json | takes_header)) {
        return usage_error("--json names every value: it cannot be combined with -H");
    }
    if (given(takes_json | takes_human)) {
        return usage_error("--json writes numbers: it cannot be combined with -h");
    }
    options.mode = chosen ? mode.mode : given(takes_json) ? Mode::json : Mode::fields;
    options.times_in_style = given(takes_time_style);
    options.listing.human_sizes = given(takes_human);
    options.diff_report = given(takes_json | takes_summary) ? DiffReport::summary_json
                          : given(takes_json)               ? DiffReport::json
                          : given(takes_summary)            ? DiffReport::summary
                                                            : DiffReport::lines;
    options.json = given(takes_json);
    options.by_style = {given(takes_json) ? ByReport::json : ByReport::lines, options.header,
                        options.listing.human_sizes};
    return -1;
}

// A list of JobIds, each a positive number, each once: a job read twice
// would count twice under --all-versions.
bool parse_job_ids(const char* text, std::vector<std::int64_t>& ids)
{
    const std::string_view list(text);
    for (std::size_t at = 0; at <= list.size();) {
        const std::size_t end = std::min(list.find(',', at), list.size());
        std::int64_t id = 0;
        const char* const first = list.data() + at;
        const char* const last = list.data() + end;
        const auto [stop, error] = std::from_chars(first, last, id);
        if (first == last || error != std::errc() || stop != last || id <= 0 ||
            std::find(ids.begin(), ids.end(), id) != ids.end()) {
            return false;
        }
        ids.push_back(id);
        at = end + 1;
    }
    return true;
}

// Client names, each once, none empty.
bool parse_client_names(const char* text, std::vector<std::string>& names)
{
    const std::string_view list(text);
    for (std::size_t at = 0; at <= list.size();) {
        const std::size_t end = std::min(list.find(',', at), list.size());
        const std::string name(list.substr(at, end - at));
        if (name.empty() || std::find(names.begin(), names.end(), name) != names.end()) {
            return false;
        }
        names.push_back(name);
        at = end + 1;
    }
    return true;
}

// --catalog reads the rows in place of FILE, the jobs that --job names or
// a client's, in no order the rows promise.
int check_catalog(int argc, Options& options)
{
    const bool by_client = !options.clients.empty();
    const bool selected = !options.job_lists.empty() || by_client;
    if (!selected && options.catalog.empty() && options.mode != Mode::jobs) {
        if (options.chain || options.has_before || !options.fileset.empty()) {
            return usage_error("--chain, --before and --fileset choose among the jobs of "
                               "--client=NAME");
        }
        const int* const fields = options.fields.indices;
        if (std::any_of(fields, fields + options.fields.count, is_job_field)) {
            return usage_error("the fields jobid and jobtime are those of the job that holds a "
                               "row, known where --catalog reads the rows");
        }
        return -1;
    }
    if (options.catalog.empty()) {
        const char* const from_environment = std::getenv("B64NUM_CATALOG");
        if (from_environment == nullptr || *from_environment == '\0') {
            return usage_error("a selection of jobs reads the catalog that --catalog=URI, or "
                               "B64NUM_CATALOG, names");
        }
        options.catalog = from_environment;
    }
    const auto inputs = static_cast<std::size_t>(std::max(traits_of(options.mode).inputs, 1));
    if (!selected) {
        return usage_error("--catalog needs the jobs to read: --job=ID[,ID...] or "
                           "--client=NAME[,NAME...]");
    }
    if (by_client && !options.job_lists.empty()) {
        return usage_error("--job and --client are two selections: give one");
    }
    if (!by_client && (options.chain || options.has_before || !options.fileset.empty())) {
        return usage_error("--chain, --before and --fileset choose among the jobs of "
                           "--client=NAME");
    }
    if (inputs == 2 && options.job_lists.size() != 2) {
        return usage_error("--diff --catalog compares two selections: --job twice, OLD's then "
                           "NEW's");
    }
    if (inputs == 1 && options.job_lists.size() > 1) {
        return usage_error("--job takes one list: give every job in it, as in --job=40,41,42");
    }
    if (argc > options.first_file) {
        return usage_error("--catalog reads the rows: give it no FILE");
    }
    if (options.sorted) {
        return usage_error("--catalog's rows come in no order, and the tool sorts them: leave "
                           "out --sorted");
    }
    if (options.csv) {
        return usage_error("--catalog reads the rows from the catalog itself: leave out --csv");
    }
    options.listing.shows_job = true;
    return -1;
}

// --diff reads two inputs, and standard input can be one of them only.
int check_operands(int argc, char* argv[], const Options& options)
{
    if (traits_of(options.mode).inputs != 2 || !options.catalog.empty()) {
        return -1;
    }
    if (argc - options.first_file != 2) {
        return usage_error("--diff compares two inputs: OLD and NEW");
    }
    if (std::strcmp(argv[options.first_file], "-") == 0 &&
        std::strcmp(argv[options.first_file + 1], "-") == 0) {
        return usage_error("--diff reads standard input once: OLD and NEW cannot both be -");
    }
    return -1;
}

} // namespace

std::string help_text()
{
    return synopsis() + description + field_names_text() + "\n" + exit_statuses();
}

void complain(const std::string& message)
{
    const std::string line = "b64num-lstat: " + message + "\n";
    // Nothing is left to tell if standard error fails; the status still says it.
    [[maybe_unused]] const ssize_t written = write(STDERR_FILENO, line.data(), line.size());
}

int parse_options(int argc, char* argv[], Options& options)
{
    std::string error;
    enum {
        option_json = 256,
        option_du,
        option_ncdu,
        option_treemap,
        option_diff,
        option_compare,
        option_summary,
        option_latest,
        option_all_versions,
        option_time_style,
        option_help,
        option_version,
        option_selection, // --type and the other tests: the name says which
        option_by,
        option_disk_usage,
        option_qdirstat,
        option_csv,
        option_sorted,
        option_catalog,
        option_job,
        option_client,
        option_chain,
        option_before,
        option_fileset,
        option_jobs,
        option_progress,
        option_no_progress,
    };
    static const option long_options[] = {
        {"fields", required_argument, nullptr, 'f'},
        {"header", no_argument, nullptr, 'H'},
        {"json", no_argument, nullptr, option_json},
        {"long", no_argument, nullptr, 'l'},
        {"du", optional_argument, nullptr, option_du},
        {"ncdu", no_argument, nullptr, option_ncdu},
        {"treemap", optional_argument, nullptr, option_treemap},
        {"diff", no_argument, nullptr, option_diff},
        {"compare", required_argument, nullptr, option_compare},
        {"summary", no_argument, nullptr, option_summary},
        {"latest", no_argument, nullptr, option_latest},
        {"all-versions", no_argument, nullptr, option_all_versions},
        {"time-style", required_argument, nullptr, option_time_style},
        {"human-readable", no_argument, nullptr, 'h'},
        {"help", no_argument, nullptr, option_help},
        {"version", no_argument, nullptr, option_version},
        {"by", required_argument, nullptr, option_by},
        {"disk-usage", no_argument, nullptr, option_disk_usage},
        {"qdirstat", no_argument, nullptr, option_qdirstat},
        {"csv", no_argument, nullptr, option_csv},
        {"sorted", no_argument, nullptr, option_sorted},
        {"catalog", required_argument, nullptr, option_catalog},
        {"job", required_argument, nullptr, option_job},
        {"client", required_argument, nullptr, option_client},
        {"chain", no_argument, nullptr, option_chain},
        {"before", required_argument, nullptr, option_before},
        {"fileset", required_argument, nullptr, option_fileset},
        {"jobs", no_argument, nullptr, option_jobs},
        {"progress", no_argument, nullptr, option_progress},
        {"no-progress", no_argument, nullptr, option_no_progress},
        {"buffer-size", required_argument, nullptr, 'S'},
        {"temporary-directory", required_argument, nullptr, 'T'},
        {"type", required_argument, nullptr, option_selection},
        {"size", required_argument, nullptr, option_selection},
        {"newer", required_argument, nullptr, option_selection},
        {"older", required_argument, nullptr, option_selection},
        {"uid", required_argument, nullptr, option_selection},
        {"gid", required_argument, nullptr, option_selection},
        {"name", required_argument, nullptr, option_selection},
        {"under", required_argument, nullptr, option_selection},
        {nullptr, 0, nullptr, 0},
    };
    std::vector<std::string> selections_given;
    options = Options{};
    options.fields = all_fields();
    const char* const default_compare = "mode,uid,gid,rdev,size,mtime";
    if (!parse_field_list(default_compare, options.compare, error)) {
        return usage_error(error);
    }
    options.listing.time.now = std::time(nullptr); // long-iso, ls's default here
    Asked asked;
    opterr = 0;
    int index = 0;
    for (int choice;
         (choice = getopt_long(argc, argv, ":f:HhlS:T:", long_options, &index)) != -1;) {
        switch (choice) {
        case option_disk_usage:
            options.disk_usage = true;
            asked.takes |= takes_disk_usage;
            break;
        case option_csv:
            options.csv = true;
            break;
        case option_sorted:
            options.sorted = true;
            asked.takes |= takes_sorted;
            break;
        case option_catalog:
            options.catalog = optarg;
            asked.takes |= takes_catalog;
            break;
        case option_job:
            if (options.job_lists.size() == 2) {
                return usage_error("--job is given once, or for --diff twice");
            }
            if (!parse_job_ids(optarg, options.job_lists.emplace_back())) {
                return usage_error("invalid job list '" + quoted_for_terminal(optarg) +
                                   "': JobIds, each once, as in --job=42 or --job=40,41,42");
            }
            asked.takes |= takes_catalog;
            break;
        case option_client:
            if (!options.clients.empty() || !parse_client_names(optarg, options.clients)) {
                return usage_error("invalid client list '" + quoted_for_terminal(optarg) +
                                   "': names, each once, as in --client=c1 or --client=c1,c2, "
                                   "and --client once");
            }
            asked.takes |= takes_catalog;
            break;
        case option_chain:
            options.chain = true;
            asked.takes |= takes_catalog;
            break;
        case option_before:
            if (!parse_time(optarg, options.before)) {
                return usage_error("invalid time '" + quoted_for_terminal(optarg) +
                                   "': as --newer's, YYYY-MM-DD, 'YYYY-MM-DD HH:MM' or "
                                   "'YYYY-MM-DD HH:MM:SS' in local time, or @SECONDS");
            }
            options.has_before = true;
            asked.takes |= takes_catalog;
            break;
        case option_fileset:
            options.fileset = optarg;
            asked.takes |= takes_catalog;
            break;
        case option_jobs:
            asked.modes.push_back(Mode::jobs);
            break;
        case option_progress:
        case option_no_progress:
            options.progress = choice == option_progress ? 1 : 0;
            break;
        case 'S':
            if (!parse_buffer_size(optarg, options.buffer_size)) {
                return usage_error("invalid buffer size '" + quoted_for_terminal(optarg) +
                                   "': KiB, or a number with b, K, M, G, T or %");
            }
            asked.takes |= takes_sort_settings;
            break;
        case 'T':
            options.temporary_directory = optarg;
            asked.takes |= takes_sort_settings;
            break;
        case option_by:
            if (std::count(asked.modes.begin(), asked.modes.end(), Mode::by) > 0) {
                return usage_error("--by takes one list: give every key in it, as in --by "
                                   "uid,kind");
            }
            if (!parse_by_keys(optarg, options.by_keys, error)) {
                return usage_error(quoted_for_terminal(error));
            }
            asked.modes.push_back(Mode::by);
            break;
        case option_selection: {
            const std::string name = long_options[index].name;
            if (std::find(selections_given.begin(), selections_given.end(), name) !=
                selections_given.end()) {
                return usage_error("--" + name + " may be given once: the tests are ANDed");
            }
            selections_given.push_back(name);
            if (!parse_selection(name, optarg, options.selection, error)) {
                return usage_error(quoted_for_terminal(error));
            }
            break;
        }
        case 'f':
            if ((asked.takes & takes_fields) != 0) {
                return usage_error(one_list_only("-f"), Hint::fields);
            }
            if (!parse_field_list(optarg, options.fields, error)) {
                return usage_error(quoted_for_terminal(error), Hint::fields);
            }
            asked.takes |= takes_fields;
            break;
        case 'l':
            asked.modes.push_back(Mode::long_listing);
            break;
        case 'H':
            options.header = true;
            asked.takes |= takes_header;
            break;
        case 'h':
            asked.takes |= takes_human;
            break;
        case option_time_style:
            if (!parse_time_style(optarg, options.listing.time.now, options.listing.time, error)) {
                return usage_error(quoted_for_terminal(error));
            }
            asked.takes |= takes_time_style;
            break;
        case option_json:
            asked.takes |= takes_json;
            break;
        case option_du:
            asked.modes.push_back(Mode::du);
            if (optarg != nullptr && !parse_depth(optarg, options.du_depth)) {
                return usage_error("invalid depth '" + quoted_for_terminal(optarg) +
                                   "': a number of levels, 0 or more");
            }
            break;
        case option_ncdu:
            asked.modes.push_back(Mode::ncdu);
            break;
        case option_qdirstat:
            asked.modes.push_back(Mode::qdirstat);
            break;
        case option_treemap:
            asked.modes.push_back(Mode::treemap);
            if (optarg != nullptr &&
                !parse_size(optarg, options.treemap_width, options.treemap_height)) {
                return usage_error("invalid size '" + quoted_for_terminal(optarg) +
                                   "': WIDTHxHEIGHT in pixels, 320x200 to 16384x16384");
            }
            break;
        case option_diff:
            asked.modes.push_back(Mode::diff);
            break;
        case option_compare:
            if ((asked.takes & takes_compare) != 0) {
                return usage_error(one_list_only("--compare"), Hint::fields);
            }
            if (!parse_field_list(optarg, options.compare, error)) {
                return usage_error(quoted_for_terminal(error), Hint::fields);
            }
            for (int i = 0; i < options.compare.count; ++i) {
                if (options.compare.indices[i] >= lstat_field_count) {
                    return usage_error(std::string("--compare takes the fields of an LStat "
                                                   "value: '") +
                                           selected_field_name(options.compare.indices[i]) +
                                           "' is read from mode",
                                       Hint::fields);
                }
            }
            asked.takes |= takes_compare;
            break;
        case option_summary:
            asked.takes |= takes_summary;
            break;
        case option_latest:
            options.versions = Versions::latest;
            asked.takes |= takes_latest;
            break;
        case option_all_versions:
            options.versions = Versions::all;
            asked.takes |= takes_all_versions;
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
    const int status = check_combination(asked, options);
    if (status >= 0) {
        return status;
    }
    const int catalog_status = check_catalog(argc, options);
    return catalog_status >= 0 ? catalog_status : check_operands(argc, argv, options);
}

// b64num-lstat: decodes Bacula LStat values, one a line, into named fields,
// as a filter for the output of catalog queries. The entry point: it picks
// the writer of the mode asked for, reads the inputs through the row filter,
// and reports every line that is not printed.
#include "catalog_reader.h"
#include "client_escapes.h"
#include "csv_reader.h"
#include "job_listing.h"
#include "line_reader.h"
#include "line_reports.h"
#include "line_stream.h"
#include "lstat_modes.h"
#include "lstat_options.h"
#include "output_buffer.h"
#include "path_order.h"
#include "progress_line.h"
#include "row_filter.h"
#include "row_selection.h"
#include "row_writers.h"
#include "terminal_text.h"

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <ctime>
#include <memory>
#include <new>
#include <stdexcept>
#include <string>
#include <vector>

#ifndef B64NUM_VERSION
#error "the build defines B64NUM_VERSION"
#endif

namespace {

struct Run;

// One input being read: its reader, the filter of its lines, and what is
// reported of them.
struct Input final : LineSink {
    Run* run = nullptr;
    LineReader reader;
    CsvReader csv_reader; // with --csv
    RowFilter filter;
    std::string quoted_name;
    LineReports reports;
    PathOrder order; // of --diff's side, each in its own order
    int fd = -1;
    bool standard_input = false;
    unsigned long number = 0; // of the last line read

    void take(CatalogLine& line) override;
};

struct Run final : RefusalReporter {
    Options options;
    OutputBuffer out;
    ProgressLine progress; // on standard error, while the rows are read
    Input inputs[2];       // one after the other, or both at once (--sorted --diff)
    std::unique_ptr<RowWriter> writer;
    RowRules rules;                // what the mode needs of a row
    bool selecting = false;        // the command line selects rows
    bool takes_unselected = false; // and the writer takes the others too
    std::string scratch;           // a path's real bytes, while selecting
    PathOrder order;               // with --sorted, over all the inputs of a tree
    bool stopped = false;          // a row broke the order that --sorted promised
    bool differs = false;          // --diff found a difference
    int status = 0;
    // Each input's name, and what is reported of the rows that the writer
    // refuses at the end, when the inputs are read.
    std::vector<std::string> input_names;
    std::vector<LineReports> late_reports;

    // As GNU error() does: what was printed before the message comes
    // before it, where both streams go to one terminal or file.
    void complain(const std::string& message)
    {
        output_flush(out);
        progress.clear();
        ::complain(message);
    }

    // Keeps the gravest status met.
    void trouble(int met) { status = std::max(status, met); }

    void report(Input& input, const CatalogLine& line)
    {
        trouble(status_incomplete);
        if (report_in_full(input.reports, line.verdict)) {
            complain(input.quoted_name + ":" + std::to_string(line.number) + ": " +
                     verdict_message(line));
        }
    }

    void take(Input& input, CatalogLine& line)
    {
        if (stopped) {
            return;
        }
        if (is_refusal(line.verdict)) {
            report(input, line);
            return;
        }
        if (line.verdict == Verdict::extra_numerals) {
            report(input, line);
        }
        // Two inputs read at once are each in path order on its own.
        PathOrder& kept_order = traits_of(options.mode).inputs == 2 ? input.order : order;
        if (options.sorted && line.is_entry() && !in_path_order(kept_order, line)) {
            stop(input, kept_order, line);
            return;
        }
        if (selecting && line.is_entry() && line.columns < 2 && selects_by_path()) {
            complain(input.quoted_name + ":" + std::to_string(line.number) +
                     ": --under and --name select rows by their path, the first column, but the "
                     "rows hold no column before the LStat value");
            trouble(status_usage);
            stopped = true;
            return;
        }
        if (selecting && !select(line)) {
            return;
        }
        // A deleted file's record counts in no tree: it only ends its path.
        if (line.origin.deleted && traits_of(options.mode).reads_tree) {
            line.selected = false;
        }
        if (!writer->take(line)) {
            report(input, line);
        }
    }

    void refused(std::uint32_t input, const CatalogLine& line) override
    {
        trouble(status_incomplete);
        if (input >= input_names.size()) {
            return;
        }
        if (report_in_full(late_reports[input], line.verdict)) {
            complain(input_names[input] + ":" + std::to_string(line.number) + ": " +
                     verdict_message(line));
        }
    }

    // What was not reported in full of the rows refused at the end.
    void sum_up_late_reports()
    {
        for (std::size_t input = 0; input < late_reports.size(); ++input) {
            const std::string rest = lines_not_in_full(late_reports[input]);
            if (!rest.empty()) {
                complain(input_names[input] + ": " + rest);
            }
        }
    }

    // As comm --check-order does: what was written stays written, and
    // nothing more is read.
    void stop(const Input& input, const PathOrder& kept_order, const CatalogLine& line)
    {
        complain(input.quoted_name + ":" + std::to_string(line.number) + ": '" +
                 quoted_for_terminal(std::string(line.first_column())) + "' after '" +
                 quoted_for_terminal(kept_order.keys[kept_order.last]) + "' of line " +
                 std::to_string(kept_order.last_line) +
                 ": not in path order, which --sorted needs (ORDER BY the path COLLATE \"C\" "
                 "in PostgreSQL, in a binary collation in MariaDB and MySQL with max_sort_length "
                 "past the longest path, as SQLite sorts by default); stopped here");
        trouble(status_incomplete);
        stopped = true;
    }

    bool selects_by_path() const
    {
        return options.selection.has_under || options.selection.has_name;
    }

    // Marks whether the selections let `line` through, and says whether its
    // writer takes it: a row outside --under is nobody's.
    bool select(CatalogLine& line)
    {
        const RowSelection& selection = options.selection;
        if (!line.is_entry()) {
            line.selected = false;
            return line.verdict == Verdict::header; // -H names columns from it
        }
        if (!lies_under(selection, line, scratch)) {
            return false;
        }
        // A deleted file has no type, size, time or owner to test.
        line.selected = passes_tests(selection, line, scratch) &&
                        !(line.origin.deleted && selection.tests_fields());
        return line.selected || takes_unselected;
    }
};

void Input::take(CatalogLine& line)
{
    run->take(*this, line);
}

// Opens `path` ("-" for standard input) for reading; false, having said
// why, when it cannot be.
bool open_input(Run& run, Input& input, const char* path)
{
    input.run = &run;
    input.standard_input = std::strcmp(path, "-") == 0;
    input.quoted_name = input.standard_input ? "standard input" : quoted_for_terminal(path);
    input.reports = LineReports{};
    restart_path_order(input.order);
    input.number = 0;
    input.fd = input.standard_input ? STDIN_FILENO : open(path, O_RDONLY | O_CLOEXEC);
    if (input.fd < 0) {
        run.complain(input.quoted_name + ": " + std::strerror(errno));
        run.trouble(status_no_report);
        return false;
    }
    filter_start(input.filter, input, run.rules);
    if (run.options.csv) {
        start_reading_csv(input.csv_reader, input.fd);
    } else {
        start_reading(input.reader, input.fd);
    }
    return true;
}

// Reads the next line, or with --csv the next record, numbered by the line
// it starts on, and hands it to the filter; false at the end of the input.
bool step_input(Run& run, Input& input)
{
    if (run.out.error != 0 || run.stopped) {
        return false;
    }
    if (!run.options.csv) {
        char* line = nullptr;
        std::size_t length = 0;
        const ReadResult read = read_line(input.reader, line, length);
        if (read == ReadResult::end) {
            return false;
        }
        ++input.number;
        run.progress.add();
        if (input.number == 1 && read == ReadResult::line) {
            const std::size_t mark = byte_order_mark_before(line, length);
            line += mark;
            length -= mark;
        }
        if (read == ReadResult::too_long) {
            filter_unread(input.filter, input.number, length, Verdict::too_long);
        } else {
            filter_line(input.filter, input.number, line, length, input.reader.line_fed);
        }
        return true;
    }
    CsvRecord record{};
    const CsvResult read = read_record(input.csv_reader, record);
    if (read != CsvResult::end) {
        run.progress.add();
    }
    switch (read) {
    case CsvResult::end:
        return false;
    case CsvResult::record:
        filter_line(input.filter, record.first_line, record.text, record.length, record.line_fed);
        break;
    case CsvResult::too_long:
        filter_unread(input.filter, record.first_line, record.length, Verdict::too_long);
        break;
    case CsvResult::unclosed_quote:
        filter_unread(input.filter, record.first_line, record.length, Verdict::unclosed_quote);
        break;
    case CsvResult::stray_quote:
        filter_unread(input.filter, record.first_line, record.length, Verdict::stray_quote);
        break;
    }
    return true;
}

// Ends an input: hands over the lines still waiting, reports what was not
// reported in full and a failed read; false when it could not be read to
// its end.
bool close_input(Run& run, Input& input)
{
    if (run.out.error == 0) {
        filter_finish(input.filter);
    }
    const std::string rest = lines_not_in_full(input.reports);
    if (!rest.empty()) {
        run.complain(input.quoted_name + ": " + rest);
    }
    const int read_error = run.options.csv ? input.csv_reader.error : input.reader.error;
    if (read_error != 0) {
        run.complain(input.quoted_name + ": " + std::strerror(read_error));
        run.trouble(status_no_report);
    }
    if (!input.standard_input) {
        close(input.fd);
    }
    return read_error == 0 && run.out.error == 0;
}

void process_file(Run& run, const char* path)
{
    run.writer->start_input();
    Input& input = run.inputs[0];
    const bool opened = open_input(run, input, path);
    run.input_names.push_back(input.quoted_name);
    run.late_reports.emplace_back();
    if (!opened) {
        run.writer->end_input(false);
        return;
    }
    while (step_input(run, input)) {
    }
    run.writer->end_input(close_input(run, input));
}

// Reads the rows of a selection of jobs, in job order, as one input, so
// that a later job's row is a later version: the reading on a thread of
// its own (see line_stream.h), the filter and the writer here.
void read_selection(Run& run, CatalogReader& reader, const std::vector<JobRecord>& jobs,
                    const std::string& name)
{
    Input& input = run.inputs[0];
    input.run = &run;
    input.quoted_name = name;
    input.reports = LineReports{};
    input.number = 0;
    run.writer->start_input();
    run.input_names.push_back(input.quoted_name);
    run.late_reports.emplace_back();
    filter_start(input.filter, input, run.rules);
    {
        LineStream stream(reader, jobs);
        for (LineBatch* batch;
             run.out.error == 0 && !run.stopped && (batch = stream.next()) != nullptr;) {
            char* const text = batch->text.data(); // the filter may change a line's bytes
            for (const StreamedRow& row : batch->rows) {
                input.filter.origin = row.origin;
                run.progress.add();
                filter_line(input.filter, ++input.number, text + row.offset, row.length, true);
                if (run.out.error != 0 || run.stopped) {
                    break;
                }
            }
        }
        stream.stop(); // what it says is read once it has ended
        if (stream.out_of_memory()) {
            throw std::bad_alloc();
        }
        if (!stream.error().empty() && !run.stopped) {
            run.complain(input.quoted_name + ": " + quoted_for_terminal(stream.error()));
            run.trouble(status_no_report);
            run.stopped = true;
        }
    }
    input.filter.origin = RowOrigin{};
    if (!run.stopped && run.out.error == 0) {
        filter_finish(input.filter);
    }
    const std::string rest = lines_not_in_full(input.reports);
    if (!rest.empty()) {
        run.complain(input.quoted_name + ": " + rest);
    }
    run.writer->end_input(!run.stopped && run.out.error == 0);
}

// StartTime as the catalog writes it, in local time, of `seconds`: empty
// where a year of four digits cannot hold it, as its order as text needs.
std::string start_time_text(std::int64_t seconds)
{
    const std::time_t time = seconds;
    std::tm local{};
    char text[32] = "";
    const bool known = localtime_r(&time, &local) != nullptr &&
                       std::strftime(text, sizeof text, "%Y-%m-%d %H:%M:%S", &local) == 19 &&
                       text[0] != '0' && text[0] != '-';
    return known ? text : "";
}

// Shows a progress line while the rows are read, of `expected` rows where
// known, as --progress and --no-progress say, or where standard error is a
// terminal.
void start_progress(Run& run, std::uint64_t expected)
{
    if (run.options.progress == 1 || (run.options.progress < 0 && isatty(STDERR_FILENO) == 1)) {
        run.progress.start(STDERR_FILENO, expected);
    }
}

// The selections of the command line, --diff's OLD then NEW, each in job
// order: false, with `error`, where the catalog has none of them.
bool find_selections(Run& run, CatalogReader& reader,
                     std::vector<std::vector<JobRecord>>& selections, std::string& error)
{
    const Options& options = run.options;
    if (options.clients.empty()) {
        for (const std::vector<std::int64_t>& ids : options.job_lists) {
            if (!reader.find_jobs(ids, selections.emplace_back())) {
                error = reader.error();
                return false;
            }
        }
        return true;
    }
    std::vector<JobRecord> backups;
    if (!reader.find_backups(backups)) {
        error = reader.error();
        return false;
    }
    const ClientRequest request{options.clients, options.chain,
                                options.has_before ? start_time_text(options.before) : "",
                                options.fileset};
    if (options.has_before && request.before.empty()) {
        error = "--before's time is out of the years 1000 to 9999 that a StartTime holds";
        return false;
    }
    std::vector<JobRecord> running;
    if (!choose_client_jobs(backups, request, selections.emplace_back(), running, error)) {
        return false;
    }
    for (const JobRecord& job : running) {
        run.complain("job " + std::to_string(job.id) + " of client '" +
                     quoted_for_terminal(job.client) + "', started " +
                     quoted_for_terminal(job.start_time) +
                     ", is still running: its rows are not all written, and it is left out");
    }
    return true;
}

// Reads the selections of the command line from the catalog of --catalog,
// every job of them found before any row is read, all in one transaction.
// Nothing is reported where the catalog cannot be read.
void process_catalog(Run& run)
{
    std::string error;
    CatalogUri uri;
    if (!parse_catalog_uri(run.options.catalog, uri, error)) {
        run.complain(error);
        run.trouble(status_no_report);
        run.stopped = true;
        return;
    }
    if (uri.has_password) {
        run.complain("warning: the password in the catalog's URI shows in ps; keep it in "
                     "~/.pgpass, a service file or ~/.my.cnf");
    }
    const std::unique_ptr<CatalogReader> reader = open_catalog(uri, error);
    std::vector<std::vector<JobRecord>> selections;
    bool found = reader != nullptr && find_selections(run, *reader, selections, error);
    const bool listing = run.options.mode == Mode::jobs;
    for (const std::vector<JobRecord>& jobs : selections) {
        found = found && (listing || (readable_jobs(jobs, error) && usable_tops(jobs, error)));
    }
    if (!found) {
        run.complain(quoted_for_terminal(uri.shown) + ": " + quoted_for_terminal(error));
        run.trouble(status_no_report);
        run.stopped = true;
        return;
    }
    if (listing) {
        const std::string text = job_listing(selections.front());
        output_bytes(run.out, text.data(), text.size());
        return;
    }
    // Jobs that --job names as they are, but an answer from one whose rows
    // are not all written is not whole.
    for (const std::vector<JobRecord>& jobs : selections) {
        for (const JobRecord& job : jobs) {
            if (!is_good(job)) {
                run.complain("job " + std::to_string(job.id) +
                             (is_running(job) ? " is still running"
                                              : " ended with JobStatus '" +
                                                    quoted_for_terminal(job.status) + "'") +
                             ": its rows may not all be written, and the report is not whole");
                run.trouble(status_incomplete);
            }
        }
    }
    // --under asked of the engine, where the paths are as the catalog holds
    // them (one client's): the tool selects the rows again.
    const RowSelection& selection = run.options.selection;
    if (selection.has_under &&
        std::none_of(selections.begin(), selections.end(), [](const std::vector<JobRecord>& jobs) {
            return !client_tops(jobs).clients.empty();
        })) {
        reader->narrow_to(selection.under);
    }
    // --name only where no row it leaves out could take a place among the
    // rows that count: in a tree, a later row of another name at a path
    // takes away what lies below it.
    if (selection.has_name && !traits_of(run.options.mode).reads_tree) {
        reader->narrow_to_name(selection.name);
    }
    std::uint64_t files = 0; // as the catalog counted them: the rows to come
    for (const std::vector<JobRecord>& jobs : selections) {
        for (const JobRecord& job : jobs) {
            files += static_cast<std::uint64_t>(std::max<std::int64_t>(job.files, 0));
        }
    }
    start_progress(run, files);
    const bool sides = selections.size() == 2;
    for (std::size_t at = 0; at < selections.size() && !run.stopped; ++at) {
        const char* const side = at == 0 ? "OLD " : "NEW ";
        read_selection(run, *reader, selections[at],
                       (sides ? side : "") + quoted_for_terminal(uri.shown));
    }
}

// Reads OLD and NEW at once, each as far as the writer needs it (as comm
// merges two sorted inputs).
void merge_files(Run& run, const char* old_path, const char* new_path)
{
    const char* const paths[] = {old_path, new_path};
    bool open[2] = {false, false};
    for (int side = 0; side < 2; ++side) {
        run.writer->reading_input(side);
        run.writer->start_input();
        open[side] = open_input(run, run.inputs[side], paths[side]);
        if (!open[side]) {
            run.writer->end_input(false);
        }
    }
    for (int side; (side = run.writer->next_input()) >= 0 && open[side];) {
        run.writer->reading_input(side);
        if (!step_input(run, run.inputs[side])) {
            open[side] = false;
            run.writer->end_input(close_input(run, run.inputs[side]));
        }
    }
    for (int side = 0; side < 2; ++side) {
        if (open[side] && !run.inputs[side].standard_input) {
            close(run.inputs[side].fd); // not needed to its end
        }
    }
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
        run.trouble(status_incomplete);
    }
    if (traits_of(run.options.mode).statuses == &comparison_statuses) {
        return run.status != 0 ? status_diff_trouble : run.differs ? status_differ : 0;
    }
    return run.status;
}

// As coreutils' xalloc_die: what was written stays written, and the
// message needs no memory of its own.
int memory_exhausted(Run* run)
{
    if (run != nullptr) {
        output_flush(run->out);
        run->progress.clear();
    }
    static const char message[] = "b64num-lstat: memory exhausted\n";
    [[maybe_unused]] const ssize_t written = write(STDERR_FILENO, message, sizeof message - 1);
    return run != nullptr && traits_of(run->options.mode).statuses == &comparison_statuses
               ? status_diff_trouble
               : status_incomplete;
}

int run_lstat(Run& run, int argc, char* argv[])
{
    const int parsed = parse_options(argc, argv, run.options);
    if (parsed >= 0) {
        return parsed;
    }
    run.out.fd = STDOUT_FILENO;
    run.out.terminal = isatty(STDOUT_FILENO) == 1;
    if (run.options.help || run.options.version) {
        const std::string text =
            run.options.help ? help_text() : "b64num-lstat " B64NUM_VERSION "\n";
        output_bytes(run.out, text.data(), text.size());
        return finish(run);
    }
    // Local times: the zone read once, not at every row.
    tzset();
    if (run.options.mode == Mode::jobs) {
        process_catalog(run);
        return finish(run);
    }
    ModeSetup mode = set_up_mode(run.options, run.out);
    run.writer = std::move(mode.writer);
    run.writer->set_reporter(&run);
    run.rules = mode.rules;
    run.takes_unselected = mode.takes_unselected;
    run.selecting = run.options.selection.has_under || run.options.selection.tests_rows();
    const bool merging = run.options.sorted && traits_of(run.options.mode).inputs == 2;
    if (run.options.catalog.empty()) {
        start_progress(run, 0);
    }
    if (!run.options.catalog.empty()) {
        process_catalog(run);
    } else if (merging) {
        merge_files(run, argv[run.options.first_file], argv[run.options.first_file + 1]);
    } else if (run.options.first_file == argc) {
        process_file(run, "-");
    }
    for (int i = run.options.first_file; i < argc && !merging && run.out.error == 0 && !run.stopped;
         ++i) {
        process_file(run, argv[i]);
    }
    run.progress.finish(); // what follows the reading is no reading
    if (run.out.error == 0 && !run.stopped) {
        const Ending ending = run.writer->finish();
        run.sum_up_late_reports();
        if (!ending.refusal.empty()) {
            run.complain(ending.refusal);
            run.trouble(ending.unusable_inputs ? status_no_report : status_incomplete);
        }
        run.differs = ending.differs;
        if (!ending.note.empty()) {
            run.complain(ending.note);
        }
    }
    return finish(run);
}

} // namespace

int main(int argc, char* argv[])
{
    // Holds the output buffer, too large for the stack, and the tree of
    // --du and --ncdu: never freed, since the process ends with main, and
    // taking a tree of a million entries down first would only cost time.
    Run* run = nullptr;
    try {
        run = new Run();
        return run_lstat(*run, argc, argv);
    } catch (const std::bad_alloc&) {
        return memory_exhausted(run);
    } catch (const std::length_error&) { // a size that no allocation can hold
        return memory_exhausted(run);
    }
}

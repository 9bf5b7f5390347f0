// b64num-lstat: decodes Bacula LStat values, one a line, into named fields,
// as a filter for the output of catalog queries. The entry point: it picks
// the writer of the mode asked for, reads the inputs through the row filter,
// and reports every line that is not printed.
#include "csv_reader.h"
#include "line_reader.h"
#include "line_reports.h"
#include "lstat_modes.h"
#include "lstat_options.h"
#include "output_buffer.h"
#include "path_order.h"
#include "row_filter.h"
#include "row_selection.h"
#include "row_writers.h"
#include "terminal_text.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <ctime>
#include <memory>
#include <string>

#ifndef B64NUM_VERSION
#error "the build defines B64NUM_VERSION"
#endif

namespace {

struct Run final : LineSink {
    Options options;
    OutputBuffer out;
    LineReader reader;
    CsvReader csv_reader; // with --csv
    RowFilter filter;
    std::unique_ptr<RowWriter> writer;
    RowRules rules;                // what the mode needs of a row
    bool selecting = false;        // the command line selects rows
    bool takes_unselected = false; // and the writer takes the others too
    std::string scratch;           // a path's real bytes, while selecting
    std::string quoted_input_name; // of the input being read
    LineReports reports;           // of the input being read
    PathOrder order;               // with --sorted
    bool stopped = false;          // a row broke the order that --sorted promised
    int status = 0;

    // As GNU error() does: what was printed before the message comes
    // before it, where both streams go to one terminal or file.
    void complain(const std::string& message)
    {
        output_flush(out);
        ::complain(message);
    }

    void report(const CatalogLine& line)
    {
        status = status_trouble;
        if (report_in_full(reports, line.verdict)) {
            complain(quoted_input_name + ":" + std::to_string(line.number) + ": " +
                     verdict_message(line));
        }
    }

    void take(CatalogLine& line) override
    {
        if (stopped) {
            return;
        }
        if (is_refusal(line.verdict)) {
            report(line);
            return;
        }
        if (line.verdict == Verdict::extra_numerals) {
            report(line);
        }
        if (options.sorted && line.is_entry() && !in_path_order(order, line)) {
            stop(line);
            return;
        }
        if (selecting && !select(line)) {
            return;
        }
        if (!writer->take(line)) {
            report(line);
        }
    }

    // As comm --check-order does: what was written stays written, and
    // nothing more is read.
    void stop(const CatalogLine& line)
    {
        complain(quoted_input_name + ":" + std::to_string(line.number) + ": '" +
                 quoted_for_terminal(std::string(line.first_column())) + "' after '" +
                 quoted_for_terminal(order.last_path) + "' of line " +
                 std::to_string(order.last_line) +
                 ": not in path order, which --sorted needs (ORDER BY the path COLLATE \"C\" "
                 "in PostgreSQL, in a binary collation in MariaDB and MySQL, as SQLite sorts by "
                 "default); stopped here");
        status = status_trouble;
        stopped = true;
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
        line.selected = passes_tests(selection, line, scratch);
        return line.selected || takes_unselected;
    }
};

// Hands the lines of `fd` to the filter; returns errno of a failed read.
int read_lines(Run& run, int fd)
{
    start_reading(run.reader, fd);
    char* line = nullptr;
    std::size_t length = 0;
    for (unsigned long number = 1; run.out.error == 0 && !run.stopped; ++number) {
        const ReadResult read = read_line(run.reader, line, length);
        if (read == ReadResult::end) {
            break;
        }
        if (read == ReadResult::too_long) {
            filter_unread(run.filter, number, length, Verdict::too_long);
        } else {
            filter_line(run.filter, number, line, length);
        }
    }
    return run.reader.error;
}

// The same for CSV records, each handed over as the line COPY would print,
// numbered by the line it starts on.
int read_csv_records(Run& run, int fd)
{
    start_reading_csv(run.csv_reader, fd);
    CsvRecord record{};
    while (run.out.error == 0 && !run.stopped) {
        switch (read_record(run.csv_reader, record)) {
        case CsvResult::end:
            return run.csv_reader.error;
        case CsvResult::record:
            filter_line(run.filter, record.first_line, record.text, record.length);
            break;
        case CsvResult::too_long:
            filter_unread(run.filter, record.first_line, record.length, Verdict::too_long);
            break;
        case CsvResult::unclosed_quote:
            filter_unread(run.filter, record.first_line, record.length, Verdict::unclosed_quote);
            break;
        case CsvResult::stray_quote:
            filter_unread(run.filter, record.first_line, record.length, Verdict::stray_quote);
            break;
        }
    }
    return run.csv_reader.error;
}

void process_file(Run& run, const char* path)
{
    run.writer->start_input();
    const bool standard_input = std::strcmp(path, "-") == 0;
    run.quoted_input_name = standard_input ? "standard input" : quoted_for_terminal(path);
    run.reports = LineReports{};
    const int fd = standard_input ? STDIN_FILENO : open(path, O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
        run.complain(run.quoted_input_name + ": " + std::strerror(errno));
        run.status = status_trouble;
        run.writer->end_input(false);
        return;
    }
    filter_start(run.filter, run, run.rules);
    if (run.options.mode == Mode::diff) {
        restart_path_order(run.order); // each side in its own order
    }
    const int read_error = run.options.csv ? read_csv_records(run, fd) : read_lines(run, fd);
    if (run.out.error == 0) {
        filter_finish(run.filter);
    }
    const std::string rest = lines_not_in_full(run.reports);
    if (!rest.empty()) {
        run.complain(run.quoted_input_name + ": " + rest);
    }
    if (read_error != 0) {
        run.complain(run.quoted_input_name + ": " + std::strerror(read_error));
        run.status = status_trouble;
    }
    run.writer->end_input(read_error == 0 && run.out.error == 0);
    if (!standard_input) {
        close(fd);
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
    if (run.options.help || run.options.version) {
        const std::string text =
            run.options.help ? help_text() : "b64num-lstat " B64NUM_VERSION "\n";
        output_bytes(run.out, text.data(), text.size());
        return finish(run);
    }
    // Local times: the zone read once, not at every row.
    tzset();
    ModeSetup mode = set_up_mode(run.options, run.out);
    run.writer = std::move(mode.writer);
    run.rules = mode.rules;
    run.takes_unselected = mode.takes_unselected;
    run.selecting = run.options.selection.has_under || run.options.selection.tests_rows();
    if (run.options.first_file == argc) {
        process_file(run, "-");
    }
    for (int i = run.options.first_file; i < argc && run.out.error == 0 && !run.stopped; ++i) {
        process_file(run, argv[i]);
    }
    if (run.out.error == 0 && !run.stopped) {
        const Ending ending = run.writer->finish();
        if (!ending.refusal.empty()) {
            run.complain(ending.refusal);
            run.status = ending.unusable_inputs ? status_not_compared : status_trouble;
        }
    }
    return finish(run);
}

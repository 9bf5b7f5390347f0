#include "row_filter.h"

#include <algorithm>
#include <cstring>

namespace {

char* last_column(char* line, std::size_t length)
{
    auto* const tab = static_cast<char*>(memrchr(line, '\t', length));
    return tab != nullptr ? tab + 1 : line;
}

// Checks a line against the known shape and hands it over.
void deliver(RowFilter& filter, unsigned long number, char* line, std::size_t length)
{
    char* const lstat = last_column(line, length);
    LstatRow& row = filter.row;
    row.count = 0;
    row.has_overflow = false;
    FilteredLine out{number, line, length, lstat, &row, nullptr};
    if (!check_row(filter.shape, number, line, length, lstat, filter.reason)) {
        out.refusal = &filter.reason;
    } else if (length > 0) {
        decode_lstat(lstat, row);
        if (!check_numerals(filter.shape, row.count, filter.reason)) {
            out.refusal = &filter.reason;
        }
    }
    filter.handler(filter.context, out);
}

// Fixes the shape, from `from` or, when it is null, from the first line as
// check_row finds it, and hands over the waiting lines.
void settle(RowFilter& filter, const RowFilter::Waiting* from)
{
    if (from != nullptr) {
        const char* const line = filter.text.data() + from->offset;
        filter.shape.first_line = from->number;
        filter.shape.columns =
            count_columns(line, last_column(filter.text.data() + from->offset, from->length));
        filter.shape.numerals = from->numerals;
    }
    filter.shape_known = true;
    for (const RowFilter::Waiting& waiting : filter.waiting) {
        char* const text = filter.text.data() + waiting.offset;
        if (waiting.refused) {
            const std::string reason(text, waiting.length);
            const FilteredLine out{waiting.number, nullptr, 0, nullptr, nullptr, &reason};
            filter.handler(filter.context, out);
        } else {
            deliver(filter, waiting.number, text, waiting.length);
        }
    }
    filter.waiting.clear();
    filter.text.clear();
}

void settle_on_first_whole_row(RowFilter& filter)
{
    const auto first_whole =
        std::find_if(filter.waiting.begin(), filter.waiting.end(),
                     [](const RowFilter::Waiting& line) { return line.whole; });
    settle(filter, first_whole != filter.waiting.end() ? &*first_whole : nullptr);
}

void wait(RowFilter& filter, const RowFilter::Waiting& waiting, const char* text)
{
    RowFilter::Waiting entry = waiting;
    entry.offset = filter.text.size();
    filter.text.insert(filter.text.end(), text, text + waiting.length);
    filter.text.push_back('\0');
    filter.waiting.push_back(entry);
}

bool too_much_waiting(const RowFilter& filter)
{
    return filter.waiting.size() >= waiting_line_limit || filter.text.size() >= waiting_byte_limit;
}

} // namespace

void filter_start(RowFilter& filter, LineHandler handler, void* context)
{
    filter.handler = handler;
    filter.context = context;
    filter.shape = RowShape{};
    filter.shape_known = false;
    filter.at_top = true;
    filter.after_row_end = true;
    filter.waiting.clear();
    filter.text.clear();
}

void filter_line(RowFilter& filter, unsigned long number, char* line, std::size_t length)
{
    if (length > 0 && line[length - 1] == '\r') {
        line[--length] = '\0';
    }
    if (length > 0) {
        char* const lstat = last_column(line, length);
        const bool at_top = filter.at_top;
        filter.at_top = false;
        if (at_top &&
            is_lstat_column_name(lstat, static_cast<std::size_t>(line + length - lstat))) {
            return; // a header line: column names, not a row
        }
        if (!filter.shape_known) {
            decode_lstat(lstat, filter.row);
            const int numerals = filter.row.count;
            const bool whole = is_whole_row(line, length, lstat, numerals);
            const bool starts_row = filter.after_row_end;
            filter.after_row_end = whole;
            wait(filter, {number, 0, length, numerals, whole, false}, line);
            if (whole && starts_row) {
                settle(filter, &filter.waiting.back());
            } else if (too_much_waiting(filter)) {
                settle_on_first_whole_row(filter);
            }
            return;
        }
    } else if (!filter.shape_known) {
        wait(filter, {number, 0, 0, 0, false, false}, line);
        if (too_much_waiting(filter)) {
            settle_on_first_whole_row(filter);
        }
        return;
    }
    deliver(filter, number, line, length);
}

void filter_refused(RowFilter& filter, unsigned long number, const std::string& reason)
{
    filter.at_top = false;
    if (filter.shape_known) {
        const FilteredLine out{number, nullptr, 0, nullptr, nullptr, &reason};
        filter.handler(filter.context, out);
        return;
    }
    filter.after_row_end = false;
    wait(filter, {number, 0, reason.size(), 0, false, true}, reason.data());
    if (too_much_waiting(filter)) {
        settle_on_first_whole_row(filter);
    }
}

void filter_finish(RowFilter& filter)
{
    if (!filter.shape_known) {
        settle_on_first_whole_row(filter);
    }
}

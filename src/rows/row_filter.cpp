#include "row_filter.h"

#include <algorithm>

namespace {

// Hands a judged line over, holding a line with fewer columns than the
// shape until the next one says whether it brings the rest.
void hand_over(RowFilter& filter, CatalogLine& line)
{
    if (filter.has_short_line) {
        filter.has_short_line = false;
        CatalogLine& cut = filter.short_line;
        cut.text = filter.short_text.data();
        if (line.verdict == Verdict::continues_cut_row) {
            cut.verdict = Verdict::line_feed_cut;
        }
        filter.sink->take(cut);
    }
    if (line.verdict == Verdict::cut_short) {
        filter.short_text.assign(line.text, line.text + line.length + 1);
        filter.short_line = line;
        filter.has_short_line = true;
        return;
    }
    filter.sink->take(line);
}

void judge_and_hand_over(RowFilter& filter, CatalogLine& line)
{
    if (line.verdict == Verdict::row) {
        judge_line(filter.shape, filter.rules, line);
    }
    hand_over(filter, line);
}

// Fixes the shape, from `from` or, when it is null, from the first line as
// judge_line finds it, and hands over the waiting lines.
void settle(RowFilter& filter, const RowFilter::Waiting* from)
{
    if (from != nullptr) {
        // A whole row of the same columns before it is a row of that shape
        // too, and the first one is the line that messages name.
        const auto first = std::find_if(
            filter.waiting.begin(), filter.waiting.end(), [from](const RowFilter::Waiting& w) {
                return w.line.is_whole() && w.line.columns == from->line.columns;
            });
        filter.shape.first_line = first->line.number;
        filter.shape.columns = first->line.columns;
        filter.shape.numerals = first->line.fields.count;
        filter.shape.numerals_line = first->line.number;
    }
    filter.shape_known = true;
    for (RowFilter::Waiting& waiting : filter.waiting) {
        if (waiting.line.text != nullptr) {
            waiting.line.text = filter.text.data() + waiting.offset;
        }
        judge_and_hand_over(filter, waiting.line);
    }
    filter.waiting.clear();
    filter.text.clear();
}

void settle_on_first_whole_row(RowFilter& filter)
{
    const auto first_whole =
        std::find_if(filter.waiting.begin(), filter.waiting.end(),
                     [](const RowFilter::Waiting& waiting) { return waiting.line.is_whole(); });
    settle(filter, first_whole != filter.waiting.end() ? &*first_whole : nullptr);
}

void wait(RowFilter& filter, const CatalogLine& line)
{
    filter.waiting.push_back({line, filter.text.size()});
    if (line.text != nullptr) {
        filter.text.insert(filter.text.end(), line.text, line.text + line.length);
        filter.text.push_back('\0');
    }
}

bool too_much_waiting(const RowFilter& filter)
{
    return filter.waiting.size() >= waiting_line_limit || filter.text.size() >= waiting_byte_limit;
}

} // namespace

void filter_start(RowFilter& filter, LineSink& sink, const RowRules& rules)
{
    filter.sink = &sink;
    filter.rules = rules;
    filter.shape = RowShape{};
    filter.shape_known = false;
    filter.at_top = true;
    filter.after_row_end = true;
    filter.waiting.clear();
    filter.text.clear();
    filter.has_short_line = false;
}

void filter_line(RowFilter& filter, unsigned long number, char* line, std::size_t length,
                 bool line_fed)
{
    CatalogLine& current = filter.current;
    read_catalog_line(current, number, line, length);
    current.line_fed = line_fed;
    current.origin = filter.origin;
    current.origin.deleted = false;
    if (filter.origin.deleted && current.is_whole()) {
        mark_deleted(current);
    }
    if (filter.shape_known) {
        judge_and_hand_over(filter, current);
        return;
    }
    if (current.length > 0) {
        const bool at_top = filter.at_top;
        filter.at_top = false;
        current.at_top = at_top;
        if (at_top && current.names_lstat) {
            current.verdict = Verdict::header; // column names, not a row
            wait(filter, current);
            return;
        }
        const bool starts_row = filter.after_row_end;
        filter.after_row_end = current.is_whole();
        wait(filter, current);
        if (current.is_whole() && starts_row) {
            settle(filter, &filter.waiting.back());
            return;
        }
    } else {
        wait(filter, current);
    }
    if (too_much_waiting(filter)) {
        settle_on_first_whole_row(filter);
    }
}

void filter_unread(RowFilter& filter, unsigned long number, std::size_t length, Verdict verdict)
{
    CatalogLine& current = filter.current;
    unread_line(current, number, length, verdict);
    filter.at_top = false;
    if (filter.shape_known) {
        hand_over(filter, current);
        return;
    }
    filter.after_row_end = false;
    wait(filter, current);
    if (too_much_waiting(filter)) {
        settle_on_first_whole_row(filter);
    }
}

void filter_finish(RowFilter& filter)
{
    if (!filter.shape_known) {
        settle_on_first_whole_row(filter);
    }
    if (filter.has_short_line) {
        filter.has_short_line = false;
        filter.short_line.text = filter.short_text.data();
        filter.sink->take(filter.short_line);
    }
}

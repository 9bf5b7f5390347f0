#include "row_writers.h"

#include "row_formats.h"

#include <algorithm>
#include <string>

namespace {

class TsvWriter final : public RowWriter {
public:
    TsvWriter(OutputBuffer& out, const FieldSelection& fields, bool header, const TimeStyle* times)
        : out_(out), fields_(fields), header_pending_(header), times_(times)
    {
    }

    bool take(CatalogLine& line) override
    {
        switch (line.verdict) {
        case Verdict::header:
            if (header_pending_ && !has_names_) {
                const PassThrough columns = line.pass_through();
                names_.assign(columns.text, columns.length);
                has_names_ = columns.present;
            }
            break;
        case Verdict::empty:
            if (header_pending_) {
                ++empty_rows_held_; // written after the header
            } else {
                output_char(out_, '\n');
            }
            break;
        default:
            if (header_pending_) {
                write_header(line.columns - 1);
            }
            write_tsv_row(out_, line.pass_through(), line.fields, fields_, times_, line.origin);
            break;
        }
        return true;
    }

    Ending finish() override
    {
        if (header_pending_) {
            write_header(has_names_
                             ? static_cast<int>(std::count(names_.begin(), names_.end(), '\t')) + 1
                             : 0);
        }
        return {};
    }

private:
    void write_header(int pass_through_columns)
    {
        write_tsv_header(out_, pass_through_columns, {names_.data(), names_.size(), has_names_},
                         fields_);
        header_pending_ = false;
        for (; empty_rows_held_ > 0; --empty_rows_held_) {
            output_char(out_, '\n');
        }
    }

    OutputBuffer& out_;
    FieldSelection fields_;
    bool header_pending_;
    const TimeStyle* times_;
    unsigned long empty_rows_held_ = 0;
    std::string names_; // of the passed-through columns, from an input's header line
    bool has_names_ = false;
};

class JsonWriter final : public RowWriter {
public:
    JsonWriter(OutputBuffer& out, const FieldSelection& fields, const TimeStyle* times)
        : out_(out), fields_(fields), times_(times)
    {
    }

    bool take(CatalogLine& line) override
    {
        if (line.is_entry()) {
            write_json_row(out_, line.pass_through(), line.fields, fields_, times_, line.origin);
        }
        return true;
    }

private:
    OutputBuffer& out_;
    FieldSelection fields_;
    const TimeStyle* times_;
};

class LongWriter final : public RowWriter {
public:
    LongWriter(OutputBuffer& out, const ListingStyle& style) : out_(out), style_(style) {}

    bool take(CatalogLine& line) override
    {
        if (line.verdict == Verdict::empty) {
            output_char(out_, '\n');
        } else if (line.origin.deleted) {
            output_text(out_, "deleted");
            if (style_.shows_job) {
                output_char(out_, ' ');
                output_number(out_, line.origin.job);
            }
            const PassThrough columns = line.pass_through();
            if (columns.present) {
                output_char(out_, ' ');
                write_columns_for_terminal(out_, columns.text, columns.length);
            }
            output_char(out_, '\n');
        } else if (line.verdict != Verdict::header) {
            write_long_row(out_, line.pass_through(), line.fields, style_, line.origin.job);
        }
        return true;
    }

private:
    OutputBuffer& out_;
    ListingStyle style_;
};

} // namespace

std::unique_ptr<RowWriter> make_tsv_writer(OutputBuffer& out, const FieldSelection& fields,
                                           bool header, const TimeStyle* times)
{
    return std::make_unique<TsvWriter>(out, fields, header, times);
}

std::unique_ptr<RowWriter> make_json_writer(OutputBuffer& out, const FieldSelection& fields,
                                            const TimeStyle* times)
{
    return std::make_unique<JsonWriter>(out, fields, times);
}

std::unique_ptr<RowWriter> make_long_writer(OutputBuffer& out, const ListingStyle& style)
{
    return std::make_unique<LongWriter>(out, style);
}

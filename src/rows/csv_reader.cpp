#include "csv_reader.h"

#include "catalog_line.h"
#include "client_escapes.h"

#include <unistd.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <cstdint>
#include <cstring>

namespace {

constexpr std::size_t chunk_size = std::size_t{1} << 16;

// The bytes that end a run of bytes copied as they are: in a field without
// quotes, and in a quoted one.
constexpr std::array<bool, 256> stops(bool quoted)
{
    std::array<bool, 256> table{};
    for (const char c : {'"', '\\', '\b', '\t', '\n', '\v', '\f', '\r'}) {
        table[static_cast<unsigned char>(c)] = true;
    }
    table[','] = !quoted;
    return table;
}
constexpr std::array<bool, 256> unquoted_stops = stops(false);
constexpr std::array<bool, 256> quoted_stops = stops(true);

bool refill(CsvReader& reader)
{
    while (reader.error == 0 && !reader.at_end) {
        const ssize_t got = read(reader.fd, reader.buffer.data(), reader.buffer.size());
        if (got > 0) {
            reader.start = 0;
            reader.end = static_cast<std::size_t>(got);
            return true;
        }
        if (got == 0) {
            reader.at_end = true;
        } else if (errno != EINTR) {
            reader.error = errno;
        }
    }
    return false;
}

// The line that a record makes, as COPY would print the row: kept while it
// stays within longest_line, counted past it.
class RecordLine {
public:
    explicit RecordLine(std::string& text) : text_(text) { text_.clear(); }

    void append(const char* bytes, std::size_t count)
    {
        length_ += count;
        if (length_ <= longest_line) {
            text_.append(bytes, count);
        }
    }

    // A byte of a field that COPY escapes: a backslash, or \b \t \n \v \f \r.
    void append_escaped(char c)
    {
        const char escape[] = {'\\', copy_escape_letter(c)};
        append(escape, sizeof escape);
    }

    void start_field()
    {
        if (fields_++ > 0) {
            append("\t", 1);
        }
        quoted_ = false;
        field_start_ = length_;
    }

    void quote_field() { quoted_ = true; }

    // A field without quotes and without bytes is NULL, but a record
    // without bytes is an empty line.
    void end_field(bool record_ends)
    {
        if (!quoted_ && length_ == field_start_ && !(record_ends && fields_ == 1)) {
            append("\\N", 2);
        }
    }

    std::size_t length() const { return length_; }

private:
    std::string& text_;
    std::size_t length_ = 0;
    std::size_t field_start_ = 0;
    unsigned fields_ = 0;
    bool quoted_ = false;
};

// Whether any of the eight bytes of `word` may stop a run: a quote, a
// backslash, a byte below 0x0E (\b to \r, and some that do not stop), or
// with `commas`, a comma. Bit tricks on unsigned words, eight bytes a step.
bool may_stop(std::uint64_t word, bool commas)
{
    constexpr std::uint64_t ones = 0x0101010101010101;
    constexpr std::uint64_t highs = 0x8080808080808080;
    const auto zero_byte = [](std::uint64_t x) { return (x - ones) & ~x & highs; };
    std::uint64_t found = ((word - ones * 0x0E) & ~word & highs) | zero_byte(word ^ (ones * '"')) |
                          zero_byte(word ^ (ones * '\\'));
    if (commas) {
        found |= zero_byte(word ^ (ones * ','));
    }
    return found != 0;
}

// The end of the run from `at` that `table` lets pass: eight bytes at a
// time, then one.
const char* skip_run(const char* at, const char* end, const std::array<bool, 256>& table)
{
    const bool commas = table[','];
    std::uint64_t word = 0;
    while (end - at >= 8 && (std::memcpy(&word, at, 8), !may_stop(word, commas))) {
        at += 8;
    }
    while (at != end && !table[static_cast<unsigned char>(*at)]) {
        ++at;
    }
    return at;
}

// Appends the bytes from the reader's next one that `table` lets pass, and
// says whether a byte that it stops at is there to read.
bool copy_run(CsvReader& reader, RecordLine& line, const std::array<bool, 256>& table)
{
    const char* const begin = reader.buffer.data() + reader.start;
    const char* const end = reader.buffer.data() + reader.end;
    const char* const at = skip_run(begin, end, table);
    line.append(begin, static_cast<std::size_t>(at - begin));
    reader.start += static_cast<std::size_t>(at - begin);
    return at != end;
}

// Most records are simple: their quoted fields hold no quote, backslash or
// control byte, and their other fields are neither empty nor hold one, as
// psql --csv writes a catalog's rows, and sqlite3 -csv, which quotes every
// field that holds a space, every LStat value among them. Such a record's
// line is its bytes with the quotes taken off and TABs for the commas
// between fields: made in one pass into `reader.simple`, the read buffer
// left as it is for the careful reader where the record is not simple.
bool take_simple_record(CsvReader& reader, CsvRecord& record)
{
    const char* const begin = reader.buffer.data() + reader.start;
    const char* const end = reader.buffer.data() + reader.end;
    char* const line = reader.simple.data(); // as large as the buffer, and a NUL
    char* out = line;
    for (const char* at = begin;;) {
        const char* content = at;
        if (at != end && *at == '"') {
            content = ++at;
            at = skip_run(at, end, quoted_stops);
            // The closing quote, not the first of two.
            if (at == end || *at != '"' || (at + 1 != end && at[1] == '"')) {
                return false;
            }
            std::memcpy(out, content, static_cast<std::size_t>(at - content));
            out += at - content;
            ++at;
        } else {
            at = skip_run(at, end, unquoted_stops);
            if (at == content) {
                return false; // a NULL, or a quote, an escape or a line's end to read with care
            }
            std::memcpy(out, content, static_cast<std::size_t>(at - content));
            out += at - content;
        }
        if (at == end || (*at != ',' && *at != '\n')) {
            return false;
        }
        if (*at == '\n') {
            *out = '\0';
            record.text = line;
            record.length = static_cast<std::size_t>(out - line);
            record.first_line = reader.line++;
            record.line_fed = true;
            reader.start = static_cast<std::size_t>(at + 1 - reader.buffer.data());
            return true;
        }
        *out++ = '\t';
        ++at;
    }
}

} // namespace

void start_reading_csv(CsvReader& reader, int fd)
{
    reader.fd = fd;
    reader.error = 0;
    reader.at_end = false;
    reader.at_start = true;
    reader.start = 0;
    reader.end = 0;
    reader.line = 1;
    if (reader.buffer.size() < chunk_size) {
        reader.buffer.resize(chunk_size);
        reader.simple.resize(chunk_size + 1);
    }
}

CsvResult read_record(CsvReader& reader, CsvRecord& record)
{
    // A UTF-8 byte-order mark before the first record, as spreadsheets
    // write CSV, is no byte of its first field.
    if (reader.at_start) {
        reader.at_start = false;
        if (refill(reader) && starts_with_byte_order_mark(reader.buffer.data(), reader.end)) {
            reader.start = sizeof byte_order_mark - 1;
        }
    }
    if (take_simple_record(reader, record)) {
        return CsvResult::record;
    }
    enum class State {
        field_start,
        unquoted,
        quoted,
        quote_in_quoted, // a quote in a quoted field: the closing one, or the first of two
        after_quote,     // after the closing quote
        carriage_return, // after a CR outside quotes: the end of the record if LF follows
    };
    RecordLine line(reader.record);
    State state = State::field_start;
    State before_return = State::unquoted;
    bool stray_quote = false;
    bool read_any = false;
    bool ended = false;
    record.first_line = reader.line;
    line.start_field();
    while (!ended) {
        if (reader.start == reader.end && !refill(reader)) {
            break;
        }
        read_any = true;
        if (state == State::unquoted && !copy_run(reader, line, unquoted_stops)) {
            continue;
        }
        if (state == State::quoted && !copy_run(reader, line, quoted_stops)) {
            continue;
        }
        const char c = reader.buffer[reader.start++];
        switch (state) {
        case State::field_start:
            if (c == '"') {
                line.quote_field();
                state = State::quoted;
                break;
            }
            state = State::unquoted;
            [[fallthrough]];
        case State::unquoted:
            if (c == ',') {
                line.end_field(false);
                line.start_field();
                state = State::field_start;
            } else if (c == '\n') {
                ended = true;
            } else if (c == '\r') {
                before_return = State::unquoted;
                state = State::carriage_return;
            } else if (c != '"' && unquoted_stops[static_cast<unsigned char>(c)]) {
                line.append_escaped(c);
            } else {
                stray_quote |= c == '"';
                line.append(&c, 1);
            }
            break;
        case State::quoted:
            if (c == '"') {
                state = State::quote_in_quoted;
            } else {
                reader.line += c == '\n' ? 1 : 0;
                line.append_escaped(c);
            }
            break;
        case State::quote_in_quoted:
            if (c == '"') {
                line.append(&c, 1);
                state = State::quoted;
                break;
            }
            state = State::after_quote;
            --reader.start; // read again, after the closing quote
            break;
        case State::after_quote:
            if (c == ',') {
                line.start_field();
                state = State::field_start;
            } else if (c == '\n') {
                ended = true;
            } else if (c == '\r') {
                before_return = State::after_quote;
                state = State::carriage_return;
            } else {
                stray_quote = true;
                state = State::unquoted;
                --reader.start;
            }
            break;
        case State::carriage_return:
            if (c == '\n') {
                ended = true;
                break;
            }
            stray_quote |= before_return == State::after_quote;
            line.append_escaped('\r');
            state = State::unquoted;
            --reader.start;
            break;
        }
    }
    if (!read_any) {
        return CsvResult::end;
    }
    reader.line += ended ? 1 : 0;
    record.line_fed = ended;
    if (state == State::quoted) {
        return CsvResult::unclosed_quote;
    }
    line.end_field(true);
    record.length = line.length();
    if (record.length > longest_line) {
        return CsvResult::too_long;
    }
    if (stray_quote) {
        return CsvResult::stray_quote;
    }
    record.text = reader.record.data(); // NUL-terminated, as std::string keeps it
    return CsvResult::record;
}

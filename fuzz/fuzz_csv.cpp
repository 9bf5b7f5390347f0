// Feeds b64num-lstat's CSV reader arbitrary bytes, and records written from
// arbitrary fields as sqlite3 -csv and psql --csv write them, quoted or not
// as a byte of the input chooses: every field must come back with its bytes,
// NULL as NULL, through the line the reader makes of its record.
#include "client_escapes.h"
#include "csv_reader.h"

#include <sys/mman.h>
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <optional>
#include <string>
#include <vector>

namespace {

using Field = std::optional<std::string>; // nullopt for NULL
using Record = std::vector<Field>;

void fail(const char* what)
{
    (void)std::fprintf(stderr, "b64num-lstat --csv: %s\n", what);
    std::abort();
}

// Every record that the reader gives for `text`, as the fields of its line;
// nullopt for a record that it refuses.
std::vector<std::optional<Record>> read_back(const std::string& text)
{
    static const int fd = memfd_create("csv", MFD_CLOEXEC);
    static CsvReader reader;
    if (fd < 0 || ftruncate(fd, 0) != 0 ||
        pwrite(fd, text.data(), text.size(), 0) != static_cast<ssize_t>(text.size()) ||
        lseek(fd, 0, SEEK_SET) != 0) {
        fail("cannot stage the input");
    }
    start_reading_csv(reader, fd);
    std::vector<std::optional<Record>> records;
    CsvRecord record{};
    for (CsvResult result; (result = read_record(reader, record)) != CsvResult::end;) {
        if (result != CsvResult::record) {
            records.emplace_back();
            continue;
        }
        const std::string line(record.text, record.length);
        if (line.find_first_of("\n\r") != std::string::npos) {
            fail("a record's line holds a raw line feed or CR");
        }
        Record fields;
        for (std::size_t start = 0;;) {
            const std::size_t tab = std::min(line.find('\t', start), line.size());
            std::string column = line.substr(start, tab - start);
            if (is_null_column(column.data(), column.size())) {
                fields.emplace_back();
            } else {
                column.resize(unescape_column(column.data(), column.size()));
                fields.emplace_back(column);
            }
            if (tab == line.size()) {
                break;
            }
            start = tab + 1;
        }
        records.emplace_back(fields);
    }
    return records;
}

// A field as the clients write it: quoted where it must be, or where
// `quote_always` says; NULL as nothing.
void write_field(std::string& csv, const Field& field, bool quote_always)
{
    if (!field) {
        return;
    }
    if (!quote_always && !field->empty() && field->find_first_of(",\"\r\n") == std::string::npos) {
        csv += *field;
        return;
    }
    csv += '"';
    for (const char c : *field) {
        csv += c == '"' ? "\"\"" : std::string(1, c);
    }
    csv += '"';
}

// Records from the input: bytes 0x00 part fields, 0x01 records, and a field
// that is exactly 0x02 is NULL. The first byte chooses quotes and line ends.
std::vector<Record> records_of(const std::string& input, unsigned& choices)
{
    choices = input.empty() ? 0 : static_cast<unsigned char>(input[0]);
    std::vector<Record> records(1, Record(1, std::string()));
    for (std::size_t i = 1; i < input.size(); ++i) {
        const char c = input[i];
        if (c == '\x01') {
            records.emplace_back(1, std::string());
        } else if (c == '\0') {
            records.back().emplace_back(std::string());
        } else {
            records.back().back()->push_back(c);
        }
    }
    for (Record& record : records) {
        for (Field& field : record) {
            if (field == std::string("\x02")) {
                field.reset();
            }
        }
    }
    return records;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const std::string input(reinterpret_cast<const char*>(data), size);
    read_back(input); // any bytes: no crash, no undefined behaviour, no raw line end

    unsigned choices = 0;
    const std::vector<Record> records = records_of(input, choices);
    std::string csv;
    for (const Record& record : records) {
        for (std::size_t i = 0; i < record.size(); ++i) {
            csv += i > 0 ? "," : "";
            write_field(csv, record[i], (choices & 1) != 0);
        }
        csv += (choices & 2) != 0 ? "\r\n" : "\n";
    }
    const std::vector<std::optional<Record>> read = read_back(csv);
    // A byte-order mark at the start of the input is none of its bytes: a
    // first field written without quotes loses it.
    std::vector<Record> expected = records;
    const std::string mark = "\xEF\xBB\xBF";
    Field& first = expected.front().front();
    if (csv.compare(0, mark.size(), mark) == 0) {
        first->erase(0, mark.size());
        if (first->empty() && expected.front().size() > 1) {
            first.reset(); // without bytes and without quotes, it reads as NULL
        }
    }
    if (read.size() != records.size()) {
        fail("the reader gives another number of records than were written");
    }
    for (std::size_t i = 0; i < records.size(); ++i) {
        // A record of one field without bytes is an empty line, whichever it was.
        const bool empty_line = expected[i].size() == 1 && expected[i][0].value_or("").empty();
        if (!read[i] || (!empty_line && *read[i] != expected[i])) {
            fail("a record does not come back field for field");
        }
    }
    return 0;
}

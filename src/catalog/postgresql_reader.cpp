#include "postgresql_reader.h"

#include "catalog_queries.h"
#include "client_library.h"

#include <libpq-fe.h>

#include <algorithm>
#include <charconv>
#include <cstdlib>
#include <system_error>

namespace {

// The functions of libpq that the reader calls.
struct Libpq {
    decltype(&PQconnectdb) connectdb;
    decltype(&PQstatus) status;
    decltype(&PQerrorMessage) error_message;
    decltype(&PQfinish) finish;
    decltype(&PQsetClientEncoding) set_client_encoding;
    decltype(&PQexec) exec;
    decltype(&PQexecParams) exec_params;
    decltype(&PQgetResult) get_result;
    decltype(&PQresultStatus) result_status;
    decltype(&PQresultErrorMessage) result_error_message;
    decltype(&PQntuples) ntuples;
    decltype(&PQgetvalue) get_value;
    decltype(&PQgetlength) get_length;
    decltype(&PQclear) clear;
    decltype(&PQgetCopyData) get_copy_data;
    decltype(&PQfreemem) freemem;
};

bool load(Libpq& pq, std::string& error)
{
    ClientLibrary client;
    if (!client.open("libpq.so.5", "libpq5", error)) {
        return false;
    }
    client.find("PQconnectdb", pq.connectdb);
    client.find("PQstatus", pq.status);
    client.find("PQerrorMessage", pq.error_message);
    client.find("PQfinish", pq.finish);
    client.find("PQsetClientEncoding", pq.set_client_encoding);
    client.find("PQexec", pq.exec);
    client.find("PQexecParams", pq.exec_params);
    client.find("PQgetResult", pq.get_result);
    client.find("PQresultStatus", pq.result_status);
    client.find("PQresultErrorMessage", pq.result_error_message);
    client.find("PQntuples", pq.ntuples);
    client.find("PQgetvalue", pq.get_value);
    client.find("PQgetlength", pq.get_length);
    client.find("PQclear", pq.clear);
    client.find("PQgetCopyData", pq.get_copy_data);
    client.find("PQfreemem", pq.freemem);
    return client.complete(error);
}

// The first line of one of libpq's messages, which says what went wrong;
// the lines after it point into the query.
std::string trimmed(const char* message)
{
    std::string text = message != nullptr ? message : "";
    text.resize(std::min(text.size(), text.find('\n')));
    while (!text.empty() && text.back() == ' ') {
        text.pop_back();
    }
    return text;
}

class PostgresqlReader final : public CatalogReader {
public:
    explicit PostgresqlReader(const Libpq& pq) : pq_(pq) {}

    ~PostgresqlReader() override
    {
        if (connection_ != nullptr) {
            pq_.finish(connection_); // the transaction only read: ending it is enough
        }
    }
    PostgresqlReader(const PostgresqlReader&) = delete;
    PostgresqlReader& operator=(const PostgresqlReader&) = delete;

    bool open(const std::string& conninfo, std::string& error)
    {
        connection_ = pq_.connectdb(conninfo.c_str());
        if (connection_ == nullptr || pq_.status(connection_) != CONNECTION_OK) {
            error = "cannot connect: " + (connection_ == nullptr
                                              ? std::string("out of memory")
                                              : trimmed(pq_.error_message(connection_)));
            return false;
        }
        // Names are bytes, whatever the database's encoding: no conversion.
        // One state of the catalog for everything read.
        // StartTime as YYYY-MM-DD HH:MM:SS, whatever the server's DateStyle.
        if (pq_.set_client_encoding(connection_, "SQL_ASCII") != 0 || !run("SET DateStyle = ISO") ||
            !run("BEGIN ISOLATION LEVEL REPEATABLE READ READ ONLY")) {
            error = "cannot begin a read-only transaction: " + error_;
            return false;
        }
        const std::string schema = filename_column_query("current_schema()");
        Result found(pq_, pq_.exec(connection_, schema.c_str()));
        if (pq_.result_status(found.result) != PGRES_TUPLES_OK) {
            error = trimmed(pq_.result_error_message(found.result));
            return false;
        }
        older_schema_ = pq_.ntuples(found.result) == 0;
        return true;
    }

    bool read_rows(const JobRecord& job, CatalogRowSink& sink) override
    {
        // COPY's rows are the lines the tool reads, names escaped as it
        // wants them, and cost the client least to take.
        error_.clear();
        const std::string query = file_rows_copy(
            older_schema_, job.id, narrowing(older_schema_, ByteLiteral::escaped_hex));
        Result started(pq_, pq_.exec(connection_, query.c_str()));
        if (pq_.result_status(started.result) != PGRES_COPY_OUT) {
            error_ = trimmed(pq_.result_error_message(started.result));
            return false;
        }
        bool reading = true;
        int length = 0;
        for (char* line = nullptr; (length = pq_.get_copy_data(connection_, &line, 0)) > 0;) {
            if (reading) {
                reading = copy_row(std::string_view(line, static_cast<std::size_t>(length)), sink);
            }
            pq_.freemem(line); // the rest is read, and let go
        }
        if (length == -2) {
            error_ = trimmed(pq_.error_message(connection_));
            return false;
        }
        bool failed = false;
        for (PGresult* got; (got = pq_.get_result(connection_)) != nullptr;) {
            Result result(pq_, got);
            if (pq_.result_status(got) != PGRES_COMMAND_OK && !failed) {
                error_ = trimmed(pq_.result_error_message(got));
                failed = true;
            }
        }
        return !failed && (reading || error_.empty());
    }

private:
    // Hands a line of COPY, path, name, LStat and FileIndex TAB-separated,
    // to `sink`: false where the sink stops, or the line is none of them.
    bool copy_row(std::string_view line, CatalogRowSink& sink)
    {
        if (!line.empty() && line.back() == '\n') {
            line.remove_suffix(1);
        }
        std::string_view columns[4];
        for (std::string_view& column : columns) {
            const std::size_t tab = line.find('\t');
            column = line.substr(0, tab);
            line = tab == std::string_view::npos ? std::string_view() : line.substr(tab + 1);
        }
        for (std::string_view& column : columns) {
            if (column == "\\N") {
                column = {}; // NULL, as the rows of a query give it
            }
        }
        std::int64_t file_index = 0;
        const auto [end, failed] =
            std::from_chars(columns[3].data(), columns[3].data() + columns[3].size(), file_index);
        if (failed != std::errc() || end != columns[3].data() + columns[3].size()) {
            error_ = "a row of COPY that holds no FileIndex";
            return false;
        }
        return sink.row({columns[0], columns[1], columns[2], file_index, true});
    }

    // A result, cleared when it goes.
    struct Result {
        Result(const Libpq& library, PGresult* got) : pq(library), result(got) {}
        ~Result() { pq.clear(result); }
        Result(const Result&) = delete;
        Result& operator=(const Result&) = delete;
        const Libpq& pq;
        PGresult* result;
    };

    std::string_view value(const PGresult* result, int row, int column) const
    {
        return {pq_.get_value(result, row, column),
                static_cast<std::size_t>(pq_.get_length(result, row, column))};
    }

    bool run(const char* sql)
    {
        Result result(pq_, pq_.exec(connection_, sql));
        if (pq_.result_status(result.result) != PGRES_COMMAND_OK) {
            error_ = trimmed(pq_.result_error_message(result.result));
            return false;
        }
        return true;
    }

    bool read_jobs(std::int64_t id, std::vector<JobRecord>& jobs) override
    {
        const std::string text = std::to_string(id);
        const char* const values[] = {text.c_str()};
        const std::string query = job_query(id != 0 ? "$1::bigint" : nullptr);
        Result result(pq_, pq_.exec_params(connection_, query.c_str(), id != 0 ? 1 : 0, nullptr,
                                           values, nullptr, nullptr, 0));
        if (pq_.result_status(result.result) != PGRES_TUPLES_OK) {
            error_ = trimmed(pq_.result_error_message(result.result));
            return false;
        }
        for (int row = 0; row < pq_.ntuples(result.result); ++row) {
            std::string_view columns[job_columns];
            for (std::size_t column = 0; column < job_columns; ++column) {
                columns[column] = value(result.result, row, static_cast<int>(column));
            }
            jobs.push_back(job_record(columns));
        }
        return true;
    }

    const Libpq& pq_;
    PGconn* connection_ = nullptr;
    bool older_schema_ = false;
};

} // namespace

std::unique_ptr<CatalogReader> open_postgresql_catalog(const std::string& conninfo,
                                                       std::string& error)
{
    const Libpq* const pq = load_once(load, error);
    if (pq == nullptr) {
        return nullptr;
    }
    auto reader = std::make_unique<PostgresqlReader>(*pq);
    if (!reader->open(conninfo, error)) {
        return nullptr;
    }
    return reader;
}

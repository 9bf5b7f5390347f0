#include "postgresql_reader.h"

#include "catalog_queries.h"
#include "client_library.h"

#include <libpq-fe.h>

#include <algorithm>
#include <cstdlib>

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
    decltype(&PQsendQueryParams) send_query_params;
    decltype(&PQsetSingleRowMode) set_single_row_mode;
    decltype(&PQgetResult) get_result;
    decltype(&PQresultStatus) result_status;
    decltype(&PQresultErrorMessage) result_error_message;
    decltype(&PQntuples) ntuples;
    decltype(&PQgetvalue) get_value;
    decltype(&PQgetlength) get_length;
    decltype(&PQclear) clear;
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
    client.find("PQsendQueryParams", pq.send_query_params);
    client.find("PQsetSingleRowMode", pq.set_single_row_mode);
    client.find("PQgetResult", pq.get_result);
    client.find("PQresultStatus", pq.result_status);
    client.find("PQresultErrorMessage", pq.result_error_message);
    client.find("PQntuples", pq.ntuples);
    client.find("PQgetvalue", pq.get_value);
    client.find("PQgetlength", pq.get_length);
    client.find("PQclear", pq.clear);
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
        const std::string id = std::to_string(job.id);
        const char* const values[] = {id.c_str()};
        const std::string query = file_rows_query(older_schema_, "$1::bigint");
        // A row at a time, so that memory does not grow with the job.
        if (pq_.send_query_params(connection_, query.c_str(), 1, nullptr, values, nullptr, nullptr,
                                  0) == 0 ||
            pq_.set_single_row_mode(connection_) == 0) {
            error_ = trimmed(pq_.error_message(connection_));
            return false;
        }
        bool reading = true;
        bool failed = false;
        for (PGresult* got; (got = pq_.get_result(connection_)) != nullptr;) {
            Result result(pq_, got);
            const ExecStatusType status = pq_.result_status(got);
            if (status == PGRES_SINGLE_TUPLE && reading) {
                CatalogFileRow row{value(got, 0, 0), value(got, 0, 1), value(got, 0, 2),
                                   std::strtoll(pq_.get_value(got, 0, 3), nullptr, 10)};
                reading = sink.row(row); // the rest is read, and let go
            } else if (status != PGRES_SINGLE_TUPLE && status != PGRES_TUPLES_OK && !failed) {
                error_ = trimmed(pq_.result_error_message(got));
                failed = true;
            }
        }
        return !failed;
    }

private:
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

#include "mariadb_reader.h"

#include "catalog_queries.h"
#include "client_library.h"

#include <mysql.h>

#include <cstdlib>

namespace {

// The functions of libmariadb that the reader calls.
struct Libmariadb {
    decltype(&mysql_init) init;
    decltype(&mysql_options) options;
    decltype(&mysql_real_connect) real_connect;
    decltype(&mysql_error) error;
    decltype(&mysql_close) close;
    decltype(&mysql_real_query) real_query;
    decltype(&mysql_use_result) use_result;
    decltype(&mysql_store_result) store_result;
    decltype(&mysql_fetch_row) fetch_row;
    decltype(&mysql_fetch_lengths) fetch_lengths;
    decltype(&mysql_free_result) free_result;
};

bool load(Libmariadb& db, std::string& error)
{
    ClientLibrary client;
    if (!client.open("libmariadb.so.3", "libmariadb3", error)) {
        return false;
    }
    client.find("mysql_init", db.init);
    client.find("mysql_options", db.options);
    client.find("mysql_real_connect", db.real_connect);
    client.find("mysql_error", db.error);
    client.find("mysql_close", db.close);
    client.find("mysql_real_query", db.real_query);
    client.find("mysql_use_result", db.use_result);
    client.find("mysql_store_result", db.store_result);
    client.find("mysql_fetch_row", db.fetch_row);
    client.find("mysql_fetch_lengths", db.fetch_lengths);
    client.find("mysql_free_result", db.free_result);
    return client.complete(error);
}

int hex_digit(char c)
{
    if (c >= '0' && c <= '9') {
        return c - '0';
    }
    if (c >= 'a' && c <= 'f') {
        return c - 'a' + 10;
    }
    if (c >= 'A' && c <= 'F') {
        return c - 'A' + 10;
    }
    return -1;
}

// `text` with its %XX escapes undone: false where one is cut short.
bool percent_decoded(std::string_view text, std::string& out)
{
    out.clear();
    for (std::size_t at = 0; at < text.size(); ++at) {
        if (text[at] != '%') {
            out += text[at];
            continue;
        }
        const int high = at + 2 < text.size() ? hex_digit(text[at + 1]) : -1;
        const int low = at + 2 < text.size() ? hex_digit(text[at + 2]) : -1;
        if (high < 0 || low < 0) {
            return false;
        }
        out += static_cast<char>(high * 16 + low);
        at += 2;
    }
    return true;
}

class MariadbReader final : public CatalogReader {
public:
    explicit MariadbReader(const Libmariadb& db) : db_(db) {}

    ~MariadbReader() override
    {
        if (connection_ != nullptr) {
            db_.close(connection_); // the transaction only read: ending it is enough
        }
    }
    MariadbReader(const MariadbReader&) = delete;
    MariadbReader& operator=(const MariadbReader&) = delete;

    bool open(const MariadbTarget& target, std::string& error)
    {
        connection_ = db_.init(nullptr);
        if (connection_ == nullptr) {
            error = "out of memory";
            return false;
        }
        // The [client] group of the option files, and names as bytes.
        db_.options(connection_, MYSQL_READ_DEFAULT_GROUP, "client");
        db_.options(connection_, MYSQL_SET_CHARSET_NAME, "binary");
        const auto given = [](const std::string& text, bool present) {
            return present || !text.empty() ? text.c_str() : nullptr;
        };
        if (db_.real_connect(
                connection_, given(target.host, false), given(target.user, target.has_user),
                given(target.password, target.has_password), given(target.database, false),
                target.port, given(target.socket, false), 0) == nullptr) {
            error = std::string("cannot connect: ") + db_.error(connection_);
            return false;
        }
        // One state of the catalog for everything read.
        if (!run("SET SESSION TRANSACTION ISOLATION LEVEL REPEATABLE READ") ||
            !run("START TRANSACTION WITH CONSISTENT SNAPSHOT, READ ONLY")) {
            error = "cannot begin a read-only transaction: " + error_;
            return false;
        }
        const std::string schema = filename_column_query("DATABASE()");
        if (!query(schema)) {
            error = error_;
            return false;
        }
        MYSQL_RES* const found = db_.store_result(connection_);
        if (found == nullptr) {
            error = db_.error(connection_);
            return false;
        }
        older_schema_ = db_.fetch_row(found) == nullptr;
        db_.free_result(found);
        return true;
    }

    bool read_rows(const JobRecord& job, CatalogRowSink& sink) override
    {
        // The JobId is a number the tool wrote, not text from anyone.
        const std::string id = std::to_string(job.id);
        if (!query(file_rows_query(older_schema_, id.c_str(),
                                   narrowing(older_schema_, ByteLiteral::hex)))) {
            return false;
        }
        // A row at a time from the server, so that memory does not grow with
        // the job.
        MYSQL_RES* const result = db_.use_result(connection_);
        if (result == nullptr) {
            error_ = db_.error(connection_);
            return false;
        }
        bool reading = true;
        for (MYSQL_ROW row; reading && (row = db_.fetch_row(result)) != nullptr;) {
            const unsigned long* const lengths = db_.fetch_lengths(result);
            const std::string index(row[3] != nullptr ? row[3] : "0", lengths[3]);
            reading = sink.row({{row[0], lengths[0]},
                                {row[1], lengths[1]},
                                {row[2], lengths[2]},
                                std::strtoll(index.c_str(), nullptr, 10)});
        }
        // A fetch that failed leaves the error; freeing reads what is left.
        const std::string failed = reading ? db_.error(connection_) : std::string();
        db_.free_result(result);
        if (!failed.empty()) {
            error_ = failed;
            return false;
        }
        return true;
    }

private:
    bool query(const std::string& sql)
    {
        if (db_.real_query(connection_, sql.data(), sql.size()) != 0) {
            error_ = db_.error(connection_);
            return false;
        }
        return true;
    }

    bool run(const char* sql) { return query(sql); }

    bool read_jobs(std::int64_t id, std::vector<JobRecord>& jobs) override
    {
        // The JobId is a number the tool wrote, not text from anyone.
        const std::string text = std::to_string(id);
        if (!query(job_query(id != 0 ? text.c_str() : nullptr))) {
            return false;
        }
        MYSQL_RES* const result = db_.store_result(connection_);
        if (result == nullptr) {
            error_ = db_.error(connection_);
            return false;
        }
        for (MYSQL_ROW row; (row = db_.fetch_row(result)) != nullptr;) {
            const unsigned long* const lengths = db_.fetch_lengths(result);
            std::string_view columns[job_columns];
            for (std::size_t column = 0; column < job_columns; ++column) {
                if (row[column] != nullptr) {
                    columns[column] = {row[column], lengths[column]};
                }
            }
            jobs.push_back(job_record(columns));
        }
        db_.free_result(result);
        return true;
    }

    const Libmariadb& db_;
    MYSQL* connection_ = nullptr;
    bool older_schema_ = false;
};

} // namespace

bool parse_mariadb_uri(const std::string& uri, MariadbTarget& target)
{
    target = MariadbTarget{};
    const std::size_t scheme = uri.find("://");
    if (scheme == std::string::npos) {
        return false;
    }
    std::string_view rest = std::string_view(uri).substr(scheme + 3);
    const std::size_t query_at = rest.find('?');
    const std::string_view query =
        query_at == std::string_view::npos ? std::string_view() : rest.substr(query_at + 1);
    rest = rest.substr(0, query_at);
    const std::size_t slash = rest.find('/');
    std::string_view authority = rest.substr(0, slash);
    if (slash != std::string_view::npos &&
        !percent_decoded(rest.substr(slash + 1), target.database)) {
        return false;
    }
    const std::size_t at = authority.rfind('@');
    if (at != std::string_view::npos) {
        const std::string_view user_info = authority.substr(0, at);
        const std::size_t colon = user_info.find(':');
        target.has_user = true;
        target.has_password = colon != std::string_view::npos;
        if (!percent_decoded(user_info.substr(0, colon), target.user) ||
            (target.has_password &&
             !percent_decoded(user_info.substr(colon + 1), target.password))) {
            return false;
        }
        authority = authority.substr(at + 1);
    }
    const std::size_t colon = authority.rfind(':');
    if (colon != std::string_view::npos) {
        const std::string port(authority.substr(colon + 1));
        char* end = nullptr;
        const unsigned long number = std::strtoul(port.c_str(), &end, 10);
        if (port.empty() || *end != '\0' || number > 65535) {
            return false;
        }
        target.port = static_cast<unsigned>(number);
        authority = authority.substr(0, colon);
    }
    if (!percent_decoded(authority, target.host)) {
        return false;
    }
    if (query.substr(0, 7) == "socket=") {
        return percent_decoded(query.substr(7), target.socket);
    }
    return query.empty();
}

std::unique_ptr<CatalogReader> open_mariadb_catalog(const std::string& uri, std::string& error)
{
    MariadbTarget target;
    if (!parse_mariadb_uri(uri, target)) {
        error = "cannot read the URI: mysql://[USER@][HOST][:PORT][/DATABASE][?socket=PATH]";
        return nullptr;
    }
    const Libmariadb* const db = load_once(load, error);
    if (db == nullptr) {
        return nullptr;
    }
    auto reader = std::make_unique<MariadbReader>(*db);
    if (!reader->open(target, error)) {
        return nullptr;
    }
    return reader;
}

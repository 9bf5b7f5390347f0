#include "sqlite_reader.h"

#include "catalog_queries.h"
#include "client_library.h"

#include <sqlite3.h>

namespace {

// The functions of libsqlite3 that the reader calls, looked up once the
// library is loaded.
struct SqliteLibrary {
    decltype(&sqlite3_open_v2) open_v2;
    decltype(&sqlite3_close) close;
    decltype(&sqlite3_errmsg) errmsg;
    decltype(&sqlite3_prepare_v2) prepare_v2;
    decltype(&sqlite3_step) step;
    decltype(&sqlite3_finalize) finalize;
    decltype(&sqlite3_bind_int64) bind_int64;
    decltype(&sqlite3_column_blob) column_blob;
    decltype(&sqlite3_column_bytes) column_bytes;
    decltype(&sqlite3_column_int64) column_int64;
    decltype(&sqlite3_column_type) column_type;
};

// Loads libsqlite3: false, with `error`, where it is missing.
bool load(SqliteLibrary& library, std::string& error)
{
    ClientLibrary client;
    if (!client.open("libsqlite3.so.0", "libsqlite3-0", error)) {
        return false;
    }
    client.find("sqlite3_open_v2", library.open_v2);
    client.find("sqlite3_close", library.close);
    client.find("sqlite3_errmsg", library.errmsg);
    client.find("sqlite3_prepare_v2", library.prepare_v2);
    client.find("sqlite3_step", library.step);
    client.find("sqlite3_finalize", library.finalize);
    client.find("sqlite3_bind_int64", library.bind_int64);
    client.find("sqlite3_column_blob", library.column_blob);
    client.find("sqlite3_column_bytes", library.column_bytes);
    client.find("sqlite3_column_int64", library.column_int64);
    client.find("sqlite3_column_type", library.column_type);
    return client.complete(error);
}

// A column's bytes, whatever type SQLite stored them as.
std::string_view column_bytes(const SqliteLibrary& library, sqlite3_stmt* statement, int column)
{
    const void* const bytes = library.column_blob(statement, column);
    const int length = library.column_bytes(statement, column);
    return bytes == nullptr ? std::string_view()
                            : std::string_view(static_cast<const char*>(bytes),
                                               static_cast<std::size_t>(length));
}

class SqliteReader final : public CatalogReader {
public:
    explicit SqliteReader(const SqliteLibrary& library) : library_(library) {}

    ~SqliteReader() override
    {
        if (database_ != nullptr) {
            // The transaction only read: closing ends it.
            library_.close(database_);
        }
    }
    SqliteReader(const SqliteReader&) = delete;
    SqliteReader& operator=(const SqliteReader&) = delete;

    bool open(const std::string& path, std::string& error)
    {
        // One thread at a time uses the connection (see line_stream.h): no
        // lock at every call.
        if (library_.open_v2(path.c_str(), &database_, SQLITE_OPEN_READONLY | SQLITE_OPEN_NOMUTEX,
                             nullptr) != SQLITE_OK) {
            error = "cannot open the catalog " + path + ": " + message();
            return false;
        }
        // One state of the catalog for everything read: a read transaction
        // holds it from its first read.
        if (!run("BEGIN") || !run("SELECT COUNT(*) FROM Job")) {
            error = "cannot read the catalog " + path + ": " + error_;
            return false;
        }
        older_schema_ = !has_column("File", "Filename");
        return true;
    }

    bool read_rows(const JobRecord& job, CatalogRowSink& sink) override
    {
        const std::string query =
            file_rows_query(older_schema_, "?", narrowing(older_schema_, ByteLiteral::hex_text));
        Statement statement(*this, query.c_str());
        if (statement.handle == nullptr) {
            return false;
        }
        library_.bind_int64(statement.handle, 1, job.id);
        for (;;) {
            const int stepped = library_.step(statement.handle);
            if (stepped == SQLITE_DONE) {
                return true;
            }
            if (stepped != SQLITE_ROW) {
                error_ = message();
                return false;
            }
            CatalogFileRow row{column_bytes(library_, statement.handle, 0),
                               column_bytes(library_, statement.handle, 1),
                               column_bytes(library_, statement.handle, 2),
                               library_.column_int64(statement.handle, 3)};
            if (!sink.row(row)) {
                return true;
            }
        }
    }

private:
    struct Statement {
        Statement(SqliteReader& reader, const char* sql) : library(reader.library_)
        {
            if (library.prepare_v2(reader.database_, sql, -1, &handle, nullptr) != SQLITE_OK) {
                reader.error_ = reader.message();
                handle = nullptr;
            }
        }
        ~Statement() { library.finalize(handle); }
        Statement(const Statement&) = delete;
        Statement& operator=(const Statement&) = delete;
        const SqliteLibrary& library;
        sqlite3_stmt* handle = nullptr;
    };

    std::string message() const { return library_.errmsg(database_); }

    // Runs `sql` to its end: false, with error_, where it fails.
    bool run(const char* sql)
    {
        Statement statement(*this, sql);
        if (statement.handle == nullptr) {
            return false;
        }
        int stepped = SQLITE_ROW;
        while (stepped == SQLITE_ROW) {
            stepped = library_.step(statement.handle);
        }
        if (stepped != SQLITE_DONE) {
            error_ = message();
            return false;
        }
        return true;
    }

    bool has_column(const char* table, const char* column)
    {
        const std::string sql = std::string("SELECT 1 FROM pragma_table_info('") + table +
                                "') WHERE name = '" + column + "'";
        Statement statement(*this, sql.c_str());
        return statement.handle != nullptr && library_.step(statement.handle) == SQLITE_ROW;
    }

    bool read_jobs(std::int64_t id, std::vector<JobRecord>& jobs) override
    {
        const std::string query = job_query(id != 0 ? "?" : nullptr);
        Statement statement(*this, query.c_str());
        if (statement.handle == nullptr) {
            return false;
        }
        if (id != 0) {
            library_.bind_int64(statement.handle, 1, id);
        }
        int stepped = SQLITE_ROW;
        while ((stepped = library_.step(statement.handle)) == SQLITE_ROW) {
            std::string_view columns[job_columns];
            for (std::size_t column = 0; column < job_columns; ++column) {
                columns[column] =
                    column_bytes(library_, statement.handle, static_cast<int>(column));
            }
            jobs.push_back(job_record(columns));
        }
        if (stepped != SQLITE_DONE) {
            error_ = message();
            return false;
        }
        return true;
    }

    const SqliteLibrary& library_;
    sqlite3* database_ = nullptr;
    bool older_schema_ = false;
};

} // namespace

std::unique_ptr<CatalogReader> open_sqlite_catalog(const std::string& path, std::string& error)
{
    const SqliteLibrary* const library = load_once(load, error);
    if (library == nullptr) {
        return nullptr;
    }
    auto reader = std::make_unique<SqliteReader>(*library);
    if (!reader->open(path, error)) {
        return nullptr;
    }
    return reader;
}

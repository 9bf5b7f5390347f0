// Reading a backup catalog straight from its engine, through the engine's
// own client library, loaded when --catalog is used and not before, so
// that b64num-lstat without it starts as fast as ever. Everything is read
// in one read-only transaction that sees one state of the catalog: a backup
// or a prune running meanwhile cannot make a partial answer.
//
// The tables are the catalog's public ones: Job (JobId, Type, Level,
// JobStatus, StartTime, JobTDate, JobFiles, JobBytes, PurgedFiles, ClientId,
// FileSetId), Client (ClientId, Name), FileSet (FileSetId, FileSet), Path
// (PathId, Path), File (JobId, PathId, FileIndex, LStat, and Filename, or in
// the older schema FilenameId into Filename (FilenameId, Name)). The schema
// is found, not configured.
#ifndef B64NUM_CATALOG_READER_H
#define B64NUM_CATALOG_READER_H

#include "catalog_queries.h"
#include "catalog_uri.h"
#include "job_selection.h"

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

// A row of File, its bytes as the catalog holds them.
struct CatalogFileRow {
    std::string_view path;  // Path.Path, a directory's path with its '/'
    std::string_view name;  // the file's name; empty for the directory's own row
    std::string_view lstat; // File.LStat
    std::int64_t file_index;
    bool escaped = false; // path and name come escaped as COPY escapes them
};

class CatalogRowSink {
public:
    // False stops the reading.
    virtual bool row(const CatalogFileRow& row) = 0;

protected:
    CatalogRowSink() = default;
    CatalogRowSink(const CatalogRowSink&) = default;
    CatalogRowSink& operator=(const CatalogRowSink&) = default;
    ~CatalogRowSink() = default;
};

class CatalogReader {
public:
    CatalogReader() = default;
    CatalogReader(const CatalogReader&) = delete;
    CatalogReader& operator=(const CatalogReader&) = delete;
    virtual ~CatalogReader() = default;

    // The jobs `ids`, in job order: false, with error(), where one is
    // missing.
    bool find_jobs(const std::vector<std::int64_t>& ids, std::vector<JobRecord>& jobs);

    // Every backup job of the catalog, in no order.
    bool find_backups(std::vector<JobRecord>& jobs);

    // Hands each row of `job` to `sink`, in the engine's order: false, with
    // error(), where the engine failed (not where the sink stopped). Only
    // rows at or below `under` where narrow_to() was called, and maybe more.
    virtual bool read_rows(const JobRecord& job, CatalogRowSink& sink) = 0;

    // Has the engine leave out the rows that lie neither at nor below
    // `under` (real bytes, without a trailing '/'), so that a question about
    // one directory does not read the whole job.
    void narrow_to(std::string_view under) { under_ = under; }

    // The same for the rows whose name cannot match `glob`, as --name
    // matches it.
    void narrow_to_name(std::string_view glob) { name_glob_ = glob; }

    const std::string& error() const { return error_; }

protected:
    // Appends the rows of job_query() to `jobs`: of the job `id`, or of
    // every backup where `id` is 0. False, with error_, where the engine
    // failed.
    virtual bool read_jobs(std::int64_t id, std::vector<JobRecord>& jobs) = 0;

    std::string error_;
    std::string under_;     // see narrow_to
    std::string name_glob_; // see narrow_to_name

    // The condition of the rows that narrow_to and narrow_to_name keep, as
    // the engine writes bytes.
    std::string narrowing(bool older_schema, ByteLiteral literal) const;
};

// Opens the catalog of `uri` and begins the transaction: nullptr, with
// `error`, where it cannot.
std::unique_ptr<CatalogReader> open_catalog(const CatalogUri& uri, std::string& error);

#endif

#include "catalog_reader.h"

#include "catalog_queries.h"
#include "mariadb_reader.h"
#include "postgresql_reader.h"
#include "sqlite_reader.h"

#include <algorithm>

bool CatalogReader::find_jobs(const std::vector<std::int64_t>& ids, std::vector<JobRecord>& jobs)
{
    jobs.clear();
    error_.clear();
    for (const std::int64_t id : ids) {
        if (!read_jobs(id, jobs)) {
            return false;
        }
        if (jobs.empty() || jobs.back().id != id) {
            error_ = "no job " + std::to_string(id) + " in the catalog";
            return false;
        }
    }
    std::sort(jobs.begin(), jobs.end(), in_job_order);
    return true;
}

bool CatalogReader::find_backups(std::vector<JobRecord>& jobs)
{
    jobs.clear();
    error_.clear();
    return read_jobs(0, jobs);
}

std::string CatalogReader::narrowing(bool older_schema, ByteLiteral literal) const
{
    std::string condition = under_condition(under_, older_schema, literal);
    const std::string names =
        name_glob_.empty() ? std::string() : name_condition(name_glob_, older_schema, literal);
    if (!names.empty()) {
        condition = condition.empty() ? names : "(" + condition + ") AND (" + names + ")";
    }
    return condition;
}

std::unique_ptr<CatalogReader> open_catalog(const CatalogUri& uri, std::string& error)
{
    switch (uri.engine) {
    case CatalogEngine::sqlite:
        return open_sqlite_catalog(uri.target, error);
    case CatalogEngine::postgresql:
        return open_postgresql_catalog(uri.target, error);
    case CatalogEngine::mariadb:
        return open_mariadb_catalog(uri.target, error);
    }
    error = "no reader for the catalog's engine";
    return nullptr;
}

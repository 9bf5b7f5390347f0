#include "catalog_reader.h"

#include "mariadb_reader.h"
#include "postgresql_reader.h"
#include "sqlite_reader.h"

#include <algorithm>

bool CatalogReader::find_jobs(const std::vector<std::int64_t>& ids, std::vector<CatalogJob>& jobs)
{
    jobs.clear();
    std::int64_t first_client = 0;
    std::int64_t first_job = 0;
    for (const std::int64_t id : ids) {
        JobRecord record{};
        error_.clear();
        if (!read_job(id, record)) {
            if (error_.empty()) {
                error_ = "no job " + std::to_string(id) + " in the catalog";
            }
            return false;
        }
        if (record.type != "B") {
            error_ =
                "job " + std::to_string(id) + " is no backup (its Type is '" + record.type + "')";
            return false;
        }
        if (record.purged_files != 0) {
            error_ = "job " + std::to_string(id) +
                     " had its file records pruned (PurgedFiles 1): nothing to read";
            return false;
        }
        if (first_job != 0 && record.client != first_client) {
            error_ = "jobs " + std::to_string(first_job) + " and " + std::to_string(id) +
                     " back up two clients, whose paths would merge into one tree: give one "
                     "client's jobs";
            return false;
        }
        if (first_job == 0) {
            first_job = id;
            first_client = record.client;
        }
        jobs.push_back(record.job);
    }
    std::sort(jobs.begin(), jobs.end(), [](const CatalogJob& a, const CatalogJob& b) {
        return a.time != b.time ? a.time < b.time : a.id < b.id;
    });
    return true;
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

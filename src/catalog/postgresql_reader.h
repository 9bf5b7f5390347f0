// The catalog in PostgreSQL, through libpq, loaded at run time.
#ifndef B64NUM_POSTGRESQL_READER_H
#define B64NUM_POSTGRESQL_READER_H

#include "catalog_reader.h"

#include <memory>
#include <string>

// Connects with `conninfo`, a postgresql:// URI or a connection string as
// libpq reads them (with its environment, ~/.pgpass and services), and
// begins a read-only REPEATABLE READ transaction: nullptr, with `error`,
// where the library, the server or the tables are missing.
std::unique_ptr<CatalogReader> open_postgresql_catalog(const std::string& conninfo,
                                                       std::string& error);

#endif

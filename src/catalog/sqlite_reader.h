// The catalog in an SQLite file, through libsqlite3, loaded at run time.
#ifndef B64NUM_SQLITE_READER_H
#define B64NUM_SQLITE_READER_H

#include "catalog_reader.h"

#include <memory>
#include <string>

// Opens the catalog file `path` read-only and begins a read transaction:
// nullptr, with `error`, where the library, the file or its tables are
// missing.
std::unique_ptr<CatalogReader> open_sqlite_catalog(const std::string& path, std::string& error);

#endif

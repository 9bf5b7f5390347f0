// The catalog in MariaDB or MySQL, through MariaDB Connector/C
// (libmariadb), loaded at run time.
#ifndef B64NUM_MARIADB_READER_H
#define B64NUM_MARIADB_READER_H

#include "catalog_reader.h"

#include <memory>
#include <string>

// The parts of a mysql:// or mariadb:// URI:
// scheme://[user[:password]@][host][:port][/database][?socket=PATH],
// percent-escapes undone; what it leaves out comes from the option files.
struct MariadbTarget {
    std::string user, password, host, database, socket;
    unsigned port = 0;
    bool has_user = false, has_password = false;
};

// False where the URI cannot be read.
bool parse_mariadb_uri(const std::string& uri, MariadbTarget& target);

// Connects as `uri` says, with the [client] group of the option files
// (~/.my.cnf), and begins a read-only REPEATABLE READ transaction with a
// consistent snapshot: nullptr, with `error`, where the library, the server
// or the tables are missing.
std::unique_ptr<CatalogReader> open_mariadb_catalog(const std::string& uri, std::string& error);

#endif

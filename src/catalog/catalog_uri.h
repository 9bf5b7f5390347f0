// Where --catalog reads from, as each engine's users write it:
// sqlite:PATH for an SQLite file; postgresql://… or postgres://…, and
// libpq's own connection strings ("host=… dbname=…", "service=…"); and
// mysql://… or mariadb://…. A password is never needed on the command line
// (libpq's ~/.pgpass and PGSERVICE, MariaDB's ~/.my.cnf); one written in
// the URI shows in ps, and draws a warning.
#ifndef B64NUM_CATALOG_URI_H
#define B64NUM_CATALOG_URI_H

#include <string>

enum class CatalogEngine { sqlite, postgresql, mariadb };

struct CatalogUri {
    CatalogEngine engine = CatalogEngine::sqlite;
    std::string target;        // the file, or the URI or connection string as given
    std::string shown;         // for messages: the URI without its password
    bool has_password = false; // written in the URI
};

// Reads `text`; false, with `error`, where no engine reads it.
bool parse_catalog_uri(const std::string& text, CatalogUri& uri, std::string& error);

#endif

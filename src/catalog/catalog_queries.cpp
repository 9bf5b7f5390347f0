#include "catalog_queries.h"

std::string job_query(const char* parameter)
{
    return std::string("SELECT JobId, JobTDate, Type, PurgedFiles, ClientId FROM Job "
                       "WHERE JobId = ") +
           parameter;
}

std::string file_rows_query(bool older_schema, const char* parameter)
{
    const std::string rows = older_schema
                                 ? "SELECT Path.Path, Filename.Name, File.LStat, File.FileIndex "
                                   "FROM File JOIN Path ON Path.PathId = File.PathId "
                                   "JOIN Filename ON Filename.FilenameId = File.FilenameId "
                                 : "SELECT Path.Path, File.Filename, File.LStat, File.FileIndex "
                                   "FROM File JOIN Path ON Path.PathId = File.PathId ";
    return rows + "WHERE File.JobId = " + parameter;
}

std::string filename_column_query(const char* schema_function)
{
    // Unquoted names fold to lower case in PostgreSQL, and keep the case
    // they were created in in MariaDB.
    return std::string("SELECT 1 FROM information_schema.columns WHERE table_schema = ") +
           schema_function + " AND lower(table_name) = 'file' AND lower(column_name) = 'filename'";
}

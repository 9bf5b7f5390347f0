#include "catalog_queries.h"

std::string job_query(const char* parameter)
{
    // LEFT JOINs: a job whose client or FileSet went is still a job.
    const std::string columns =
        "SELECT Job.JobId, Job.JobTDate, Job.Type, Job.PurgedFiles, Job.ClientId, Job.Level, "
        "Job.JobStatus, Job.StartTime, Job.JobFiles, Job.JobBytes, Client.Name, FileSet.FileSet "
        "FROM Job LEFT JOIN Client ON Client.ClientId = Job.ClientId "
        "LEFT JOIN FileSet ON FileSet.FileSetId = Job.FileSetId ";
    return columns + (parameter != nullptr ? std::string("WHERE Job.JobId = ") + parameter
                                           : std::string("WHERE Job.Type = 'B'"));
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

std::string file_rows_copy(bool older_schema, std::int64_t job_id)
{
    return "COPY (" + file_rows_query(older_schema, std::to_string(job_id).c_str()) + ") TO STDOUT";
}

std::string filename_column_query(const char* schema_function)
{
    // Unquoted names fold to lower case in PostgreSQL, and keep the case
    // they were created in in MariaDB.
    return std::string("SELECT 1 FROM information_schema.columns WHERE table_schema = ") +
           schema_function + " AND lower(table_name) = 'file' AND lower(column_name) = 'filename'";
}

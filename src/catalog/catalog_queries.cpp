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

namespace {

std::string literal_of(std::string_view bytes, ByteLiteral literal)
{
    static const char digits[] = "0123456789abcdef";
    std::string text = literal == ByteLiteral::escaped_hex ? "E'" : "X'";
    for (const char c : bytes) {
        const auto byte = static_cast<unsigned char>(c);
        if (literal == ByteLiteral::escaped_hex) {
            text += "\\x";
        }
        text += digits[byte >> 4U];
        text += digits[byte & 15U];
    }
    return literal == ByteLiteral::hex_text ? "CAST(" + text + "' AS TEXT)" : text + "'";
}

// A column as LIKE reads it.
std::string text_of(const std::string& column, ByteLiteral literal)
{
    return literal == ByteLiteral::hex_text ? "CAST(" + column + " AS TEXT)" : column;
}

// `text` with LIKE's wildcards and its escape character escaped.
std::string like_escaped(std::string_view text)
{
    std::string escaped;
    for (const char c : text) {
        if (c == '%' || c == '_' || c == '\\') {
            escaped += '\\';
        }
        escaped += c;
    }
    return escaped;
}

} // namespace

std::string under_condition(std::string_view under, bool older_schema, ByteLiteral literal)
{
    if (under.empty() || under == "/" || under == ".") {
        return {};
    }
    const std::string name_column =
        text_of(older_schema ? "Filename.Name" : "File.Filename", literal);
    const std::string path_column = text_of("Path.Path", literal);
    const std::string escape = " ESCAPE " + literal_of("\\", literal);
    // Below it: a directory's path starts with it and its '/'. At it: a
    // file's directory and name, or the directory's own row.
    const std::size_t slash = under.rfind('/');
    const std::string_view directory =
        slash == std::string_view::npos ? std::string_view() : under.substr(0, slash + 1);
    const std::string_view name = under.substr(directory.size());
    return path_column + " LIKE " + literal_of(like_escaped(under) + "/%", literal) + escape +
           " OR (" + path_column + " LIKE " + literal_of(like_escaped(directory), literal) +
           escape + " AND " + name_column + " LIKE " + literal_of(like_escaped(name), literal) +
           escape + ")";
}

std::string name_condition(std::string_view glob, bool older_schema, ByteLiteral literal)
{
    std::string pattern;
    for (std::size_t at = 0; at < glob.size(); ++at) {
        const char c = glob[at];
        if (c == '[' || (c == '\\' && at + 1 == glob.size())) {
            return {};
        }
        if (c == '*' || c == '?') {
            pattern += '%';
        } else {
            const char literal_byte = c == '\\' ? glob[++at] : c;
            pattern += like_escaped(std::string_view(&literal_byte, 1));
        }
    }
    const std::string name_column =
        text_of(older_schema ? "Filename.Name" : "File.Filename", literal);
    const std::string escape = " ESCAPE " + literal_of("\\", literal);
    return name_column + " LIKE " + literal_of(pattern, literal) + escape + " OR " + name_column +
           " LIKE " + literal_of("", literal) + escape;
}

std::string file_rows_query(bool older_schema, const char* parameter, const std::string& condition)
{
    const std::string rows = older_schema
                                 ? "SELECT Path.Path, Filename.Name, File.LStat, File.FileIndex "
                                   "FROM File JOIN Path ON Path.PathId = File.PathId "
                                   "JOIN Filename ON Filename.FilenameId = File.FilenameId "
                                 : "SELECT Path.Path, File.Filename, File.LStat, File.FileIndex "
                                   "FROM File JOIN Path ON Path.PathId = File.PathId ";
    return rows + "WHERE File.JobId = " + parameter +
           (condition.empty() ? std::string() : " AND (" + condition + ")");
}

std::string file_rows_copy(bool older_schema, std::int64_t job_id, const std::string& condition)
{
    return "COPY (" + file_rows_query(older_schema, std::to_string(job_id).c_str(), condition) +
           ") TO STDOUT";
}

std::string filename_column_query(const char* schema_function)
{
    // Unquoted names fold to lower case in PostgreSQL, and keep the case
    // they were created in in MariaDB.
    return std::string("SELECT 1 FROM information_schema.columns WHERE table_schema = ") +
           schema_function + " AND lower(table_name) = 'file' AND lower(column_name) = 'filename'";
}

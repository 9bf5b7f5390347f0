#include "row_selection.h"

#include "client_escapes.h"
#include "file_mode.h"
#include "path_identity.h"

#include <fnmatch.h>

#include <algorithm>
#include <cstring>

namespace {

std::string_view without_slash(std::string_view path)
{
    return path.size() > 1 && path.back() == '/' ? path.substr(0, path.size() - 1) : path;
}

bool listed(const std::vector<std::int64_t>& values, std::int64_t value)
{
    return values.empty() || std::find(values.begin(), values.end(), value) != values.end();
}

} // namespace

bool lies_under(const RowSelection& selection, const CatalogLine& line, std::string& scratch)
{
    if (!selection.has_under) {
        return true;
    }
    const std::string_view path = without_slash(real_bytes(line.first_column(), scratch));
    const std::string_view top = selection.under;
    if (top == "/") {
        return !path.empty() && path.front() == '/';
    }
    if (top == ".") {
        return !is_absolute_path(path);
    }
    return path.substr(0, top.size()) == top &&
           (path.size() == top.size() || path[top.size()] == '/');
}

bool passes_tests(const RowSelection& selection, const CatalogLine& line, std::string& scratch)
{
    const std::int64_t* const values = line.fields.values;
    const std::int64_t size = values[field_size];
    const std::int64_t mtime = values[field_mtime];
    switch (selection.size_compare) {
    case RowSelection::Compare::any:
        break;
    case RowSelection::Compare::more:
        if (size <= selection.size) {
            return false;
        }
        break;
    case RowSelection::Compare::less:
        if (size >= selection.size) {
            return false;
        }
        break;
    case RowSelection::Compare::exactly:
        if (size != selection.size) {
            return false;
        }
        break;
    }
    // As find -newermt: strictly newer; --older takes the rest.
    if ((selection.has_newer && mtime <= selection.newer) ||
        (selection.has_older && mtime > selection.older) ||
        !listed(selection.uids, values[field_uid]) || !listed(selection.gids, values[field_gid])) {
        return false;
    }
    if (!selection.types.empty() &&
        selection.types.find(find_type_letter(values[field_mode])) == std::string::npos) {
        return false;
    }
    if (!selection.has_name) {
        return true;
    }
    const std::string_view path = without_slash(line.first_column());
    const std::size_t slash = path.rfind('/');
    const std::string_view last =
        slash == std::string_view::npos || path.size() == 1 ? path : path.substr(slash + 1);
    // fnmatch wants a NUL at the end: the real bytes go into `scratch`.
    scratch.assign(last);
    scratch.resize(unescape_column(scratch.data(), scratch.size()));
    return fnmatch(selection.name.c_str(), scratch.c_str(), 0) == 0;
}

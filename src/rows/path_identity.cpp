#include "path_identity.h"

#include "client_escapes.h"

namespace {

std::string_view without_slash(std::string_view path)
{
    return !path.empty() && path.back() == '/' ? path.substr(0, path.size() - 1) : path;
}

} // namespace

bool is_absolute_path(std::string_view path)
{
    const auto is_letter = [](char c) { return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z'); };
    return (!path.empty() && path.front() == '/') ||
           (path.size() >= 3 && is_letter(path[0]) && path[1] == ':' && path[2] == '/');
}

std::string_view root_above_tops(bool all_absolute)
{
    return all_absolute ? "/" : ".";
}

PathIdentity path_identity(std::string_view column, std::string& scratch)
{
    const std::string_view given = without_slash(column);
    const bool slash = given.size() < column.size();
    if (to_copy_escapes(given, scratch)) {
        return {scratch, given, slash};
    }
    return {given, given, slash};
}

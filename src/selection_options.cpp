#include "selection_options.h"

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <ctime>

namespace {

// A decimal number of `text` from `at`, no sign; false past 2^63 - 1.
bool read_number(const char* text, std::size_t& at, std::int64_t& value)
{
    if (text[at] < '0' || text[at] > '9') {
        return false;
    }
    value = 0;
    for (; text[at] >= '0' && text[at] <= '9'; ++at) {
        const int digit = text[at] - '0';
        if (value > (INT64_MAX - digit) / 10) {
            return false;
        }
        value = value * 10 + digit;
    }
    return true;
}

bool parse_types(const char* value, RowSelection& selection, std::string& error)
{
    const std::string letters = "fdlbcps?";
    for (const char* at = value; *at != '\0'; ++at) {
        if (letters.find(*at) != std::string::npos) {
            selection.types += *at;
        } else if (*at != ',') {
            error = "invalid type '" + std::string(value) + "': letters of f d l b c p s ?";
            return false;
        }
    }
    if (selection.types.empty()) {
        error = "--type needs letters: f d l b c p s ?";
        return false;
    }
    return true;
}

bool parse_size(const char* value, RowSelection& selection, std::string& error)
{
    std::size_t at = 0;
    selection.size_compare = value[0] == '+'   ? RowSelection::Compare::more
                             : value[0] == '-' ? RowSelection::Compare::less
                                               : RowSelection::Compare::exactly;
    at += selection.size_compare == RowSelection::Compare::exactly ? 0 : 1;
    std::int64_t number = 0;
    const bool digits = read_number(value, at, number);
    const std::string units = "KMGTP";
    const std::size_t unit = value[at] == '\0' ? std::string::npos : units.find(value[at]);
    if (!digits || (value[at] != '\0' && (unit == std::string::npos || value[at + 1] != '\0'))) {
        error = "invalid size '" + std::string(value) +
                "': [+|-]N[K|M|G|T|P], bytes or powers of 1024 of them";
        return false;
    }
    const int shift = unit == std::string::npos ? 0 : 10 * static_cast<int>(unit + 1);
    if (number > (INT64_MAX >> shift)) {
        error = "invalid size '" + std::string(value) + "': it passes 2^63 - 1 bytes";
        return false;
    }
    selection.size = number << shift;
    return true;
}

bool parse_ids(const char* value, std::vector<std::int64_t>& ids)
{
    std::size_t at = 0;
    for (;;) {
        std::int64_t id = 0;
        if (!read_number(value, at, id)) {
            return false;
        }
        ids.push_back(id);
        if (value[at] == '\0') {
            return true;
        }
        if (value[at++] != ',') {
            return false;
        }
    }
}

// A path as rows give it: without empty components and '.', so that
// /usr/lib// is /usr/lib and ./x is x; "/" and "." stay.
std::string normal_path(const std::string& path)
{
    std::string normal = path.front() == '/' ? "/" : "";
    for (std::size_t at = 0; at <= path.size();) {
        const std::size_t slash = std::min(path.find('/', at), path.size());
        const std::string component = path.substr(at, slash - at);
        if (!component.empty() && component != ".") {
            if (!normal.empty() && normal.back() != '/') {
                normal += '/';
            }
            normal += component;
        }
        at = slash + 1;
    }
    return normal.empty() ? "." : normal;
}

} // namespace

bool parse_time(const char* value, std::int64_t& seconds)
{
    std::size_t at = 0;
    if (value[0] == '@') {
        at = value[1] == '-' ? 2 : 1;
        std::int64_t number = 0;
        if (!read_number(value, at, number) || value[at] != '\0') {
            return false;
        }
        seconds = value[1] == '-' ? -number : number;
        return true;
    }
    // Each part: its digits, then what must follow it.
    const struct {
        std::size_t digits;
        char after;
    } parts[] = {{4, '-'}, {2, '-'}, {2, ' '}, {2, ':'}, {2, ':'}, {2, '\0'}};
    std::int64_t numbers[6] = {0, 1, 1, 0, 0, 0};
    std::size_t count = 0;
    for (const auto& part : parts) {
        const std::size_t start = at;
        if (!read_number(value, at, numbers[count]) || at - start != part.digits) {
            return false;
        }
        ++count;
        if (value[at] == '\0') {
            break;
        }
        if (value[at] != part.after) {
            return false;
        }
        ++at;
    }
    if (value[at] != '\0' || (count != 3 && count != 5 && count != 6)) {
        return false;
    }
    std::tm local{};
    local.tm_year = static_cast<int>(numbers[0]) - 1900;
    local.tm_mon = static_cast<int>(numbers[1]) - 1;
    local.tm_mday = static_cast<int>(numbers[2]);
    local.tm_hour = static_cast<int>(numbers[3]);
    local.tm_min = static_cast<int>(numbers[4]);
    local.tm_sec = static_cast<int>(numbers[5]);
    local.tm_isdst = -1;
    std::tm normalized = local;
    const std::time_t when = std::mktime(&normalized);
    // mktime carries 2025-02-30 into March: such a date is none.
    if (normalized.tm_mday != local.tm_mday || normalized.tm_mon != local.tm_mon ||
        normalized.tm_hour != local.tm_hour || normalized.tm_min != local.tm_min) {
        return false;
    }
    seconds = when;
    return true;
}

bool parse_selection(const std::string& option, const char* value, RowSelection& selection,
                     std::string& error)
{
    const std::string text = value;
    if (option == "type") {
        return parse_types(value, selection, error);
    }
    if (option == "size") {
        return parse_size(value, selection, error);
    }
    if (option == "newer" || option == "older") {
        std::int64_t& when = option == "newer" ? selection.newer : selection.older;
        (option == "newer" ? selection.has_newer : selection.has_older) = true;
        if (!parse_time(value, when)) {
            error = "invalid time '" + text +
                    "': YYYY-MM-DD, 'YYYY-MM-DD HH:MM' or 'YYYY-MM-DD HH:MM:SS' in local time, "
                    "or @SECONDS";
            return false;
        }
        return true;
    }
    if (option == "uid" || option == "gid") {
        if (!parse_ids(value, option == "uid" ? selection.uids : selection.gids)) {
            error = "invalid " + option + "s '" + text + "': numbers separated by commas";
            return false;
        }
        return true;
    }
    if (option == "name") {
        // find -name matches a last component, which holds no '/'.
        if (text.find('/') != std::string::npos) {
            error = "--name matches a name, the last component of a path, which never holds '/' "
                    "('" +
                    text + "'): --under selects by place";
            return false;
        }
        selection.has_name = true;
        selection.name = text;
        return true;
    }
    if (text.empty()) {
        error = "--under needs a path";
        return false;
    }
    selection.has_under = true;
    selection.under = normal_path(text);
    return true;
}

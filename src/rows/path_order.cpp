#include "path_order.h"

#include "client_escapes.h"
#include "file_mode.h"

#include <algorithm>
#include <cstring>

namespace {

// The real bytes of the path of `line`, as given.
void given_key(const CatalogLine& line, std::string& key)
{
    const std::string_view path = line.first_column();
    key.assign(path.data(), path.size());
    if (std::memchr(path.data(), '\\', path.size()) != nullptr) {
        key.resize(unescape_column(key.data(), key.size()));
    }
}

} // namespace

void path_order_key(const CatalogLine& line, std::string& key)
{
    given_key(line, key);
    if (is_directory(line.fields.values[field_mode]) && (key.empty() || key.back() != '/')) {
        key.push_back('/');
    }
}

bool lacks_slash(const CatalogLine& line)
{
    const std::string_view path = line.first_column();
    return is_directory(line.fields.values[field_mode]) && (path.empty() || path.back() != '/');
}

void SlashlessDirectories::hold(std::string_view key, std::string_view payload)
{
    auto at = std::upper_bound(held_.begin(), held_.end(), key,
                               [](std::string_view k, const auto& held) { return k < held.first; });
    held_.emplace(at, std::string(key), std::string(payload));
}

bool SlashlessDirectories::next_before(std::string_view next_key, bool at_end, std::string& key,
                                       std::string& payload)
{
    if (held_.empty() || (!at_end && next_key < held_.front().first)) {
        return false;
    }
    key = std::move(held_.front().first);
    payload = std::move(held_.front().second);
    held_.erase(held_.begin());
    return true;
}

void restart_path_order(PathOrder& order)
{
    order.any = false;
}

bool in_path_order(PathOrder& order, const CatalogLine& line)
{
    std::string& key = order.keys[1 - order.last];
    given_key(line, key);
    // std::string compares bytes as unsigned, as the byte-wise collations do.
    if (order.any && key < order.keys[order.last]) {
        return false;
    }
    order.last = 1 - order.last;
    order.last_line = line.number;
    order.any = true;
    return true;
}

#include "path_order.h"

#include "client_escapes.h"
#include "file_mode.h"

#include <cstring>

void path_order_key(const CatalogLine& line, std::string& key)
{
    const std::string_view path = line.first_column();
    key.assign(path.data(), path.size());
    if (std::memchr(path.data(), '\\', path.size()) != nullptr) {
        key.resize(unescape_column(key.data(), key.size()));
    }
    if (is_directory(line.fields.values[field_mode]) && (key.empty() || key.back() != '/')) {
        key.push_back('/');
    }
}

void restart_path_order(PathOrder& order)
{
    order.any = false;
}

bool in_path_order(PathOrder& order, const CatalogLine& line)
{
    std::string& key = order.keys[1 - order.last];
    path_order_key(line, key);
    // std::string compares bytes as unsigned, as the byte-wise collations do.
    if (order.any && key < order.keys[order.last]) {
        return false;
    }
    order.last = 1 - order.last;
    order.last_line = line.number;
    order.any = true;
    return true;
}

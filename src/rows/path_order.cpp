#include "path_order.h"

#include "client_escapes.h"
#include "file_mode.h"

void path_order_key(const CatalogLine& line, std::string& key)
{
    const std::string_view path = line.first_column();
    key.assign(path.data(), path.size());
    if (key.find('\\') != std::string::npos) {
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
    path_order_key(line, order.key);
    // std::string compares bytes as unsigned, as the byte-wise collations do.
    if (order.any && order.key < order.last) {
        return false;
    }
    order.last.swap(order.key);
    order.last_line = line.number;
    order.any = true;
    return true;
}

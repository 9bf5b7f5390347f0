#include "file_kind.h"

#include <algorithm>

std::string file_kind(std::string_view name)
{
    // Extensions from the last: each runs from a dot (not the first byte)
    // to the next dot or the end.
    for (std::size_t end = name.size(); end > 1;) {
        const std::size_t dot = name.rfind('.', end - 1);
        if (dot == std::string_view::npos || dot == 0) {
            break;
        }
        const std::string_view extension = name.substr(dot + 1, end - dot - 1);
        const bool digits = std::all_of(extension.begin(), extension.end(),
                                        [](char c) { return c >= '0' && c <= '9'; });
        if (!extension.empty() && !digits) {
            std::string kind(extension);
            std::transform(kind.begin(), kind.end(), kind.begin(), [](char c) {
                return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
            });
            return kind;
        }
        end = dot;
    }
    return {};
}

std::string kind_label(const std::string& kind)
{
    return kind.empty() ? "(none)" : "." + kind;
}

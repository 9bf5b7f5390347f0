#include "tree_types.h"

void add_to_tally(std::vector<Tally>& tallies, std::uint32_t index, std::uint64_t bytes, int sign)
{
    if (index == no_tally) {
        return;
    }
    if (index >= tallies.size()) {
        tallies.resize(std::size_t{index} + 1);
    }
    Tally& counted = tallies[index];
    if (sign > 0) {
        counted.bytes += bytes;
        ++counted.entries;
    } else {
        counted.bytes -= bytes;
        --counted.entries;
    }
}

std::string_view last_component(std::string_view directory_path)
{
    const std::string_view path = path_without_slash(directory_path);
    const std::size_t slash = path.rfind('/');
    return path == "/" ? std::string_view()
                       : path.substr(slash == std::string_view::npos ? 0 : slash + 1);
}

std::string_view path_without_slash(std::string_view directory_path)
{
    if (directory_path.empty()) {
        return ".";
    }
    return directory_path.size() == 1 ? directory_path
                                      : directory_path.substr(0, directory_path.size() - 1);
}

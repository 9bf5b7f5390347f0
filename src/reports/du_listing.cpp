#include "du_listing.h"

#include "human_size.h"
#include "row_formats.h"

#include <cstddef>
#include <utility>
#include <vector>

void write_du_path_line(OutputBuffer& out, std::uint64_t bytes, std::string_view path,
                        bool human_sizes)
{
    const auto total = static_cast<std::int64_t>(bytes);
    if (human_sizes) {
        char text[24];
        output_bytes(out, text, human_size(total, text));
    } else {
        output_number(out, total);
    }
    output_char(out, '\t');
    write_columns(out, path.data(), path.size());
    output_char(out, '\n');
}

void write_du_line(OutputBuffer& out, std::uint64_t bytes, std::string_view directory_path,
                   bool human_sizes)
{
    // Only the root above several tops has no path: as du -c, the total.
    write_du_path_line(out, bytes,
                       directory_path.empty() ? "total" : path_without_slash(directory_path),
                       human_sizes);
}

void write_du_listing(OutputBuffer& out, const BackupTree& tree, int max_depth, bool human_sizes)
{
    // --under a file: the file alone, as du -b FILE lists it.
    const std::string_view file = under_file(tree);
    if (!file.empty()) {
        write_du_path_line(out, tree.directories[tree.top].total, file, human_sizes);
        return;
    }
    // Depth first, a directory written once its children are: iterative,
    // since a tree may be thousands of levels deep.
    std::vector<std::pair<std::uint32_t, std::size_t>> stack{{tree.top, 0}};
    while (!stack.empty()) {
        // A copy: growing the stack moves its frames.
        const auto [index, next_child] = stack.back();
        const TreeDirectory& directory = tree.directories[index];
        const bool deeper = max_depth < 0 || levels_below_top(tree, index) < max_depth;
        if (deeper && next_child < directory.children.size()) {
            ++stack.back().second;
            stack.emplace_back(directory.children[next_child], 0);
            continue;
        }
        write_du_line(out, directory.total, directory.path, human_sizes);
        stack.pop_back();
    }
}

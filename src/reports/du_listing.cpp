#include "du_listing.h"

#include "human_size.h"
#include "row_formats.h"

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

#include "du_listing.h"

#include "client_escapes.h"
#include "human_size.h"
#include "json_text.h"
#include "row_formats.h"

namespace {

void open_document(OutputBuffer& out, DuJsonState& state)
{
    if (!state.opened) {
        output_text(out, "{\"directories\":[");
        state.opened = true;
    } else {
        output_char(out, ',');
    }
}

} // namespace

void write_du_json_entry(OutputBuffer& out, const ClosedDirectory& directory, DuJsonState& state)
{
    state.total = directory.total;
    if (directory.path.empty() && !directory.file) {
        return; // the root above several tops: their total, no directory's
    }
    open_document(out, state);
    const std::string_view shown =
        directory.file ? std::string_view(directory.path) : path_without_slash(directory.path);
    const std::string_view real = real_bytes(shown, state.scratch);
    output_text(out, "{\"path\":");
    write_json_string(out, real.data(), real.size());
    output_text(out, ",\"bytes\":");
    output_number(out, static_cast<std::int64_t>(directory.total));
    output_char(out, '}');
}

void write_du_json_end(OutputBuffer& out, DuJsonState& state)
{
    if (!state.opened) {
        output_text(out, "{\"directories\":[");
    }
    output_text(out, "],\"total\":");
    output_number(out, static_cast<std::int64_t>(state.total));
    output_text(out, "}\n");
}

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

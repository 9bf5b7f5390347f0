#include "lstat_modes.h"

#include "buffer_size.h"
#include "diff_writer.h"
#include "sorted_tree_writers.h"
#include "temporary_file.h"

#ifndef B64NUM_VERSION
#error "the build defines B64NUM_VERSION"
#endif

ModeSetup set_up_mode(const Options& options, OutputBuffer& out)
{
    // The modes that read a tree need the path as the first column.
    RowRules tree_rows;
    tree_rows.needs_path = traits_of(options.mode).reads_tree;
    const TimeStyle* const times = options.times_in_style ? &options.listing.time : nullptr;
    const TreeScope scope{options.versions,
                          options.selection.has_under ? options.selection.under : std::string(),
                          options.disk_usage};
    const TreeSort sort{options.sorted, clamped_buffer_size(options.buffer_size),
                        temporary_directory(options.temporary_directory)};
    switch (options.mode) {
    case Mode::json:
        return {make_json_writer(out, options.fields, times), {}};
    case Mode::long_listing:
        return {make_long_writer(out, options.listing), {}};
    case Mode::du:
        return {make_sorted_du_writer(out, scope, sort, options.du_depth,
                                      options.listing.human_sizes, options.json),
                tree_rows, true};
    case Mode::ncdu:
        return {make_sorted_ncdu_writer(out, scope, sort, B64NUM_VERSION), tree_rows, true};
    case Mode::qdirstat:
        return {make_sorted_qdirstat_writer(out, scope, sort, B64NUM_VERSION), tree_rows, true};
    case Mode::treemap:
        return {
            make_treemap_writer(out, scope, sort, options.treemap_width, options.treemap_height),
            tree_rows, true};
    case Mode::diff: {
        const DiffStyle style{options.compare,
                              options.diff_report,
                              options.listing.human_sizes,
                              options.disk_usage,
                              options.versions == Versions::latest,
                              options.sorted,
                              sort.buffer_size,
                              sort.directory};
        return {make_diff_writer(out, style), tree_rows, true};
    }
    case Mode::by:
        return {make_sorted_by_writer(out, scope, sort, options.by_keys, options.by_style),
                tree_rows, true};
    case Mode::fields:
    case Mode::jobs: // lists jobs, not rows: no writer of rows is asked for it
        break;
    }
    return {make_tsv_writer(out, options.fields, options.header, times), {}};
}

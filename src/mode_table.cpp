#include "mode_table.h"

#include <algorithm>
#include <iterator>

namespace {

constexpr unsigned tree_options =
    takes_latest | takes_all_versions | takes_sorted | takes_sort_settings | takes_catalog;

} // namespace

const OptionTraits option_table[13] = {
    {takes_fields, "-f", "-f picks the fields of each row"},
    {takes_header, "-H", "-H names the columns"},
    {takes_json, "--json", "--json writes JSON"},
    {takes_human, "-h", "-h shows sizes as ls -lh and du -h do"},
    {takes_time_style, "--time-style", "--time-style shows times as ls -l does"},
    {takes_compare, "--compare", "--compare tells --diff what to compare"},
    {takes_summary, "--summary", "--summary counts the changes of --diff"},
    {takes_latest, "--latest", "--latest chooses the rows that a tree counts"},
    {takes_all_versions, "--all-versions", "--all-versions counts every row of a path in a tree"},
    {takes_sorted, "--sorted",
     "--sorted promises rows in path order to the modes that read a tree"},
    {takes_sort_settings, "-S and -T", "-S and -T size the sort of the modes that read a tree"},
    {takes_disk_usage, "--disk-usage", "--disk-usage counts blocks times 512, as du does"},
    {takes_catalog, "--catalog", "--catalog reads the rows from the catalog"},
};

const ExitStatuses report_statuses = {
    {"all is reported", "the report is incomplete or refused", "no report"}};
const ExitStatuses comparison_statuses = {
    {"the inputs are the same", "the inputs differ", "any trouble"}};

const ModeTraits mode_table[mode_count] = {
    {"-f", "prints fields", "[-f FIELDS] [-H] [--json] [--time-style=STYLE] [FILE...]",
     &report_statuses, Mode::fields,
     takes_fields | takes_header | takes_json | takes_time_style | takes_catalog, 0, false},
    {"-l", "lists whole rows", "-l [-h] [--time-style=STYLE] [FILE...]", &report_statuses,
     Mode::long_listing, takes_human | takes_time_style | takes_catalog, 0, false},
    {"--du", "reports a whole tree",
     "--du[=DEPTH] [-h | --json] [--disk-usage] [--latest | --all-versions] [--sorted] "
     "[-S SIZE] [-T DIR] [FILE...]",
     &report_statuses, Mode::du, takes_human | takes_json | takes_disk_usage | tree_options, 0,
     true},
    {"--ncdu", "reports a whole tree",
     "--ncdu [--latest | --all-versions] [--sorted] [-S SIZE] [-T DIR] [FILE...]", &report_statuses,
     Mode::ncdu, tree_options, 0, true},
    {"--qdirstat", "reports a whole tree",
     "--qdirstat [--latest | --all-versions] [--sorted] [-S SIZE] [-T DIR] [FILE...]",
     &report_statuses, Mode::qdirstat, tree_options, 0, true},
    {"--treemap", "reports a whole tree",
     "--treemap[=WIDTHxHEIGHT] [--disk-usage] [--latest | --all-versions] [--sorted] [-S SIZE] "
     "[-T DIR] [FILE...]",
     &report_statuses, Mode::treemap, takes_disk_usage | tree_options, 0, true},
    {"--diff", "compares two inputs",
     "--diff [--compare=FIELDS] [-h | --json] [--summary] [--disk-usage] [--latest] [--sorted] "
     "[-S SIZE] [-T DIR] OLD NEW",
     &comparison_statuses, Mode::diff,
     takes_compare | takes_human | takes_json | takes_summary | takes_disk_usage | takes_latest |
         takes_sorted | takes_sort_settings | takes_catalog,
     2, true},
    {"--by", "totals the rows by class",
     "--by=KEYS [-H] [-h | --json] [--disk-usage] [--latest | --all-versions] [--sorted] "
     "[-S SIZE] [-T DIR] [FILE...]",
     &report_statuses, Mode::by,
     takes_header | takes_human | takes_json | takes_disk_usage | tree_options, 0, true},
    {"--jobs", "lists the jobs of a selection", "--jobs --catalog=URI SELECTION", &report_statuses,
     Mode::jobs, takes_catalog, 0, false},
};

const ModeTraits& traits_of(Mode mode)
{
    const ModeTraits* const found =
        std::find_if(std::begin(mode_table), std::end(mode_table),
                     [mode](const ModeTraits& traits) { return traits.mode == mode; });
    // Mode::json: the fields, as JSON.
    return found != std::end(mode_table) ? *found : mode_table[0];
}

// b64num-lstat --du: the directories of a backup tree with their totals, as
// du --apparent-size --block-size=1 (du -b) lists a directory on disk.
#ifndef B64NUM_DU_LISTING_H
#define B64NUM_DU_LISTING_H

#include "output_buffer.h"
#include "sorted_tree.h"
#include "tree_types.h"

#include <string>

// A line per directory, as the tree engine closes them (see sorted_tree.h):
// the bytes at or below it, a TAB, and its path as the input escaped it,
// without the trailing '/'; each directory after its subdirectories,
// siblings in path order, so that the top comes last. With `human_sizes`,
// totals are shown as du -h shows them.

// Writes the line of a directory's path with its trailing '/': "" is the
// root above several tops, whose line is their total.
void write_du_line(OutputBuffer& out, std::uint64_t bytes, std::string_view directory_path,
                   bool human_sizes);

// Writes one line of a path as it is shown: a directory's without its '/',
// or a file's alone (--under a file), as du -b FILE lists it.
void write_du_path_line(OutputBuffer& out, std::uint64_t bytes, std::string_view path,
                        bool human_sizes);

// With --json, one document that monitoring reads with jq: each directory
// listed as above, by its real bytes, and the total of the top, or of the
// tops where there are several:
// {"directories":[{"path":"/srv/a","bytes":1004096},...],"total":13596}
struct DuJsonState {
    bool opened = false;
    std::uint64_t total = 0; // of the directory listed last, the top
    std::string scratch;
};
void write_du_json_entry(OutputBuffer& out, const ClosedDirectory& directory, DuJsonState& state);
void write_du_json_end(OutputBuffer& out, DuJsonState& state);

#endif

// b64num-lstat --qdirstat: a backup tree as a cache file of QDirStat (and
// K4DirStat), which their desktop browses with its treemap and its type,
// size and age statistics, written as qdirstat-cache-writer -l writes the
// cache file of a live tree.
#ifndef B64NUM_QDIRSTAT_CACHE_H
#define B64NUM_QDIRSTAT_CACHE_H

#include "output_buffer.h"
#include "tree_types.h"

#include <cstddef>
#include <string>
#include <string_view>

// The entries whose lines QDirStat could not read whole, left out.
struct CacheOmissions {
    std::size_t entries = 0; // a directory counts once, for all below it too
    std::string first_path;  // escaped as the client escaped it
    void note(std::string_view directory_path, std::string_view name)
    {
        if (entries++ == 0) {
            first_path.assign(directory_path).append(name);
        }
    }
};

// What a cache file left out, for a message; empty when nothing.
std::string omission_message(const CacheOmissions& omissions);

// The cache file's lines, one at a time, as the tree engine gives the
// entries: the header line, comments, then a line per entry, each
// directory's before the lines of everything below it: its type (D F L
// BlockDev CharDev FIFO Socket), its full path with every byte that is
// whitespace, a control byte, '%' or not ASCII written as %XX, its own size
// (not a total), its mtime as 0x and hexadecimal, and for a file "blocks: N"
// where it is sparse and "links: N" where it has more than one link. A
// directory whose path is too long for a line is left out with all below it.
class QdirstatLines {
public:
    QdirstatLines(OutputBuffer& out, Versions versions) : out_(out), versions_(versions) {}

    void header(const char* version);

    // Puts the entries under the root above several tops, named `name`
    // (see root_above_tops): the directory of path "" is that root, and
    // every other path is written below it, as QDirStat reads paths.
    void set_root(std::string_view name);

    // A directory's line, of its path escaped with its '/' and its own row
    // (nullptr for none); false, writing nothing, when it is too long.
    bool directory(std::string_view path, const EntryAttributes* own, bool counts);

    // A file's line, with its full path, or where that is too long with its
    // name alone, which QDirStat reads as one in the directory of the last
    // directory's line, where that is its directory; false when neither fits.
    bool file(std::string_view directory_path, std::string_view name,
              const EntryAttributes& attributes);

private:
    void set_directory(std::string_view path);
    void write_line();

    OutputBuffer& out_;
    Versions versions_;
    std::string prefix_; // of every path under a root above several tops: "/" or "./"
    std::string line_;
    std::string last_directory_;    // of the last directory's line written, escaped
    std::string encoded_for_;       // the escaped path that encoded_directory_ is of
    std::string encoded_directory_; // with a '/' to append a name to
    std::string name_;
    std::string fields_;
    std::string buffer_; // a path with the client's escapes undone
};

#endif

// What the tree engine and the reports drawn from it share: what an entry
// shows, which of a path's rows count, from which top, and the totals by
// class.
//
// A row's first column is its full path, known by its identity (see
// path_identity.h): escaped as psql's COPY escapes it, a directory's path
// with a trailing '/', a file's path its directory's path and its name.
// Escapes never hold '/', so paths are split as they came; names are
// unescaped only where output needs their bytes.
#ifndef B64NUM_TREE_TYPES_H
#define B64NUM_TREE_TYPES_H

#include "catalog_line.h"
#include "file_mode.h"

#include <array>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

// Bytes summed over a tree: wide enough that no sum of rows wraps, so that
// a total past what a 64-bit number holds is found, not printed wrapped.
__extension__ typedef unsigned __int128 ByteSum;

// What du and ncdu show of an entry, from its LStat value.
struct EntryAttributes {
    std::int64_t dev, ino, mode, nlink, uid, gid, size, blocks, mtime;
    std::uint32_t host = 0; // whose device and inode numbers they are (see CatalogLine)
};

// An inode, known by its machine as well as its device and inode numbers:
// cloned machines share those.
using InodeKey = std::array<std::int64_t, 3>;

inline InodeKey inode_key(const EntryAttributes& attributes)
{
    return {attributes.host, attributes.dev, attributes.ino};
}

// What counts of a path that rows give more than once, as the rows of
// several jobs do. A path's identity ignores a trailing '/'. Over several
// jobs a path may also be a file in one and hold paths in another.
enum class Versions {
    // The first row counts; the others are refused, and so is a row that
    // puts a file where paths lie below it, or a path below a file.
    first,
    // The last row counts, as a restore of a full backup and the
    // incrementals after it brings it back: a row that puts a file at a
    // path takes away what earlier rows put below it, and a path below a
    // file that comes later makes it a directory again.
    latest,
    // Every row counts: the bytes that the jobs backed up, hard links not
    // merged. A path holds the sizes of all its rows and the type of its
    // last, but a path that holds paths is a directory.
    all,
};

// Whether a row is a hard link: a file, not a directory, of more than one
// link. Its inode's bytes count once, as du counts them, where links_merge.
inline bool is_hard_link(const EntryAttributes& attributes)
{
    return attributes.nlink > 1 && !is_directory(attributes.mode);
}

// Whether the links of an inode count once: not over every version of
// several jobs, where every row's bytes count, however linked.
inline bool links_merge(Versions versions)
{
    return versions != Versions::all;
}

// Which rows a tree counts: of a path that rows give more than once, and
// from which top (--under), by its real bytes; empty for the deepest
// directory that holds every row.
struct TreeScope {
    Versions versions = Versions::first;
    std::string top_path;
    bool disk_usage = false; // bytes are blocks times 512, as du counts them without -b
};

// Whether a row found its place in the tree, or the line of the row it
// clashes with.
struct Placement {
    Verdict verdict; // Verdict::row, or why the row, or an earlier one, has no place
    unsigned long other_line;
    // Where the verdict is not the row's but an earlier one's, which gives
    // up its place: that row's order (see TreeRow); 0 for the row itself.
    std::uint64_t refused_order = 0;
};

// Bytes and entries of the rows that count, by the tally each row was
// given (a class of --by), each hard-linked file once as du counts it.
struct Tally {
    std::uint64_t entries = 0;
    ByteSum bytes = 0;
};

// The tally of a row that counts in none.
constexpr std::uint32_t no_tally = UINT32_MAX;

// Counts `bytes` and an entry of a row in tally `index` (no_tally for
// none), or with `sign` -1 takes them out.
void add_to_tally(std::vector<Tally>& tallies, std::uint32_t index, std::uint64_t bytes, int sign);

// The last component of a directory's path, escaped: "" for the root "/".
std::string_view last_component(std::string_view directory_path);

// A directory's path without its trailing '/', escaped: "/" for the root,
// "." for the root above every path.
std::string_view path_without_slash(std::string_view directory_path);

#endif

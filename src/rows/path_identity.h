// How every mode knows a path, the tree's, the streaming tree's and
// --diff's alike: by its bytes as psql's COPY escapes them, so that a file
// has one spelling whichever client printed it (mysql -B leaves a CR raw),
// and without a trailing '/', so that a file that became a directory is
// one path whose type changed.
#ifndef B64NUM_PATH_IDENTITY_H
#define B64NUM_PATH_IDENTITY_H

#include <string>
#include <string_view>

struct PathIdentity {
    std::string_view path;  // the identity: in `scratch` where the spelling differs
    std::string_view given; // as the row gave it, without its trailing '/'
    bool slash;             // whether the row gave one
};

// The identity of the path `column`, the first column of a row.
PathIdentity path_identity(std::string_view column, std::string& scratch);

// Whether `path` is absolute: it starts with '/', or with a drive letter
// and '/' (C:/), as the paths of Windows clients do.
bool is_absolute_path(std::string_view path);

// A job whose rows no one directory holds has several tops: the drives of
// a Windows client (C:/ and D:/), relative paths (a/ and b), and absolute
// and relative paths mixed. The reports of one root (ncdu's export,
// QDirStat's cache file, the treemap) put its tops under one root, which
// has no row and no attributes: "/" where every top is absolute, "."
// otherwise. Below it, QDirStat's paths are prefixed with the root.
std::string_view root_above_tops(bool all_absolute);

#endif

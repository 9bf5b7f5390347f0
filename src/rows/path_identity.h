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

#endif

// The file mode as ls -l shows it, shared by b64num-lstat -l and the
// database engines' filemode().
#ifndef B64NUM_FILE_MODE_H
#define B64NUM_FILE_MODE_H

#include <cstdint>

// The ten characters of ls -l for `mode`: the type (- d l c b p s, or ? for
// any other), then rwx for owner, group and others, with s/S for set-user-ID
// and set-group-ID and t/T for the sticky bit.
void mode_string(std::int64_t mode, char (&text)[10]);

#endif

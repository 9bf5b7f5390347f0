// The kind of a file, from its name: what --by=kind totals and the
// treemap's colours tell apart.
#ifndef B64NUM_FILE_KIND_H
#define B64NUM_FILE_KIND_H

#include <string>
#include <string_view>

// The last extension of `name`, its real bytes, that is not all digits,
// lower-cased in ASCII, without its dot; "" for none. A leading dot makes a
// hidden file, not an extension. So talk.MKV is mkv, libc.so.6 and
// libfoo.so.1.2.3 are so, x.tar.gz is gz, and README, .bashrc and 1.2 have
// none: library versions and numbered copies are no kinds of their own.
std::string file_kind(std::string_view name);

// A kind as shown: ".mkv", or "(none)".
std::string kind_label(const std::string& kind);

#endif

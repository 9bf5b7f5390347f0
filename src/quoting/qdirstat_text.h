// Paths on their way into a QDirStat cache file, whose fields are parted by
// whitespace and whose reader undoes %XX: each byte that is whitespace, a
// control character, '%' or not ASCII is written %XX, so that every path
// stays one field and QDirStat reads back its real bytes.
#ifndef B64NUM_QDIRSTAT_TEXT_H
#define B64NUM_QDIRSTAT_TEXT_H

#include <string>
#include <string_view>

// Appends the real bytes `real` to `line`, encoded as above.
void append_qdirstat_text(std::string& line, std::string_view real);

#endif

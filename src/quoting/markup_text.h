// Text on its way into SVG, or any XML: escaped as for a terminal (see
// terminal_text.h), so that no control character or byte that is not UTF-8
// remains, then & < > " as entities, and U+FFFE and U+FFFF, the two
// characters that XML forbids among well-formed UTF-8, as their bytes'
// escapes. No name can then break the document or add markup to it.
#ifndef B64NUM_MARKUP_TEXT_H
#define B64NUM_MARKUP_TEXT_H

#include "output_buffer.h"

#include <cstddef>
#include <string>

void write_markup_text(OutputBuffer& out, const char* text, std::size_t length);

// The same as a string, for text that is measured before it is written.
std::string markup_text(const char* text, std::size_t length);

#endif

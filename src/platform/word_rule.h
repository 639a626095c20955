#pragma once
// What a word is, for the document server's indexes, searches and word lists
// and for the viewer's search hits alike: a run of the letters and digits of
// Windows-1252, accented letters included. Quotes, apostrophes, dashes and
// punctuation separate words. The server's full-text indexes split UTF-8 text
// by the same rule (letters and numbers of Unicode).

#include <string>
#include <vector>

namespace platform {

bool IsWordByte(unsigned char c);

// The words of a text in order, as written.
std::vector<std::string> TextWords(const std::string& text);

}  // namespace platform

#pragma once
// What a word is, the same rule as the document server's search: a run of the
// letters and digits of Windows-1252, accented letters included. Quotes,
// apostrophes, dashes and punctuation separate words.

#include <string>
#include <vector>

namespace TalqClientAPI_Header {

bool IsWordByte(unsigned char c);

// The words of a word-list entry in order ("libraries," holds "libraries").
std::vector<std::string> EntryWords(const std::string& entry);

}  // namespace TalqClientAPI_Header

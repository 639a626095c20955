#pragma once
// Plain procedures that sit beside the session object.

#include <cstdint>
#include <string>

namespace TalqClientAPI_Header {

// Splits a free-form clip command into the document (first) and the program
// that opens it (second); mode 1 = a document alone, 2 = program and document.
// Stored clips rely on the quote and ".EXE" rules, so they stay as they are.
void SplitClipCommand(const std::string& text, std::string& first, std::string& second,
                      std::int32_t& mode);

}  // namespace TalqClientAPI_Header

#pragma once
// Reading and changing delimited texts: every reply, list, record and setting
// of the system is read field by field with these, so their behaviour at the
// edges (1-based fields, numbers below 1 or past the end, empty texts, a
// trailing delimiter) is part of the wire contract.

#include <string>

namespace mVBUtil {

int CountFields(const std::string& delim, const std::string& text);
std::string GetField(const std::string& delim, const std::string& text, int n);
// The text from the start of field n to the end, later delimiters included.
std::string GetFieldRest(const std::string& delim, const std::string& text, int n);
std::string SetField(const std::string& delim, const std::string& text, const std::string& value,
                     int n);
// Walks a text once: start with position 1 and call until position is -1.
std::string NextToken(const std::string& delim, const std::string& text, int& position);

std::string TrimAtNull(const std::string& text);
std::string TrimAtLineEnd(const std::string& text);
// Leading and trailing spaces (character 32 only) removed.
std::string TrimSpaces(const std::string& text);

}  // namespace mVBUtil

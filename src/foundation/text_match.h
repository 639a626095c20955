#pragma once
// Case-folding compare and the wildcard match of search words.

#include <string>

namespace mVBUtil {

// Keys and names are compared after this upper-casing: only 'a' to 'z' change.
std::string UCase(std::string text);

// -1, 0 or 1; only 'a' to 'z' are folded (to 'A' to 'Z').
int CompareTextNoCase(const std::string& a, const std::string& b);

// 0 when the text matches the pattern ("*" any run, "?" any one character),
// non-zero otherwise. Only these pattern shapes are recognised: a literal
// prefix, a "?" run, a suffix after the last star, a trailing star and a star
// at both ends; characters between two stars are never compared.
int WildcardMatch(const std::string& text, const std::string& pattern);

}  // namespace mVBUtil

#pragma once
// %XX escapes for the bytes a store file's lines cannot hold.

#include <functional>
#include <optional>
#include <string>

namespace platform {

// Writes each byte for which mustEscape(byte, index) holds as %XX.
std::string PercentEscape(const std::string& text,
                          const std::function<bool(unsigned char, size_t)>& mustEscape);
// Strict: a '%' without two hex digits makes the text invalid (nullopt).
// Lenient: such a '%' is taken as it stands.
std::optional<std::string> PercentUnescape(const std::string& text, bool strict);

}  // namespace platform

#pragma once
// Texts travel and are worked on in Windows-1252; the database keeps them in
// UTF-8 so that ordinary tools read it. Pure ASCII passes unchanged.

#include <string>
#include <string_view>

namespace docserver {

std::string StoredFromWire(std::string_view wire);
// Characters outside the code page become '?'; bytes that are not UTF-8 are
// taken as Windows-1252 (a text written before the database was converted).
std::string WireFromStored(std::string_view stored);

}  // namespace docserver

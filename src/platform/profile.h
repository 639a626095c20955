#pragma once
// Profile (ini) files with the original platform's rules: sections and keys
// compare without case, values are trimmed and lose one pair of enclosing
// quotes, a missing value gives the caller's default, and a read returns at
// most size - 1 characters. A bare file name ("vynsys.ini") is looked up in
// the ini folder (see user_dirs.h), matching the name in any case.
//
// Bytes an ini line cannot hold (controls, '%', spaces at either end) are
// stored as %XX.

#include <optional>
#include <string>

namespace platform {

std::string ProfilePath(const std::string& fileName);

std::string GetPrivateProfileString(const std::string& section, const std::string& key,
                                    const std::string& defaultValue, int size,
                                    const std::string& fileName);
// A missing value deletes the key; a missing key deletes the whole section.
bool WritePrivateProfileString(const std::string& section, const std::optional<std::string>& key,
                               const std::optional<std::string>& value,
                               const std::string& fileName);

}  // namespace platform

#pragma once
// The per-user settings store: text values addressed by application,
// section and key, kept in the per-user configuration folder.

#include <string>

namespace platform {

std::string GetSetting(const std::string& application, const std::string& section,
                       const std::string& key, const std::string& defaultValue = "");
bool SaveSetting(const std::string& application, const std::string& section,
                 const std::string& key, const std::string& value);
bool DeleteSetting(const std::string& application, const std::string& section,
                   const std::string& key);
// Makes the settings file readable and writable by its owner only; it keeps
// that mode through later changes.
bool KeepSettingsPrivate();

}  // namespace platform

#pragma once
// The system's own registry values and the per-user settings reached through
// the "TALQTech\" application prefix.

#include <string>

#include "platform/registry.h"

namespace modRegistry {

using platform::HKEY;
using platform::HKEY_CLASSES_ROOT;
using platform::HKEY_CURRENT_USER;
using platform::HKEY_LOCAL_MACHINE;

// The value cut at its first character 0 and trimmed of spaces; the empty
// text when the root, key or value is missing.
std::string RegGetString(HKEY root, const std::string& subkey, const std::string& valueName);
// Values are stored whole. False for HKEY_CLASSES_ROOT or a failed write.
bool RegSetString(HKEY root, const std::string& subkey, const std::string& valueName,
                  const std::string& text);
// The key, when created here, vanishes when the user's session ends.
bool RegSetVolatileString(HKEY root, const std::string& subkey, const std::string& valueName,
                          const std::string& text);

// Settings under application "TALQTech\" + application. A stored value is
// returned trimmed; an empty or blank one gives the caller's default.
std::string GetAppSetting(const std::string& application, const std::string& section,
                          const std::string& key, const std::string& defaultValue);
void SaveAppSetting(const std::string& application, const std::string& section,
                    const std::string& key, const std::string& value);

}  // namespace modRegistry

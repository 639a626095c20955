#include "foundation/mod_registry.h"

#include "foundation/fields.h"
#include "platform/settings_store.h"

namespace modRegistry {
namespace {

constexpr const char* kPrefix = "TALQTech\\";

bool KnownRoot(HKEY root) {
    return root == HKEY_CLASSES_ROOT || root == HKEY_CURRENT_USER || root == HKEY_LOCAL_MACHINE;
}

}  // namespace

std::string RegGetString(HKEY root, const std::string& subkey, const std::string& valueName) {
    if (!KnownRoot(root)) return "";
    auto value = platform::RegistryRead(root, subkey, valueName);
    return value ? mVBUtil::TrimAtNull(*value) : std::string();
}

bool RegSetString(HKEY root, const std::string& subkey, const std::string& valueName,
                  const std::string& text) {
    return platform::RegistryWrite(root, subkey, valueName, text, false);
}

bool RegSetVolatileString(HKEY root, const std::string& subkey, const std::string& valueName,
                          const std::string& text) {
    return platform::RegistryWrite(root, subkey, valueName, text, true);
}

std::string GetAppSetting(const std::string& application, const std::string& section,
                          const std::string& key, const std::string& defaultValue) {
    std::string value =
        mVBUtil::TrimSpaces(platform::GetSetting(kPrefix + application, section, key, ""));
    return value.empty() ? defaultValue : value;
}

void SaveAppSetting(const std::string& application, const std::string& section,
                    const std::string& key, const std::string& value) {
    platform::SaveSetting(kPrefix + application, section, key, value);
}

}  // namespace modRegistry

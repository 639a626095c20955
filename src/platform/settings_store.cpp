#include "platform/settings_store.h"

#include "platform/key_store.h"
#include "platform/user_dirs.h"

namespace platform {
namespace {

KeyStoreFile Store() { return KeyStoreFile(ConfigDir() + "/settings.txt"); }

std::string KeyPath(const std::string& application, const std::string& section) {
    return application + "\\" + section;
}

}  // namespace

std::string GetSetting(const std::string& application, const std::string& section,
                       const std::string& key, const std::string& defaultValue) {
    auto value = Store().Get(KeyPath(application, section), key);
    return value ? *value : defaultValue;
}

bool SaveSetting(const std::string& application, const std::string& section,
                 const std::string& key, const std::string& value) {
    return Store().Set(KeyPath(application, section), key, value);
}

bool DeleteSetting(const std::string& application, const std::string& section,
                   const std::string& key) {
    return Store().Remove(KeyPath(application, section), key);
}

}  // namespace platform

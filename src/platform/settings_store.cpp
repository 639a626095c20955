#include "platform/settings_store.h"

#include <sys/stat.h>

#include "platform/key_store.h"
#include "platform/user_dirs.h"

namespace platform {
namespace {

std::string StorePath() { return ConfigDir() + "/settings.txt"; }

KeyStoreFile Store() { return KeyStoreFile(StorePath()); }

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

bool KeepSettingsPrivate() {
    return ::chmod(StorePath().c_str(), 0600) == 0;
}

}  // namespace platform

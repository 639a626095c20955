#include "system_locator.h"

#include "platform/profile.h"
#include "platform/registry.h"
#include "platform/system_paths.h"

namespace vornet {
namespace {

// Up to the first NUL, without blanks at either end.
std::string Trimmed(std::string text) {
    text = text.substr(0, text.find('\0'));
    size_t b = text.find_first_not_of(' ');
    if (b == std::string::npos) return "";
    return text.substr(b, text.find_last_not_of(' ') - b + 1);
}

std::string FromRegistry(const std::string& name) {
    std::string value =
        Trimmed(platform::RegistryRead(platform::HKEY_CURRENT_USER, mNetDefaults::kPathsKey, name)
                    .value_or(""));
    if (value.empty())
        value = Trimmed(
            platform::RegistryRead(platform::HKEY_LOCAL_MACHINE, mNetDefaults::kPathsKey, name)
                .value_or(""));
    return value;
}

std::string Clean(std::string dir) {
    dir = Trimmed(dir);
    while (dir.size() > 1 && (dir.back() == '/' || dir.back() == '\\')) dir.pop_back();
    return dir;
}

}  // namespace

std::string LocateSystemDir(int localMode) {
    std::string dir = FromRegistry(mNetDefaults::ModeName(localMode));
    if (Clean(dir).empty()) dir = FromRegistry("System");
    if (Clean(dir).empty())
        dir = platform::GetPrivateProfileString("Config", "Sysdir5", "", 261, "vynsys.ini");
    return Clean(dir);
}

}  // namespace vornet

#include "system_locator.h"

#include "foundation/fields.h"
#include "foundation/mod_registry.h"
#include "platform/profile.h"
#include "server/net_defaults.h"

namespace vornet {
namespace {

std::string FromRegistry(const std::string& name) {
    std::string value =
        modRegistry::RegGetString(modRegistry::HKEY_CURRENT_USER, mNetDefaults::kPathsKey, name);
    if (value.empty())
        value = modRegistry::RegGetString(modRegistry::HKEY_LOCAL_MACHINE, mNetDefaults::kPathsKey,
                                          name);
    return value;
}

std::string Clean(std::string dir) {
    dir = mVBUtil::TrimSpaces(mVBUtil::TrimAtNull(dir));
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

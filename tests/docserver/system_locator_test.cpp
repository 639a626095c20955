#include "vornet/system_locator.h"

#include <gtest/gtest.h>

#include "foundation/mod_registry.h"
#include "platform/profile.h"
#include "support/scoped_env.h"

namespace {

constexpr const char* kPaths = "Software\\TALQTech\\VYNSYS\\Paths";

TEST(SystemLocator, ModeNameThenSystemThenIniWithTrailingSeparators) {
    testsupport::ScopedUserStores stores;
    EXPECT_EQ(vornet::LocateSystemDir(2), "");
    platform::WritePrivateProfileString("Config", std::string("Sysdir5"), std::string("/srv/ini/"),
                                        "vynsys.ini");
    EXPECT_EQ(vornet::LocateSystemDir(2), "/srv/ini");
    modRegistry::RegSetString(modRegistry::HKEY_LOCAL_MACHINE, kPaths, "System", "/srv/sys\\");
    EXPECT_EQ(vornet::LocateSystemDir(1), "/srv/sys");
    modRegistry::RegSetString(modRegistry::HKEY_LOCAL_MACHINE, kPaths, "Network", "/srv/machine");
    EXPECT_EQ(vornet::LocateSystemDir(1), "/srv/machine");
    modRegistry::RegSetString(modRegistry::HKEY_CURRENT_USER, kPaths, "Network", "/srv/net/");
    EXPECT_EQ(vornet::LocateSystemDir(1), "/srv/net") << "the user's value comes first";
    EXPECT_EQ(vornet::LocateSystemDir(2), "/srv/sys") << "Local has its own name";
}

}  // namespace

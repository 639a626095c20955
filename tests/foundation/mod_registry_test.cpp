#include "foundation/mod_registry.h"

#include <gtest/gtest.h>

#include "platform/settings_store.h"
#include "support/scoped_env.h"

using namespace modRegistry;

namespace {

TEST(RegGetString, TrimsAndCutsAtCharacterZero) {
    testsupport::ScopedUserStores stores;
    ASSERT_TRUE(RegSetString(HKEY_CURRENT_USER, "Software\\TALQTech\\VYNSYS\\Paths", "System",
                             std::string("  /srv/sys/  \0junk", 18)));
    EXPECT_EQ(RegGetString(HKEY_CURRENT_USER, "SOFTWARE\\talqtech\\vynsys\\PATHS", "system"),
              "/srv/sys/");
    EXPECT_EQ(RegGetString(HKEY_CURRENT_USER, "Software\\Missing", "System"), "");
    EXPECT_EQ(RegGetString(0x12345678u, "Software\\TALQTech\\VYNSYS\\Paths", "System"), "");
}

TEST(RegSetString, StoresLongValuesWhole) {
    testsupport::ScopedUserStores stores;
    std::string long300(300, 'v');
    ASSERT_TRUE(RegSetString(HKEY_CURRENT_USER, "Software\\T", "Long", long300));
    EXPECT_EQ(RegGetString(HKEY_CURRENT_USER, "Software\\T", "Long"), long300);
}

TEST(RegSetString, RefusesTheClassesRoot) {
    testsupport::ScopedUserStores stores;
    EXPECT_FALSE(RegSetString(HKEY_CLASSES_ROOT, "Software\\T", "X", "1"));
    EXPECT_EQ(RegGetString(HKEY_CLASSES_ROOT, "Software\\T", "X"), "");
}

TEST(AppSetting, TrimsAndFallsBackToTheDefault) {
    testsupport::ScopedUserStores stores;
    EXPECT_EQ(GetAppSetting("VYNClient", "Options", "Access", " dflt "), " dflt ");
    SaveAppSetting("VYNClient", "Options", "Access", " x ");
    EXPECT_EQ(GetAppSetting("VYNClient", "Options", "Access", "d"), "x");
    SaveAppSetting("VYNClient", "Options", "Access", "   ");
    EXPECT_EQ(GetAppSetting("VYNClient", "Options", "Access", "d"), "d");
}

TEST(AppSetting, PrefixedSettingsStayApartFromDirectOnes) {
    testsupport::ScopedUserStores stores;
    SaveAppSetting("VYNClient", "Options", "Remember", "1");
    EXPECT_EQ(platform::GetSetting("VYNClient", "Options", "Remember", "none"), "none");
    platform::SaveSetting("VYNClient", "Options", "Remember", "direct");
    EXPECT_EQ(GetAppSetting("VYNClient", "Options", "Remember", "d"), "1");
    EXPECT_EQ(platform::GetSetting("TALQTech\\VYNClient", "Options", "Remember"), "1");
}

}  // namespace

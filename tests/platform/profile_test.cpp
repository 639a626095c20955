#include "platform/profile.h"

#include <gtest/gtest.h>

#include "platform/user_dirs.h"
#include "support/scoped_env.h"

using namespace platform;
using testsupport::ReadFile;
using testsupport::WriteFile;

namespace {

TEST(Profile, ReadsWithTheOriginalRules) {
    testsupport::ScopedUserStores stores;
    WriteFile(IniDir() + "/VYNSYS.INI",
              "; comment\n[Config]\r\n  SysDir5 =  C:\\VYN\\SYS\\  \r\nQuoted=\"a b\"\n[Other]\nx=1\n");
    EXPECT_EQ(GetPrivateProfileString("config", "SYSDIR5", "d", 255, "vynsys.ini"),
              "C:\\VYN\\SYS\\");
    EXPECT_EQ(GetPrivateProfileString("Config", "Quoted", "d", 255, "vynsys.ini"), "a b");
    EXPECT_EQ(GetPrivateProfileString("Config", "x", "dflt", 255, "vynsys.ini"), "dflt");
    EXPECT_EQ(GetPrivateProfileString("Config", "SysDir5", "d", 5, "vynsys.ini"), "C:\\V");
    EXPECT_EQ(GetPrivateProfileString("None", "x", "0", 10, "SRVPARMS.INI"), "0");
}

TEST(Profile, WritesKeepOtherLinesAndEveryByte) {
    testsupport::ScopedUserStores stores;
    WriteFile(IniDir() + "/vynrplct.ini", "; keep me\n[Options]\nNetwork=/a/\n");
    ASSERT_TRUE(WritePrivateProfileString("OPTIONS", "network", "/b/", "vynrplct.ini"));
    ASSERT_TRUE(WritePrivateProfileString("Options", "Local", "/c/", "vynrplct.ini"));
    ASSERT_TRUE(WritePrivateProfileString("New", "k", "v", "vynrplct.ini"));
    std::string text = ReadFile(IniDir() + "/vynrplct.ini");
    EXPECT_NE(text.find("; keep me"), std::string::npos);
    EXPECT_EQ(GetPrivateProfileString("Options", "Network", "", 255, "vynrplct.ini"), "/b/");
    EXPECT_EQ(GetPrivateProfileString("Options", "Local", "", 255, "vynrplct.ini"), "/c/");
    EXPECT_EQ(GetPrivateProfileString("New", "k", "", 255, "vynrplct.ini"), "v");

    std::string odd = " 100%\r\nsure\t ";
    ASSERT_TRUE(WritePrivateProfileString("Options", "Odd", odd, "vynrplct.ini"));
    EXPECT_EQ(GetPrivateProfileString("Options", "Odd", "", 255, "vynrplct.ini"), odd);

    ASSERT_TRUE(WritePrivateProfileString("Options", "Local", std::nullopt, "vynrplct.ini"));
    EXPECT_EQ(GetPrivateProfileString("Options", "Local", "gone", 255, "vynrplct.ini"), "gone");
    ASSERT_TRUE(WritePrivateProfileString("Options", std::nullopt, std::nullopt, "vynrplct.ini"));
    EXPECT_EQ(GetPrivateProfileString("Options", "Network", "gone", 255, "vynrplct.ini"), "gone");
    EXPECT_EQ(GetPrivateProfileString("New", "k", "", 255, "vynrplct.ini"), "v");
}

}  // namespace

#include "server/net_defaults.h"

#include <gtest/gtest.h>

#include <map>

#include "foundation/mod_registry.h"
#include "platform/profile.h"
#include "platform/settings_store.h"
#include "support/scoped_env.h"

using namespace mNetDefaults;
using modRegistry::HKEY_CURRENT_USER;
using modRegistry::HKEY_LOCAL_MACHINE;

namespace {

struct Five {
    std::string domain, ip, port, localPort, card;
};

Five Load() {
    Five f{"x", "x", "x", "x", "x"};
    LoadNetDefaults(f.domain, f.ip, f.port, f.localPort, f.card);
    return f;
}

void SetNet(modRegistry::HKEY root, const std::string& name, const std::string& value) {
    ASSERT_TRUE(modRegistry::RegSetString(root, kNetDefaultsKey, name, value));
}

void SetIni(const std::string& key, const std::string& value) {
    ASSERT_TRUE(platform::WritePrivateProfileString("Defaults", key, value, "SRVPARMS.INI"));
}

TEST(LoadNetDefaults, NothingConfiguredGivesFiveEmptyTexts) {
    testsupport::ScopedUserStores stores;
    Five f = Load();
    EXPECT_EQ(f.domain, "");
    EXPECT_EQ(f.ip, "");
    EXPECT_EQ(f.port, "");
    EXPECT_EQ(f.localPort, "");
    EXPECT_EQ(f.card, "");
}

TEST(LoadNetDefaults, CurrentUserComesBeforeMachineValueByValue) {
    testsupport::ScopedUserStores stores;
    SetNet(HKEY_CURRENT_USER, "ImgSrvr", "10.0.0.1|7001");
    SetNet(HKEY_LOCAL_MACHINE, "ImgSrvr", "10.9.9.9|9999");
    SetNet(HKEY_CURRENT_USER, "DomainName", "USERDOM");
    SetNet(HKEY_LOCAL_MACHINE, "DomainName", "MACHDOM");
    SetNet(HKEY_LOCAL_MACHINE, "LocalPort", "4000");
    SetIni("NetWorkCard", "3");
    Five f = Load();
    EXPECT_EQ(f.ip, "10.0.0.1");
    EXPECT_EQ(f.port, "7001");
    EXPECT_EQ(f.domain, "USERDOM");
    EXPECT_EQ(f.localPort, "4000");
    EXPECT_EQ(f.card, "");  // the ini file is not a fallback for a registry source
}

TEST(LoadNetDefaults, MachineServerTextWhenTheUserHasNone) {
    testsupport::ScopedUserStores stores;
    SetNet(HKEY_LOCAL_MACHINE, "ImgSrvr", "10.9.9.9|9999");
    SetNet(HKEY_CURRENT_USER, "DomainName", "USERDOM");
    Five f = Load();
    EXPECT_EQ(f.ip, "10.9.9.9");
    EXPECT_EQ(f.port, "9999");
    EXPECT_EQ(f.domain, "USERDOM");
}

TEST(LoadNetDefaults, RegEditSourceGivesItsOwnDefaults) {
    testsupport::ScopedUserStores stores;
    // Blank to the registry reader, which trims, but not to the RegEdit store.
    SetNet(HKEY_CURRENT_USER, "ImgSrvr", "  ");
    SetNet(HKEY_LOCAL_MACHINE, "DomainName", "MACHDOM");
    SetIni("ImgSrvr", "10.5.5.5|5555");
    Five f = Load();
    EXPECT_EQ(f.ip, "  ");
    EXPECT_EQ(f.port, "");
    EXPECT_EQ(f.localPort, "0");
    EXPECT_EQ(f.card, "0");
    EXPECT_EQ(f.domain, "");
}

TEST(LoadNetDefaults, IniSourceIgnoresTheRegistryForTheOtherValues) {
    testsupport::ScopedUserStores stores;
    SetIni("ImgSrvr", "10.5.5.5|5555");
    SetIni("LocalPort", "2000");
    SetNet(HKEY_CURRENT_USER, "DomainName", "USERDOM");
    SetNet(HKEY_CURRENT_USER, "NetWorkCard", "2");
    Five f = Load();
    EXPECT_EQ(f.ip, "10.5.5.5");
    EXPECT_EQ(f.port, "5555");
    EXPECT_EQ(f.localPort, "2000");
    EXPECT_EQ(f.card, "");
    EXPECT_EQ(f.domain, "");
}

TEST(LoadNetDefaults, ServerTextWithoutBarIsAllAddress) {
    testsupport::ScopedUserStores stores;
    SetNet(HKEY_CURRENT_USER, "ImgSrvr", "server.example");
    Five f = Load();
    EXPECT_EQ(f.ip, "server.example");
    EXPECT_EQ(f.port, "");
}

TEST(SaveNetDefaults, WritesBothRootsAndReadsBack) {
    testsupport::ScopedUserStores stores;
    SaveNetDefaults("DOM", "10.1.1.1", "7000", "0", "1");
    for (auto root : {HKEY_CURRENT_USER, HKEY_LOCAL_MACHINE}) {
        EXPECT_EQ(modRegistry::RegGetString(root, kNetDefaultsKey, "ImgSrvr"), "10.1.1.1|7000");
        EXPECT_EQ(modRegistry::RegGetString(root, kNetDefaultsKey, "DomainName"), "DOM");
        EXPECT_EQ(modRegistry::RegGetString(root, kNetDefaultsKey, "NetWorkCard"), "1");
    }
    Five f = Load();
    EXPECT_EQ(f.domain, "DOM");
    EXPECT_EQ(f.ip, "10.1.1.1");
    EXPECT_EQ(f.port, "7000");
    EXPECT_EQ(f.localPort, "0");
    EXPECT_EQ(f.card, "1");
}

TEST(RegEdit, NeedsAppSectionAndKey) {
    testsupport::ScopedUserStores stores;
    RegEdit::SaveRegSetting("VYNSYS", "", "K", "v");
    EXPECT_EQ(RegEdit::GetRegSetting("VYNSYS", "", "K", "dflt"), "");
    EXPECT_EQ(RegEdit::GetRegSetting("VYNSYS", "S", "K", "dflt"), "dflt");
    RegEdit::SaveRegSetting("VYNSYS", "S", "K", "v");
    EXPECT_EQ(RegEdit::GetRegSetting("VYNSYS", "S", "K", "dflt"), "v");
    EXPECT_EQ(modRegistry::RegGetString(HKEY_CURRENT_USER, "Software\\TALQTech\\VYNSYS\\S", "K"),
              "v");
}

// ------------------------------------------------------------------ history

struct MemoryHistory {
    std::map<std::string, std::string> values;
    std::vector<std::string> writes;
    HistoryStore Store() {
        return {[this](const std::string& k) { return values.count(k) ? values[k] : ""; },
                [this](const std::string& k, const std::string& v) {
                    values[k] = v;
                    writes.push_back(k);
                }};
    }
};

TEST(History, KeepsTheTenNewestNewestFirst) {
    MemoryHistory h;
    for (int i = 1; i <= 11; ++i) AddToHistory(h.Store(), "e" + std::to_string(i));
    std::vector<std::string> entries = ReadHistory(h.Store());
    ASSERT_EQ(entries.size(), 10u);
    EXPECT_EQ(entries.front(), "e11");
    EXPECT_EQ(entries.back(), "e2");
}

TEST(History, RepeatedEntryMovesUpAndTakesTheNewSpelling) {
    MemoryHistory h;
    for (const char* e : {"c", "b", "Srv|1|dom", "a"}) AddToHistory(h.Store(), e);
    // Now: a, Srv|1|dom, b, c
    h.writes.clear();
    AddToHistory(h.Store(), "SRV|1|DOM");
    EXPECT_EQ(ReadHistory(h.Store()), (std::vector<std::string>{"SRV|1|DOM", "a", "b", "c"}));
    // Only positions up to the old one are rewritten.
    EXPECT_EQ(h.writes, (std::vector<std::string>{"Loc1", "Loc2"}));
}

TEST(History, ReadingStopsAtTheFirstGap) {
    MemoryHistory h;
    h.values = {{"Loc1", "a"}, {"Loc2", ""}, {"Loc3", "c"}};
    EXPECT_EQ(ReadHistory(h.Store()), std::vector<std::string>{"a"});
    AddToHistory(h.Store(), "n");
    // Entries behind the ones rewritten keep their keys.
    EXPECT_EQ(ReadHistory(h.Store()), (std::vector<std::string>{"n", "a", "c"}));
}

TEST(History, PickedEntryMovesToFrontOnlyOnExactMatch) {
    MemoryHistory h;
    for (const char* e : {"c", "b", "a"}) AddToHistory(h.Store(), e);
    MoveToFront(h.Store(), "C");
    EXPECT_EQ(ReadHistory(h.Store()), (std::vector<std::string>{"a", "b", "c"}));
    MoveToFront(h.Store(), "c");
    EXPECT_EQ(ReadHistory(h.Store()), (std::vector<std::string>{"c", "a", "b"}));
    h.writes.clear();
    MoveToFront(h.Store(), "c");
    EXPECT_TRUE(h.writes.empty());
}

TEST(History, StoresLiveWhereTheDialogsLookForThem) {
    testsupport::ScopedUserStores stores;
    EXPECT_FALSE(HasHistory(TcpIpHistory()));
    AddToHistory(TcpIpHistory(), "10.0.0.1|7000|DOM");
    EXPECT_TRUE(HasHistory(TcpIpHistory()));
    EXPECT_EQ(platform::GetSetting("VYNClient", "IPHistory", "Loc1"), "10.0.0.1|7000|DOM");
    AddToHistory(SystemDirHistory(1), "/srv/net/");
    AddToHistory(SystemDirHistory(2), "/srv/local/");
    EXPECT_EQ(RegEdit::GetRegSetting("VYNSYS", "HistoryNetwork", "Loc1", ""), "/srv/net/");
    EXPECT_EQ(RegEdit::GetRegSetting("VYNSYS", "HistoryLocal", "Loc1", ""), "/srv/local/");
}

// ------------------------------------------------------------------- checks

TEST(CheckTcpIpConfig, RefusesInOrderAddressPortDomain) {
    EXPECT_EQ(CheckTcpIpConfig("  ", "0", ""), "An IP Address is Required");
    EXPECT_EQ(CheckTcpIpConfig("10.0.0.1", "", ""), "An IP Port Number is Required");
    EXPECT_EQ(CheckTcpIpConfig("10.0.0.1", "7000", ""), "An TALQ Server Domain Name is Required");
    EXPECT_EQ(CheckTcpIpConfig("10.0.0.1", "7000", "DOM"), "");
}

TEST(CheckTcpIpConfig, PortMustLieBetween1And65535) {
    for (const char* bad : {"0", "", "abc", "-5", "0.5", "65536", "1e999"}) {
        EXPECT_EQ(CheckTcpIpConfig("h", bad, "d"), "An IP Port Number is Required") << bad;
    }
    for (const char* good : {"1", "65535", "80abc", " 7000"}) {
        EXPECT_EQ(CheckTcpIpConfig("h", good, "d"), "") << good;
    }
}

TEST(NumberText, OptionalBoxesKeepOnlyTheirLeadingNumber) {
    EXPECT_EQ(NumberText("12ab"), "12");
    EXPECT_EQ(NumberText(""), "0");
    EXPECT_EQ(NumberText("x3"), "0");
    EXPECT_EQ(NumberText(" 2.5"), "2.5");
}

// --------------------------------------------------------- system directory

TEST(SystemDir, TrailingSeparatorIsKeptOrAdded) {
    EXPECT_EQ(NormalizeSystemDir(" /srv/talq "), "/srv/talq/");
    EXPECT_EQ(NormalizeSystemDir("/srv/talq/"), "/srv/talq/");
    EXPECT_EQ(NormalizeSystemDir("C:\\talq\\"), "C:\\talq\\");
    EXPECT_EQ(NormalizeSystemDir("   "), "");
}

TEST(SystemDir, SavedEverywhereAndLoadedPerMode) {
    testsupport::ScopedUserStores stores;
    SaveSystemDir(1, "/srv/net/");
    EXPECT_EQ(modRegistry::RegGetString(HKEY_CURRENT_USER, kPathsKey, "Network"), "/srv/net/");
    EXPECT_EQ(modRegistry::RegGetString(HKEY_LOCAL_MACHINE, kPathsKey, "Network"), "/srv/net/");
    EXPECT_EQ(modRegistry::RegGetString(HKEY_CURRENT_USER, kPathsKey, "System"), "/srv/net/");
    EXPECT_EQ(modRegistry::RegGetString(HKEY_LOCAL_MACHINE, kPathsKey, "System"), "/srv/net/");
    EXPECT_EQ(platform::GetPrivateProfileString("Options", "Network", "", 260, "vynrplct.ini"),
              "/srv/net/");
    EXPECT_EQ(platform::GetPrivateProfileString("Config", "Sysdir5", "", 260, "vynsys.ini"),
              "/srv/net/");
    EXPECT_EQ(LoadSystemDir(1), "/srv/net/");
    EXPECT_EQ(LoadSystemDir(2), "");
    EXPECT_EQ(LoadSystemDir(0), "");
}

TEST(SystemDir, LoadFallsBackFromUserToMachineToIni) {
    testsupport::ScopedUserStores stores;
    platform::WritePrivateProfileString("Options", std::string("Local"), std::string("/ini/"),
                                        "vynrplct.ini");
    EXPECT_EQ(LoadSystemDir(2), "/ini/");
    modRegistry::RegSetString(HKEY_LOCAL_MACHINE, kPathsKey, "Local", "/machine/");
    EXPECT_EQ(LoadSystemDir(2), "/machine/");
    modRegistry::RegSetString(HKEY_CURRENT_USER, kPathsKey, "Local", "/user/");
    EXPECT_EQ(LoadSystemDir(2), "/user/");
    EXPECT_EQ(ModeName(1), "Network");
    EXPECT_EQ(ModeName(7), "Local");
}

}  // namespace

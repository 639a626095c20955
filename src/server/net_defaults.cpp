#include "server/net_defaults.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

#include "foundation/fields.h"
#include "foundation/mod_registry.h"
#include "foundation/number_text.h"
#include "foundation/text_match.h"
#include "platform/profile.h"
#include "platform/registry.h"
#include "platform/settings_store.h"

namespace RegEdit {
namespace {

std::string KeyOf(const std::string& app, const std::string& section) {
    return "Software\\TALQTech\\" + app + "\\" + section;
}

}  // namespace

void SaveRegSetting(const std::string& app, const std::string& section, const std::string& key,
                    const std::string& value) {
    if (app.empty() || section.empty() || key.empty()) return;
    platform::RegistryWrite(platform::HKEY_CURRENT_USER, KeyOf(app, section), key, value);
}

std::string GetRegSetting(const std::string& app, const std::string& section,
                          const std::string& key, const std::string& defaultValue) {
    if (app.empty() || section.empty() || key.empty()) return "";
    auto value = platform::RegistryRead(platform::HKEY_CURRENT_USER, KeyOf(app, section), key);
    // Read into a buffer of 512 bytes, the last one for the 0.
    std::string text = value ? value->substr(0, 511) : std::string();
    size_t nul = text.find('\0');
    if (nul != std::string::npos) text.resize(nul);
    return text.empty() ? defaultValue : text;
}

}  // namespace RegEdit

namespace mNetDefaults {
namespace {

using modRegistry::HKEY_CURRENT_USER;
using modRegistry::HKEY_LOCAL_MACHINE;

std::string ReadIni(const std::string& section, const std::string& key, int size,
                    const std::string& file) {
    return mVBUtil::TrimAtNull(platform::GetPrivateProfileString(section, key, "", size, file));
}

std::string ReadEitherRoot(const std::string& subkey, const std::string& name) {
    std::string value = modRegistry::RegGetString(HKEY_CURRENT_USER, subkey, name);
    if (value.empty()) value = modRegistry::RegGetString(HKEY_LOCAL_MACHINE, subkey, name);
    return value;
}

void WriteBothRoots(const std::string& subkey, const std::string& name, const std::string& value) {
    modRegistry::RegSetString(HKEY_CURRENT_USER, subkey, name, value);
    modRegistry::RegSetString(HKEY_LOCAL_MACHINE, subkey, name, value);
}

std::string LocKey(int i) {
    return "Loc" + std::to_string(i);
}

}  // namespace

void LoadNetDefaults(std::string& domain, std::string& ipAddress, std::string& ipPort,
                     std::string& localPort, std::string& networkCard) {
    enum class Source { kRegistry, kRegEdit, kIni } source = Source::kRegistry;
    std::string server = ReadEitherRoot(kNetDefaultsKey, "ImgSrvr");
    if (server.empty()) {
        server = RegEdit::GetRegSetting("VYNSYS", "NetDefaults", "ImgSrvr", "");
        if (!server.empty()) source = Source::kRegEdit;
    }
    if (server.empty()) {
        server = ReadIni("Defaults", "ImgSrvr", 180, "SRVPARMS.INI");
        if (!server.empty()) source = Source::kIni;
    }
    ipAddress = mVBUtil::GetField("|", server, 1);
    ipPort = mVBUtil::GetField("|", server, 2);
    switch (source) {
        case Source::kIni:
            localPort = ReadIni("Defaults", "LocalPort", 10, "SRVPARMS.INI");
            networkCard = ReadIni("Defaults", "NetWorkCard", 10, "SRVPARMS.INI");
            domain = ReadIni("Defaults", "DomainName", 60, "SRVPARMS.INI");
            break;
        case Source::kRegEdit:
            localPort = RegEdit::GetRegSetting("VYNSYS", "NetDefaults", "LocalPort", "0");
            networkCard = RegEdit::GetRegSetting("VYNSYS", "NetDefaults", "NetWorkCard", "0");
            domain = RegEdit::GetRegSetting("VYNSYS", "NetDefaults", "DomainName", "");
            break;
        case Source::kRegistry:
            localPort = ReadEitherRoot(kNetDefaultsKey, "LocalPort");
            networkCard = ReadEitherRoot(kNetDefaultsKey, "NetWorkCard");
            domain = ReadEitherRoot(kNetDefaultsKey, "DomainName");
            break;
    }
}

void SaveNetDefaults(const std::string& domain, const std::string& ipAddress,
                     const std::string& ipPort, const std::string& localPort,
                     const std::string& networkCard) {
    WriteBothRoots(kNetDefaultsKey, "ImgSrvr", ipAddress + "|" + ipPort);
    WriteBothRoots(kNetDefaultsKey, "LocalPort", localPort);
    WriteBothRoots(kNetDefaultsKey, "NetWorkCard", networkCard);
    WriteBothRoots(kNetDefaultsKey, "DomainName", domain);
}

std::string NumberText(const std::string& typed) {
    double value = mVBUtil::Val(typed);
    if (value == std::floor(value) && std::fabs(value) < 1e15) {
        return std::to_string(static_cast<long long>(value));
    }
    char text[32];
    std::snprintf(text, sizeof text, "%.15g", value);
    return text;
}

std::string CheckTcpIpConfig(const std::string& ipAddress, const std::string& ipPort,
                             const std::string& domain) {
    if (mVBUtil::TrimSpaces(ipAddress).empty()) return "An IP Address is Required";
    double port = mVBUtil::Val(ipPort);
    if (!(port >= 1 && port <= 65535)) return "An IP Port Number is Required";
    if (domain.empty()) return "An TALQ Server Domain Name is Required";
    return "";
}

std::string NormalizeSystemDir(const std::string& typed) {
    std::string dir = mVBUtil::TrimSpaces(typed);
    if (dir.empty()) return dir;
    if (dir.back() != '/' && dir.back() != '\\') dir += '/';
    return dir;
}

std::string LoadSystemDir(int accessMode) {
    std::string mode = ModeName(accessMode);
    std::string dir = ReadEitherRoot(kPathsKey, mode);
    if (dir.empty()) dir = ReadIni("Options", mode, 260, "vynrplct.ini");
    return dir;
}

void SaveSystemDir(int accessMode, const std::string& dir) {
    std::string mode = ModeName(accessMode);
    WriteBothRoots(kPathsKey, mode, dir);
    platform::WritePrivateProfileString("Options", mode, dir, "vynrplct.ini");
    WriteBothRoots(kPathsKey, "System", dir);
    platform::WritePrivateProfileString("Config", std::string("Sysdir5"), dir, "vynsys.ini");
}

HistoryStore TcpIpHistory() {
    return {[](const std::string& key) {
                return platform::GetSetting("VYNClient", "IPHistory", key, "");
            },
            [](const std::string& key, const std::string& value) {
                platform::SaveSetting("VYNClient", "IPHistory", key, value);
            }};
}

HistoryStore SystemDirHistory(int accessMode) {
    std::string section = "History" + ModeName(accessMode);
    return {[section](const std::string& key) {
                return RegEdit::GetRegSetting("VYNSYS", section, key, "");
            },
            [section](const std::string& key, const std::string& value) {
                RegEdit::SaveRegSetting("VYNSYS", section, key, value);
            }};
}

std::vector<std::string> ReadHistory(const HistoryStore& store) {
    std::vector<std::string> entries;
    for (int i = 1; i <= kHistorySize; ++i) {
        std::string entry = store.get(LocKey(i));
        if (entry.empty()) break;
        entries.push_back(entry);
    }
    return entries;
}

namespace {

// Shifts the entries before position (1-based) down by one, puts the entry
// first and saves positions 1..position; the entries behind keep their keys.
void PutFirst(const HistoryStore& store, std::vector<std::string> entries, int position,
              const std::string& entry) {
    entries.resize(static_cast<size_t>(kHistorySize));
    for (int i = position; i >= 2; --i) {
        entries[static_cast<size_t>(i - 1)] = entries[static_cast<size_t>(i - 2)];
    }
    entries[0] = entry;
    for (int i = 1; i <= position; ++i) store.set(LocKey(i), entries[static_cast<size_t>(i - 1)]);
}

}  // namespace

void AddToHistory(const HistoryStore& store, const std::string& entry) {
    std::vector<std::string> entries = ReadHistory(store);
    int n = static_cast<int>(entries.size());
    int position = std::min(n + 1, kHistorySize);
    for (int i = 1; i <= n; ++i) {
        if (mVBUtil::CompareTextNoCase(entries[static_cast<size_t>(i - 1)], entry) == 0) {
            position = i;
            break;
        }
    }
    PutFirst(store, std::move(entries), position, entry);
}

void MoveToFront(const HistoryStore& store, const std::string& entry) {
    std::vector<std::string> entries = ReadHistory(store);
    for (int i = 2; i <= static_cast<int>(entries.size()); ++i) {
        if (entries[static_cast<size_t>(i - 1)] == entry) {
            PutFirst(store, std::move(entries), i, entry);
            return;
        }
    }
}

bool HasHistory(const HistoryStore& store) {
    return !store.get(LocKey(1)).empty();
}

}  // namespace mNetDefaults

#pragma once
// The values with which the client reaches the server: the five connection
// texts of remote access, the system directory of the local modes, their
// stores and the most-recently-used histories kept beside them.

#include <functional>
#include <string>
#include <vector>

#include "platform/system_paths.h"

// String settings under HKEY_CURRENT_USER "Software\TALQTech\" + app + "\" + section.
namespace RegEdit {

void SaveRegSetting(const std::string& app, const std::string& section, const std::string& key,
                    const std::string& value);
std::string GetRegSetting(const std::string& app, const std::string& section,
                          const std::string& key, const std::string& defaultValue);

}  // namespace RegEdit

namespace mNetDefaults {

inline constexpr const char* kNetDefaultsKey = "Software\\TALQTech\\VYNSYS\\NetDefaults";
inline constexpr int kHistorySize = 10;

// Reads the registry (current user, then machine), the RegEdit store and
// "SRVPARMS.INI", in that order; never fails.
void LoadNetDefaults(std::string& domain, std::string& ipAddress, std::string& ipPort,
                     std::string& localPort, std::string& networkCard);
// Writes to both registry roots; a root that cannot be written is skipped.
void SaveNetDefaults(const std::string& domain, const std::string& ipAddress,
                     const std::string& ipPort, const std::string& localPort,
                     const std::string& networkCard);

// The decimal text of the number a box starts with: "12ab" -> "12", "" -> "0".
std::string NumberText(const std::string& typed);

// The first refusal of a TCP/IP configuration, or the empty text when it
// can be stored. A port must lie in 1..65535.
std::string CheckTcpIpConfig(const std::string& ipAddress, const std::string& ipPort,
                             const std::string& domain);

// Trimmed; a text not ending in "/" or "\" gets "/" appended; empty stays empty.
std::string NormalizeSystemDir(const std::string& typed);
// The mode's directory from the current user's Paths, the machine's, or "vynrplct.ini".
std::string LoadSystemDir(int accessMode);
// Writes every place that names the system directory.
void SaveSystemDir(int accessMode, const std::string& dir);

// A list of up to 10 texts under the keys "Loc1".."Loc10", newest first.
struct HistoryStore {
    std::function<std::string(const std::string& key)> get;
    std::function<void(const std::string& key, const std::string& value)> set;
};
// Settings store, application "VYNClient", section "IPHistory".
HistoryStore TcpIpHistory();
// RegEdit store, app "VYNSYS", section "History" + mode name.
HistoryStore SystemDirHistory(int accessMode);

// The entries up to the first empty one.
std::vector<std::string> ReadHistory(const HistoryStore& store);
// Puts the entry first: a stored entry equal but for letter case takes the
// new spelling and moves up; a new one pushes the rest down, the tenth falls off.
void AddToHistory(const HistoryStore& store, const std::string& entry);
// Moves an entry stored exactly so to the front; nothing when it is absent or first.
void MoveToFront(const HistoryStore& store, const std::string& entry);
// "Loc1" is the newest; an empty one means no history.
bool HasHistory(const HistoryStore& store);

}  // namespace mNetDefaults

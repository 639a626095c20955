#pragma once
// Executes one command text for one connection and returns the reply bytes.
// The same engine answers the TCP server and the local-access library.

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "system_db.h"

namespace docserver {

// What the server remembers of one connection between its commands.
struct ConnectionState {
    std::string user;  // user of the last successful login; "" = none
    std::int64_t projectId = 0;
    std::string projectName;  // the current project; "" = none
    std::string session;      // names the connection in page locks
};

// A command split at its commas: fields[0] is the verb ("TALQGetVersion").
struct CommandText {
    explicit CommandText(const std::string& text);
    const std::string& Field(std::size_t index) const;  // "" past the end
    // Everything after the first index commas (free text holding commas).
    std::string Rest(std::size_t index) const;
    std::size_t Count() const { return fields.size(); }

    std::string text;
    std::vector<std::string> fields;
};

class CommandEngine {
  public:
    // Opens the system directory's database; nullptr with error set when the
    // directory is not a system directory.
    static std::unique_ptr<CommandEngine> Open(const std::string& systemDir, std::string& error);

    // Never an empty reply: failures begin with "ERROR".
    std::string Execute(ConnectionState& state, const std::string& command);
    // The connection ended: its locks go.
    void EndConnection(ConnectionState& state);

    const std::string& SystemDir() const { return systemDir_; }
    SystemDb& Db() { return db_; }

  private:
    CommandEngine() = default;
    std::string Dispatch(ConnectionState& state, const CommandText& command);

    // Helpers of the command families.
    std::string Setting(const std::string& name, const std::string& fallback);
    bool CheckUser(const std::string& user, const std::string& password);

    // System, login and project commands (commands_session.cpp).
    std::string GetSystemFlags(const CommandText& command);
    std::string GetExtSystemFlags(const CommandText& command);
    std::string GetVersion(const CommandText& command);
    std::string RequiredLogin(ConnectionState& state, const CommandText& command);
    std::string GetProjectInfo(ConnectionState& state, const CommandText& command);
    std::string CloseProject(ConnectionState& state, const CommandText& command);

    std::string systemDir_;
    SystemDb db_;
};

inline constexpr char kRecordSep = 24;
inline constexpr char kSectionSep = 25;
inline constexpr char kListSep = 30;
inline constexpr char kFieldSep = 31;
inline constexpr const char* kServerVersion = "8.6.0";

}  // namespace docserver

#include "command_engine.h"

#include <sys/stat.h>

#include <cstring>
#include <exception>

namespace docserver {

CommandText::CommandText(const std::string& command) : text(command) {
    std::size_t start = 0;
    while (true) {
        std::size_t comma = text.find(',', start);
        if (comma == std::string::npos) {
            fields.push_back(text.substr(start));
            break;
        }
        fields.push_back(text.substr(start, comma - start));
        start = comma + 1;
    }
}

const std::string& CommandText::Field(std::size_t index) const {
    static const std::string kEmpty;
    return index < fields.size() ? fields[index] : kEmpty;
}

std::string CommandText::Rest(std::size_t index) const {
    std::size_t pos = 0;
    for (std::size_t i = 0; i < index; ++i) {
        pos = text.find(',', pos);
        if (pos == std::string::npos) return "";
        ++pos;
    }
    return text.substr(pos);
}

std::unique_ptr<CommandEngine> CommandEngine::Open(const std::string& systemDir,
                                                   std::string& error) {
    std::string dir = systemDir;
    while (dir.size() > 1 && (dir.back() == '/' || dir.back() == '\\')) dir.pop_back();
    struct stat info {};
    if (dir.empty() || ::stat(dir.c_str(), &info) != 0 || !S_ISDIR(info.st_mode)) {
        error = "no system directory at " + systemDir;
        return nullptr;
    }
    std::unique_ptr<CommandEngine> engine(new CommandEngine());
    engine->systemDir_ = dir;
    if (!engine->db_.Open(dir + "/system.db", false, error)) return nullptr;
    // Refuse a database that is not ours.
    Statement probe(engine->db_, "SELECT COUNT(*) FROM users");
    if (!probe.Ok() || !probe.Step()) {
        error = "system.db holds no system";
        return nullptr;
    }
    return engine;
}

std::string CommandEngine::Execute(ConnectionState& state, const std::string& command) {
    std::string reply;
    try {
        // A request's payload ends with one NUL; anything after it is not command.
        std::string text = command.substr(0, command.find('\0'));
        if (text.empty()) return "ERROR: Invalid Command";
        reply = Dispatch(state, CommandText(text));
    } catch (const std::exception& e) {
        reply = std::string("ERROR: Server Failure ") + e.what();
    }
    if (reply.empty()) reply = "OK";
    return reply;
}

std::string CommandEngine::Dispatch(ConnectionState& state, const CommandText& command) {
    const std::string& verb = command.Field(0);
    if (verb == "TALQGetSystemFlags") return GetSystemFlags(command);
    if (verb == "TALQGetExtSystemFlags") return GetExtSystemFlags(command);
    if (verb == "TALQGetVersion") return GetVersion(command);
    if (verb == "TALQRequiredLogin") return RequiredLogin(state, command);
    if (verb == "TALQGetProjectInfo") return GetProjectInfo(state, command);
    if (verb == "TALQCloseProject") return CloseProject(state, command);
    return "ERROR: Unknown Command " + verb.substr(0, 64);
}

void CommandEngine::EndConnection(ConnectionState& state) {
    if (!state.session.empty()) {
        Statement drop(db_, "DELETE FROM page_locks WHERE session = ?");
        drop.Bind(1, state.session).Run();
    }
    state = ConnectionState{};
}

std::string CommandEngine::Setting(const std::string& name, const std::string& fallback) {
    Statement s(db_, "SELECT value FROM system_settings WHERE name = ?");
    s.Bind(1, name);
    return s.Step() ? s.Text(0) : fallback;
}

bool CommandEngine::CheckUser(const std::string& user, const std::string& password) {
    if (user.empty()) return false;
    Statement s(db_, "SELECT password, disabled FROM users WHERE user_id = ?");
    s.Bind(1, user);
    return s.Step() && s.Int(1) == 0 && s.Text(0) == password;
}

}  // namespace docserver

// Who may run a command: the connection's login, the user a command names,
// the password it carries and the rights of the user in the project.
#include <sqlite3.h>

#include <cstdint>
#include <utility>

#include "command_engine.h"
#include "command_rules.h"
#include "engine_text.h"
#include "login_throttle.h"
#include "passwords.h"

namespace docserver {
namespace {

// The user a credentials command names: its first field, or the first
// after the verb in the form separated by character 24.
std::string NamedUser(const CommandText& command) {
    const std::string& head = command.Field(0);
    std::size_t sep = head.find(kRecordSep);
    if (sep == std::string::npos) return command.Field(1);
    std::vector<std::string> fields = Split(head, kRecordSep);
    return fields.size() > 1 ? fields[1] : std::string();
}

// A login check announced to the throttle, ended there however the check
// ends: one lost would leave its place among the free failures taken.
class InFlightLogin {
  public:
    InFlightLogin(LoginThrottle* throttle, const std::string& user, const std::string& address)
        : throttle_(throttle), user_(user), address_(address) {}
    ~InFlightLogin() {
        if (throttle_ != nullptr) throttle_->Abandoned(user_, address_);
    }
    InFlightLogin(const InFlightLogin&) = delete;
    InFlightLogin& operator=(const InFlightLogin&) = delete;

    void Rejected() {
        if (throttle_ != nullptr) std::exchange(throttle_, nullptr)->Rejected(user_, address_);
    }
    // True when the address is to be kept.
    bool Succeeded() {
        return throttle_ != nullptr &&
               std::exchange(throttle_, nullptr)->Succeeded(user_, address_);
    }

  private:
    LoginThrottle* throttle_;
    const std::string& user_;
    const std::string& address_;
};

}  // namespace

std::string CommandEngine::Admit(const ConnectionState& state, const CommandRule& rule,
                                 const CommandText& command) {
    switch (rule.gate) {
        case Gate::Open:
            return "";
        case Gate::Credentials:
            if (state.user.empty()) return "ERROR: User Not Logged In";
            // The password is checked where the project is opened.
            if (!SameText(NamedUser(command), state.user)) return "ERROR: Invalid Login";
            return "";
        case Gate::Login:
            return state.user.empty() ? "ERROR: User Not Logged In" : "";
        case Gate::Project:
            if (state.user.empty()) return "ERROR: User Not Logged In";
            return state.projectId == 0 ? "ERROR: Project Not Selected" : "";
    }
    return "ERROR: Invalid Command";
}

std::string CommandEngine::Authorize(ProjectAccess& access) {
    Statement s(db_,
                "SELECT up.security, p.restriction FROM user_projects up JOIN projects p "
                "ON p.project_id = up.project_id WHERE up.user_id = ? AND up.project_id = ?");
    s.Bind(1, access.user).Bind(2, access.id);
    // A failed read throws: it is no project the user lacks.
    if (!s.Row()) return "ERROR: Invalid Project";
    access.security = s.Int(0);
    access.restriction = s.Int(1);
    const CommandRule* rule = CurrentRule();
    return rule == nullptr ? "" : Refusal(rule->need, access.security, access.restriction);
}

bool CommandEngine::LoginStands(ConnectionState& state) {
    // A row that cannot be read throws: the request fails, the session
    // stays.
    const std::optional<UserPassword> row = ReadUserPassword(state.user);
    if (row && !row->disabled && StoredDigest(row->stored) == state.proved.stored) return true;
    state.ended = true;
    state.disabled = row && row->disabled;
    state.removed = !row;
    return false;
}

std::optional<CommandEngine::UserPassword> CommandEngine::ReadUserPassword(
    const std::string& user) {
    Statement s(db_, "SELECT password, disabled FROM users WHERE user_id = ?");
    s.Bind(1, user);
    if (!s.Row()) return std::nullopt;
    return UserPassword{s.Text(0), s.Int(1) != 0};
}

std::string CommandEngine::LoginRefusal(const std::string& user, const std::string& password,
                                        LoginProof* proved, std::string* checked) {
    // Refused before anything is read or kept: no such user can exist.
    if (user.empty() || user.size() > kMaxUserIdLength) return "ERROR: Invalid Login";
    const ConnectionState* connection = CurrentConnection();
    const std::string address = connection != nullptr ? connection->address : std::string();
    // A busy database throws from here, before anything is counted: the
    // login is answered as busy, never as a wrong password.
    // The row is read and its statement ended at once: a read left open
    // across the hash would hold an old snapshot, and the writes after it
    // (the address kept, the password hashed) would then fail as busy.
    const std::optional<UserPassword> row = ReadUserPassword(user);
    const bool known = row.has_value();
    std::string stored = known ? row->stored : std::string();
    const bool disabled = known && row->disabled;
    // A connection that logged in as the user keeps working through a hold:
    // its commands carry the password it proved. Any other password it
    // sends is a guess like anyone's.
    const bool provedEarlier = known && connection != nullptr && !connection->proved.pair.empty() &&
                               SameText(connection->user, user) &&
                               connection->proved.pair == PairDigest(stored, password);
    // Announced before the hash, so checks running at once cannot pass the count.
    if (!provedEarlier && !throttle_->Begin(user, address))
        return "ERROR: Too Many Failed Logins, Try Again Later";
    InFlightLogin attempt(provedEarlier ? nullptr : throttle_.get(), user, address);
    // An unknown user costs the same hash as a known one, so the time of the
    // answer does not tell whether the user exists.
    static const std::string& decoy = *new std::string(HashPassword("decoy"));
    const bool matches = PasswordMatches(known ? stored : decoy, password);
    if (!known || disabled || !matches) {
        attempt.Rejected();
        return "ERROR: Invalid Login";
    }
    // Only a fresh proof clears the count: the commands of a session that
    // proved the password earlier must not clear a guesser's.
    if (attempt.Succeeded()) KeepLoginAddress(user, address);
    if (!IsPasswordHash(stored)) {
        // A row written in plain text since the system was opened. A proof
        // of the plain value would end this session at its next request once
        // any login hashes the row, so a database too busy to hash it now
        // answers the login as busy.
        const std::string hashed = HashPassword(password);
        Statement u(db_, "UPDATE users SET password = ? WHERE user_id = ? AND password = ?");
        if (!u.Bind(1, hashed).Bind(2, user).Bind(3, stored).Run())
            throw DatabaseError(u.Error());
        if (sqlite3_changes(db_.Handle()) > 0) {
            stored = hashed;
        } else if (const std::optional<UserPassword> now = ReadUserPassword(user);
                   now && !now->disabled && PasswordMatches(now->stored, password)) {
            // Another login hashed it first.
            stored = now->stored;
        }
    }
    if (proved != nullptr) *proved = {StoredDigest(stored), PairDigest(stored, password)};
    if (checked != nullptr) *checked = stored;
    return "";
}

}  // namespace docserver

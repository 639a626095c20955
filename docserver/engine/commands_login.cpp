// Password changes, refused unless the system's policy allows them, and the
// addresses users log in from.
#include <sqlite3.h>

#include <cstdlib>

#include "command_engine.h"
#include "login_throttle.h"
#include "passwords.h"
#include "transaction.h"

namespace docserver {
namespace {

constexpr long kPasswordChangeEnabled = 0x80;
constexpr long kStrongPasswordsRequired = 0x100;

// Six characters or more without the outer blanks, a letter and a digit.
bool IsStrong(const std::string& password) {
    std::size_t first = password.find_first_not_of(' ');
    if (first == std::string::npos) return false;
    std::size_t last = password.find_last_not_of(' ');
    if (last - first + 1 < 6) return false;
    bool letter = false;
    bool digit = false;
    for (std::size_t i = first; i <= last; ++i) {
        char c = password[i];
        letter = letter || (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z');
        digit = digit || (c >= '0' && c <= '9');
    }
    return letter && digit;
}

}  // namespace

// "TALQChangePassword," user "," old password "," new password
std::string CommandEngine::ChangePassword(ConnectionState& state, const CommandText& command) {
    long flags = std::strtol(Setting("ExtSystemFlags", "0").c_str(), nullptr, 10);
    if ((flags & kPasswordChangeEnabled) == 0) return "ERROR: Password Changes Not Enabled";
    if (command.Count() != 4) return "ERROR: Invalid Parameters";
    const std::string& user = command.Field(1);
    const std::string& password = command.Field(3);
    std::string checked;
    if (std::string refusal = LoginRefusal(user, command.Field(2), nullptr, &checked);
        !refusal.empty())
        return refusal;
    for (unsigned char c : password) {
        if (c < 32) return "ERROR: Invalid Password";
    }
    // One the next login could not carry would lock the user out.
    if (password.size() > kMaxPasswordLength)
        return "ERROR: Password Too Long, At Most " + std::to_string(kMaxPasswordLength) +
               " Characters";
    if ((flags & kStrongPasswordsRequired) != 0 && !IsStrong(password))
        return "ERROR: Password Not Strong Enough";
    const std::string hashed = HashPassword(password);
    // Stored only over the value the old password was checked against: of
    // two changes at once the later finds the row changed and checks the
    // old password again, which a rehash of it passes and a change does not.
    Statement s(db_, "UPDATE users SET password = ? WHERE user_id = ? AND password = ?");
    for (int attempt = 0;; ++attempt) {
        if (!s.Reset().Bind(1, hashed).Bind(2, user).Bind(3, checked).Run())
            return Failed("ERROR: Unable to Change Password", s.Error());
        if (sqlite3_changes(db_.Handle()) > 0) break;
        if (attempt == 2) return "ERROR: Unable to Change Password";
        if (std::string refusal = LoginRefusal(user, command.Field(2), nullptr, &checked);
            !refusal.empty())
            return refusal;
    }
    // The user's other sessions end; the one that changed it goes on.
    if (SameText(state.user, user))
        state.proved = {StoredDigest(hashed), PairDigest(hashed, password)};
    state.passwordChanged = user;
    return "OK";
}

void CommandEngine::KeepLoginAddress(const std::string& user, const std::string& address) {
    if (address.empty()) return;
    // The login waits no longer than the server's own writes take: past
    // that another program holds the system, and the next login from the
    // address keeps it once the database is free.
    LockWaitLimit shortWait(250);
    bool kept = false;
    try {
        Transaction transaction(db_);
        Statement keep(db_,
                       "INSERT INTO login_addresses(user_id, address, used) "
                       "SELECT user_id, ?2, (SELECT COALESCE(MAX(used), 0) + 1 FROM "
                       "login_addresses WHERE user_id = ?1) FROM users WHERE user_id = ?1 "
                       "ON CONFLICT(user_id, address) DO UPDATE SET used = excluded.used");
        Statement trim(db_,
                       "DELETE FROM login_addresses WHERE user_id = ?1 AND address NOT IN "
                       "(SELECT address FROM login_addresses WHERE user_id = ?1 "
                       "ORDER BY used DESC LIMIT ?2)");
        const auto most = static_cast<std::int64_t>(LoginThrottle::kKnownAddressesPerUser);
        kept = keep.Bind(1, user).Bind(2, address).Run() &&
               trim.Bind(1, user).Bind(2, most).Run() && transaction.Commit();
    } catch (const DatabaseBusy&) {
        // The login stands; this run of the server still spares the address.
    } catch (const DatabaseError&) {
        // The same.
    }
    if (!kept) throttle_->Unkept(user, address);
}

void CommandEngine::LoadLoginAddresses() {
    try {
        Statement known(db_, "SELECT user_id, address FROM login_addresses ORDER BY user_id, used");
        while (known.Step()) throttle_->Remember(known.Text(0), known.Text(1));
    } catch (const DatabaseBusy&) {
        // Logins work without; only the hold on a guessed user spares less.
    }
}

}  // namespace docserver

// Password changes, refused unless the system's policy allows them.
#include <cstdlib>

#include "command_engine.h"
#include "passwords.h"

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
std::string CommandEngine::ChangePassword(const CommandText& command) {
    long flags = std::strtol(Setting("ExtSystemFlags", "0").c_str(), nullptr, 10);
    if ((flags & kPasswordChangeEnabled) == 0) return "ERROR: Password Changes Not Enabled";
    if (command.Count() != 4) return "ERROR: Invalid Parameters";
    const std::string& user = command.Field(1);
    const std::string& password = command.Field(3);
    if (std::string refusal = LoginRefusal(user, command.Field(2)); !refusal.empty())
        return refusal;
    for (unsigned char c : password) {
        if (c < 32) return "ERROR: Invalid Password";
    }
    if ((flags & kStrongPasswordsRequired) != 0 && !IsStrong(password))
        return "ERROR: Password Not Strong Enough";
    Statement s(db_, "UPDATE users SET password = ? WHERE user_id = ?");
    s.Bind(1, HashPassword(password)).Bind(2, user);
    if (!s.Run()) return "ERROR: Unable to Change Password";
    return "OK";
}

}  // namespace docserver

#pragma once
// The rules of the login: password strength and characters, the texts a
// user id or password may hold, and the logins remembered per access mode
// in the per-user settings (application "VYNClient", section "Options").

#include <string>

namespace mLogin {

inline constexpr const char* kLoginApp = "VYNClient";
inline constexpr const char* kLoginSection = "Options";

// Policy bits of the server's extended system flags.
inline constexpr int kRememberLoginsAllowed = 0x08;
inline constexpr int kPasswordChangeEnabled = 0x80;
inline constexpr int kStrongPasswordsRequired = 0x100;

// At least six characters after trimming, with a letter and a digit.
bool IsStrongPassword(const std::string& text);
// Letters, digits, blanks and "!#$%_-." only; the empty text passes.
bool IsValidPasswordChars(const std::string& text);

// In place: each code moved up (down) by 127 where the result stays a byte.
void ScrambleLoginText(std::string& text);
void UnscrambleLoginText(std::string& text);
// Whether the scrambling gives the text back: no code above 128.
bool CanRememberLoginText(const std::string& text);

// The refusal for a user id or password the server could not take apart
// (a "," or a control character) or a password longer than a login can
// carry, or the empty text.
std::string UserIdRefusal(const std::string& userId);
std::string PasswordRefusal(const std::string& password);

struct RememberedLogin {
    std::string userId;
    std::string password;
};

// The stored mode; anything outside 0..2 is 0.
int LoadAccessMode();
void SaveAccessMode(int accessMode);
// The mode's remembered login, unscrambled; empty texts when none.
RememberedLogin LoadRememberedLogin(int accessMode);
// Stores the login for the mode, or forgets it when it cannot be given back
// (a code above 128); returns whether it was remembered. The settings file
// is then kept readable by its owner only.
bool SaveRememberedLogin(int accessMode, const std::string& userId, const std::string& password);
void ForgetRememberedLogin(int accessMode);
// Forgets the logins of all three modes; "Remember" stays.
void ClearRememberedLogins();
int LoadRememberFlag();
void SaveRememberFlag(bool remembered);

}  // namespace mLogin

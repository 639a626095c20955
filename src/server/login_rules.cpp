#include "server/login_rules.h"

#include "foundation/fields.h"
#include "foundation/mod_registry.h"
#include "foundation/number_text.h"
#include "platform/rounding.h"
#include "platform/settings_store.h"
#include "server/request_frame.h"

namespace mLogin {
namespace {

std::string ModeDigit(int accessMode) {
    return std::to_string(accessMode < 0 || accessMode > 2 ? 0 : accessMode);
}

std::string Get(const std::string& key, const std::string& defaultValue) {
    return modRegistry::GetAppSetting(kLoginApp, kLoginSection, key, defaultValue);
}

void Save(const std::string& key, const std::string& value) {
    modRegistry::SaveAppSetting(kLoginApp, kLoginSection, key, value);
}

bool IsLetter(unsigned char c) {
    return c >= 'A' && c <= 'Z';
}
bool IsDigit(unsigned char c) {
    return c >= '0' && c <= '9';
}
unsigned char Upper(unsigned char c) {
    return c >= 'a' && c <= 'z' ? c - 'a' + 'A' : c;
}

bool HoldsCommaOrControl(const std::string& text) {
    for (unsigned char c : text) {
        if (c == ',' || c < 32) return true;
    }
    return false;
}

}  // namespace

bool IsStrongPassword(const std::string& text) {
    std::string trimmed = mVBUtil::TrimSpaces(text);
    if (trimmed.size() < 6) return false;
    bool letter = false;
    bool digit = false;
    for (unsigned char c : trimmed) {
        c = Upper(c);
        letter = letter || IsLetter(c);
        digit = digit || IsDigit(c);
    }
    return letter && digit;
}

bool IsValidPasswordChars(const std::string& text) {
    static const std::string kSpecials = "!#$%_-. ";
    for (unsigned char c : text) {
        c = Upper(c);
        if (!IsLetter(c) && !IsDigit(c) &&
            kSpecials.find(static_cast<char>(c)) == std::string::npos)
            return false;
    }
    return true;
}

void ScrambleLoginText(std::string& text) {
    for (char& c : text) {
        int code = static_cast<unsigned char>(c) + 127;
        if (code <= 255) c = static_cast<char>(code);
    }
}

void UnscrambleLoginText(std::string& text) {
    for (char& c : text) {
        int code = static_cast<unsigned char>(c) - 127;
        if (code >= 0) c = static_cast<char>(code);
    }
}

bool CanRememberLoginText(const std::string& text) {
    for (unsigned char c : text) {
        if (c > 128) return false;
    }
    return true;
}

std::string UserIdRefusal(const std::string& userId) {
    return HoldsCommaOrControl(userId) ? "Invalid Character in User ID" : "";
}

std::string PasswordRefusal(const std::string& password) {
    if (HoldsCommaOrControl(password)) return "Invalid Character in Password";
    // The server would close the connection without an answer.
    if (password.size() > static_cast<std::size_t>(RequestFrame::kMaxPasswordLength))
        return "Password Too Long, At Most " + std::to_string(RequestFrame::kMaxPasswordLength) +
               " Characters";
    return "";
}

int LoadAccessMode() {
    int mode = platform::RoundToInt(mVBUtil::Val(Get("Access", "0")));
    return mode >= 0 && mode <= 2 ? mode : 0;
}

void SaveAccessMode(int accessMode) {
    Save("Access", std::to_string(accessMode));
}

RememberedLogin LoadRememberedLogin(int accessMode) {
    RememberedLogin login{Get("Usr1_" + ModeDigit(accessMode), ""),
                          Get("Usr2_" + ModeDigit(accessMode), "")};
    UnscrambleLoginText(login.userId);
    UnscrambleLoginText(login.password);
    return login;
}

bool SaveRememberedLogin(int accessMode, const std::string& userId, const std::string& password) {
    if (!CanRememberLoginText(userId) || !CanRememberLoginText(password)) {
        ForgetRememberedLogin(accessMode);
        return false;
    }
    std::string user = userId;
    std::string pswrd = password;
    ScrambleLoginText(user);
    ScrambleLoginText(pswrd);
    Save("Usr1_" + ModeDigit(accessMode), user);
    Save("Usr2_" + ModeDigit(accessMode), pswrd);
    platform::KeepSettingsPrivate();
    return true;
}

void ForgetRememberedLogin(int accessMode) {
    Save("Usr1_" + ModeDigit(accessMode), "");
    Save("Usr2_" + ModeDigit(accessMode), "");
}

void ClearRememberedLogins() {
    for (int mode = 0; mode <= 2; ++mode) ForgetRememberedLogin(mode);
}

int LoadRememberFlag() {
    return mVBUtil::Val(Get("Remember", "0")) != 0 ? 1 : 0;
}

void SaveRememberFlag(bool remembered) {
    Save("Remember", remembered ? "1" : "0");
}

}  // namespace mLogin

#include "server/login_rules.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include "platform/settings_store.h"
#include "platform/user_dirs.h"
#include "server/request_frame.h"
#include "support/scoped_env.h"

using namespace mLogin;

namespace {

std::string Stored(const std::string& key) {
    return platform::GetSetting("TALQTech\\VYNClient", "Options", key, "<none>");
}

TEST(IsStrongPassword, NeedsSixCharactersWithALetterAndADigit) {
    EXPECT_TRUE(IsStrongPassword("abc123"));
    EXPECT_TRUE(IsStrongPassword("1!#$%a"));
    EXPECT_TRUE(IsStrongPassword("  Z9zzzz  "));
    EXPECT_FALSE(IsStrongPassword("abcdef")) << "letters only";
    EXPECT_FALSE(IsStrongPassword("123456")) << "digits only";
    EXPECT_FALSE(IsStrongPassword("ab12")) << "too short";
    EXPECT_FALSE(IsStrongPassword("  a1b2  ")) << "short once trimmed";
    EXPECT_FALSE(IsStrongPassword("")) << "empty";
    EXPECT_FALSE(
        IsStrongPassword("\xe9\xe9\xe9"
                         "123"))
        << "accented letters are not letters";
}

TEST(IsValidPasswordChars, AcceptsLettersDigitsBlanksAndTheEightSpecials) {
    EXPECT_TRUE(IsValidPasswordChars(""));
    EXPECT_TRUE(IsValidPasswordChars("lower UPPER 09 !#$%_-."));
    EXPECT_FALSE(IsValidPasswordChars("a,b")) << "a comma would split the command";
    EXPECT_FALSE(IsValidPasswordChars("a\"b"));
    EXPECT_FALSE(IsValidPasswordChars("caf\xe9"));
    EXPECT_FALSE(IsValidPasswordChars(std::string("a\tb")));
    EXPECT_FALSE(IsValidPasswordChars(std::string("ab\0", 3)));
}

TEST(ScrambleLoginText, RoundTripsEveryCodeUpTo128AndLeavesHigherCodesAlone) {
    std::string all;
    for (int c = 0; c <= 128; ++c) all.push_back(static_cast<char>(c));
    std::string text = all;
    ScrambleLoginText(text);
    EXPECT_NE(text, all);
    EXPECT_EQ(static_cast<unsigned char>(text[0]), 127);
    EXPECT_EQ(static_cast<unsigned char>(text[128]), 255);
    UnscrambleLoginText(text);
    EXPECT_EQ(text, all);

    std::string high = "\xe9\xff";
    ScrambleLoginText(high);
    EXPECT_EQ(high, "\xe9\xff");

    std::string empty;
    ScrambleLoginText(empty);
    UnscrambleLoginText(empty);
    EXPECT_EQ(empty, "");
}

TEST(LoginTextRefusal, RefusesCommasControlCharactersAndPasswordsNoLoginCanCarry) {
    EXPECT_EQ(UserIdRefusal("ADMIN"), "");
    EXPECT_EQ(UserIdRefusal("A B!"), "");
    EXPECT_EQ(UserIdRefusal("AD,MIN"), "Invalid Character in User ID");
    EXPECT_EQ(UserIdRefusal(std::string("AD\x1f"
                                        "MIN")),
              "Invalid Character in User ID");
    EXPECT_EQ(PasswordRefusal("se,cret"), "Invalid Character in Password");
    EXPECT_EQ(PasswordRefusal(std::string("se\0c", 4)), "Invalid Character in Password");
    EXPECT_EQ(PasswordRefusal("s\xe9"
                              "cret"),
              "")
        << "the server may hold such passwords";
    const std::string longest(RequestFrame::kMaxPasswordLength, 'p');
    EXPECT_EQ(PasswordRefusal(longest), "");
    EXPECT_EQ(PasswordRefusal(longest + "p"), "Password Too Long, At Most 15766 Characters");
}

TEST(RememberedLogins, AreKeptPerAccessModeAndStoredScrambled) {
    testsupport::ScopedUserStores stores;
    ASSERT_TRUE(SaveRememberedLogin(0, "remote", "pw0"));
    ASSERT_TRUE(SaveRememberedLogin(2, "local", "pw2"));
    EXPECT_EQ(LoadRememberedLogin(0).userId, "remote");
    EXPECT_EQ(LoadRememberedLogin(0).password, "pw0");
    EXPECT_EQ(LoadRememberedLogin(1).userId, "");
    EXPECT_EQ(LoadRememberedLogin(2).userId, "local");
    EXPECT_EQ(LoadRememberedLogin(2).password, "pw2");

    std::string scrambled = "pw0";
    ScrambleLoginText(scrambled);
    EXPECT_EQ(Stored("Usr2_0"), scrambled) << "never stored in the clear";
    EXPECT_EQ(Stored("Usr1_1"), "<none>");
}

TEST(RememberedLogins, ALoginTheScramblingCannotGiveBackIsNotRemembered) {
    testsupport::ScopedUserStores stores;
    ASSERT_TRUE(SaveRememberedLogin(1, "old", "old"));
    EXPECT_FALSE(SaveRememberedLogin(1, "user", "p\xe9w"));
    EXPECT_EQ(LoadRememberedLogin(1).userId, "") << "the earlier login is forgotten too";
    EXPECT_EQ(LoadRememberedLogin(1).password, "");
    EXPECT_FALSE(SaveRememberedLogin(1, "\xc0ser", "pw"));
    EXPECT_EQ(LoadRememberedLogin(1).userId, "");
    EXPECT_TRUE(SaveRememberedLogin(1, "user", std::string("p\x80w"))) << "128 comes back";
    EXPECT_EQ(LoadRememberedLogin(1).password, "p\x80w");
}

TEST(RememberedLogins, TheSettingsFileIsReadableByItsOwnerOnly) {
    testsupport::ScopedUserStores stores;
    std::string path = platform::ConfigDir() + "/settings.txt";
    ASSERT_TRUE(platform::SaveSetting("Other", "S", "k", "v"));
    ASSERT_EQ(::chmod(path.c_str(), 0644), 0);
    ASSERT_TRUE(SaveRememberedLogin(0, "user", "pw"));
    struct stat st {};
    ASSERT_EQ(::stat(path.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0600u);
    ASSERT_TRUE(platform::SaveSetting("Other", "S", "k", "w"));
    ASSERT_EQ(::stat(path.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0600u) << "a later change keeps the mode";
}

TEST(RememberedLogins, ClearingForgetsEveryModeButKeepsTheRememberFlag) {
    testsupport::ScopedUserStores stores;
    for (int mode = 0; mode <= 2; ++mode) SaveRememberedLogin(mode, "u", "p");
    SaveRememberFlag(true);
    ClearRememberedLogins();
    for (int mode = 0; mode <= 2; ++mode) {
        EXPECT_EQ(LoadRememberedLogin(mode).userId, "") << mode;
        EXPECT_EQ(LoadRememberedLogin(mode).password, "") << mode;
    }
    EXPECT_EQ(LoadRememberFlag(), 1);
}

TEST(AccessModeSetting, OutOfRangeOrMissingValuesMeanRemote) {
    testsupport::ScopedUserStores stores;
    EXPECT_EQ(LoadAccessMode(), 0);
    SaveAccessMode(2);
    EXPECT_EQ(LoadAccessMode(), 2);
    for (const char* stored : {"3", "-1", "x", "7"}) {
        platform::SaveSetting("TALQTech\\VYNClient", "Options", "Access", stored);
        EXPECT_EQ(LoadAccessMode(), 0) << stored;
    }
    EXPECT_EQ(LoadRememberFlag(), 0);
}

}  // namespace

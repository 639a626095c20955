#include <gtest/gtest.h>

#include "engine/command_engine.h"
#include "support/scoped_env.h"
#include "test_system.h"

namespace {

using docserver::CommandEngine;
using docserver::ConnectionState;

class PasswordChange : public ::testing::Test {
  protected:
    void SetUp() override {
        testsupport::MakeTestSystem(dir_.Path() + "/sys");
        std::string error;
        engine_ = CommandEngine::Open(dir_.Path() + "/sys/", error);
        ASSERT_TRUE(engine_) << error;
    }
    std::string Run(const std::string& command) { return engine_->Execute(state_, command); }
    void SetExtFlags(int flags) {
        std::string error;
        ASSERT_TRUE(engine_->Db().Exec("UPDATE system_settings SET value = '" +
                                           std::to_string(flags) +
                                           "' WHERE name = 'ExtSystemFlags';",
                                       error))
            << error;
    }
    bool LogsIn(const std::string& password) {
        return Run("TALQRequiredLogin,ADMIN," + password + ",,DOM,1,8.6,1").rfind("1", 0) == 0;
    }

    testsupport::ScopedTempDir dir_;
    std::unique_ptr<CommandEngine> engine_;
    ConnectionState state_;
};

TEST_F(PasswordChange, TheNewPasswordReplacesTheOld) {
    EXPECT_EQ(Run("TALQChangePassword,admin,SECRET,new pw"), "OK");
    EXPECT_FALSE(LogsIn("SECRET"));
    EXPECT_TRUE(LogsIn("new pw"));
    EXPECT_EQ(Run("TALQChangePassword,ADMIN,new pw,"), "OK") << "removing it is allowed";
    EXPECT_TRUE(LogsIn(""));
}

TEST_F(PasswordChange, RefusedWithoutTheOldPasswordOrWhenThePolicyForbidsIt) {
    EXPECT_EQ(Run("TALQChangePassword,ADMIN,wrong,new"), "ERROR: Invalid Login");
    EXPECT_EQ(Run("TALQChangePassword,NOBODY,SECRET,new"), "ERROR: Invalid Login");
    EXPECT_EQ(Run("TALQChangePassword,ADMIN,SECRET"), "ERROR: Invalid Parameters");
    EXPECT_EQ(Run("TALQChangePassword,ADMIN,SECRET,a,b"), "ERROR: Invalid Parameters");
    EXPECT_EQ(Run("TALQChangePassword,ADMIN,SECRET,a\tb"), "ERROR: Invalid Password");
    SetExtFlags(0x08);
    EXPECT_EQ(Run("TALQChangePassword,ADMIN,SECRET,new"), "ERROR: Password Changes Not Enabled");
    EXPECT_TRUE(LogsIn("SECRET"));
}

TEST_F(PasswordChange, StrongPasswordsNeedSixCharactersALetterAndADigit) {
    SetExtFlags(0x80 | 0x100);
    for (const char* weak : {"abcdef", "123456", "ab12", "  ab12  ", ""}) {
        EXPECT_EQ(Run(std::string("TALQChangePassword,ADMIN,SECRET,") + weak),
                  "ERROR: Password Not Strong Enough")
            << weak;
    }
    EXPECT_TRUE(LogsIn("SECRET"));
    EXPECT_EQ(Run("TALQChangePassword,ADMIN,SECRET,abc123"), "OK");
    EXPECT_TRUE(LogsIn("abc123"));
}

}  // namespace

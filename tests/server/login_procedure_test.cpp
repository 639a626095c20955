// The login procedure end to end: scripted dialog answers, the session
// object, and the stand-in server over TCP or the local-access library.

#include "server/widgets/login_procedure.h"

#include <gtest/gtest.h>

#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>

#include <deque>
#include <memory>

#include "engine/system_db.h"
#include "foundation/mod_registry.h"
#include "platform/scripted_prompts.h"
#include "platform/settings_store.h"
#include "server/login_rules.h"
#include "server/net_defaults.h"
#include "server/talq_client_api.h"
#include "server/widgets/frm_config.h"
#include "server/widgets/frm_login.h"
#include "server/widgets/frm_new_pswrd.h"
#include "support/scoped_env.h"
#include "support/scripted_dialog.h"
#include "support/server_process.h"
#include "test_system.h"

namespace {

constexpr int kRemember = 0x08;
constexpr int kChange = 0x80;
constexpr int kStrong = 0x100;

// What the user does in the login dialog, and what the dialog showed.
struct LoginAnswer {
    int mode = 0;
    std::string user = "ADMIN";
    std::string password = "SECRET";
    bool remember = true;
    bool change = false;
    bool cancel = false;
    bool keepShown = false;  // OK with what the dialog showed

    std::string shownUser;
    std::string shownPassword;
    int shownMode = -1;
    bool shownRemember = false;
};

class LoginProcedure : public ::testing::Test {
  protected:
    void SetUp() override {
        sys_ = dir_.Path() + "/system";
        testsupport::MakeTestSystem(sys_);
        for (const char* mode : {"Network", "Local"}) {
            modRegistry::RegSetString(modRegistry::HKEY_CURRENT_USER,
                                      "Software\\TALQTech\\VYNSYS\\Paths", mode, sys_ + "/");
        }
    }

    void SetExtFlags(int flags) {
        docserver::SystemDb db;
        std::string error;
        ASSERT_TRUE(db.Open(sys_ + "/system.db", false, error)) << error;
        ASSERT_TRUE(db.Exec("UPDATE system_settings SET value = '" + std::to_string(flags) +
                                "' WHERE name = 'ExtSystemFlags';",
                            error))
            << error;
    }

    int Port() {
        if (!server_) server_ = std::make_unique<testsupport::ServerProcess>(sys_);
        EXPECT_GT(server_->Port(), 0) << server_->Output();
        return server_->Port();
    }

    // Runs LoginToServer with the answer for the login dialog and the queued
    // new passwords (nullopt = Cancel) for the change dialog.
    bool Login(TalqClientAPI& session, LoginAnswer& answer) {
        loginRuns_ = 0;
        talq::DialogFactory<frmLogin>::Scoped login(testsupport::ScriptedMaker<frmLogin>(
            [&answer](frmLogin& dlg) {
                answer.shownUser = dlg.txtUserID->text().toStdString();
                answer.shownPassword = dlg.txtPassword->text().toStdString();
                answer.shownMode = dlg.AccessMode;
                answer.shownRemember = dlg.Check1->isChecked();
                if (answer.cancel) {
                    dlg.cmdCancel_Click();
                    return;
                }
                dlg.Combo1->setCurrentIndex(answer.mode);
                if (!answer.keepShown) {
                    dlg.txtUserID->setText(QString::fromStdString(answer.user));
                    dlg.txtPassword->setText(QString::fromStdString(answer.password));
                }
                dlg.Check1->setChecked(answer.remember);
                dlg.Check2->setChecked(answer.change);
                dlg.cmdOK_Click();
            },
            &loginRuns_));
        newPswrdRuns_ = 0;
        talq::DialogFactory<frmNewPswrd>::Scoped change(testsupport::ScriptedMaker<frmNewPswrd>(
            [this](frmNewPswrd& dlg) {
                strongRule_ = dlg.StrongRule;
                if (newPasswords_.empty() || !newPasswords_.front()) {
                    if (!newPasswords_.empty()) newPasswords_.pop_front();
                    dlg.cmdCancel_Click();
                    return;
                }
                if (beforeChange_) beforeChange_();
                QString text = QString::fromStdString(*newPasswords_.front());
                newPasswords_.pop_front();
                dlg.Text1->setText(text);
                dlg.Text2->setText(text);
                dlg.cmdOK_Click();
            },
            &newPswrdRuns_));
        return mLogin::LoginToServer(session, domain_, ip_, port_, localPort_, card_);
    }

    void UseServer() {
        domain_ = "DOM";
        ip_ = "127.0.0.1";
        port_ = std::to_string(Port());
    }

    // A fresh session logs in with the password: the server holds it.
    bool ServerTakes(int mode, const std::string& password) {
        TalqClientAPI probe;
        if (!probe.OpenTalqConnection(static_cast<std::int16_t>(mode), "DOM", "127.0.0.1",
                                      mode == 0 ? Port() : 0, 0, 0, 10))
            return false;
        return probe.TalqLogin("ADMIN", password, 1);
    }

    std::string Stored(const std::string& key) {
        return platform::GetSetting("TALQTech\\VYNClient", "Options", key, "");
    }

    testsupport::ScopedUserStores stores_;
    testsupport::ScopedTempDir dir_;
    platform::ScriptedPrompts prompts_;
    platform::ScopedPrompts scopedPrompts_{prompts_};
    std::string sys_;
    std::unique_ptr<testsupport::ServerProcess> server_;
    std::string domain_, ip_, port_, localPort_, card_;
    std::deque<std::optional<std::string>> newPasswords_;
    std::function<void()> beforeChange_;
    int loginRuns_ = 0;
    int newPswrdRuns_ = 0;
    int strongRule_ = -1;
};

TEST_F(LoginProcedure, RemoteLoginIsRememberedForItsModeOnly) {
    UseServer();
    TalqClientAPI session;
    LoginAnswer first;
    ASSERT_TRUE(Login(session, first)) << session.LastError();
    EXPECT_TRUE(session.IsUserValid());
    EXPECT_TRUE(session.IsRemoteAccess());
    EXPECT_EQ(session.UserName(), "ADMIN");
    EXPECT_EQ(first.shownUser, "");
    EXPECT_EQ(Stored("Access"), "0");
    EXPECT_EQ(Stored("Remember"), "1");
    EXPECT_EQ(mLogin::LoadRememberedLogin(0).userId, "ADMIN");
    EXPECT_EQ(mLogin::LoadRememberedLogin(0).password, "SECRET");
    EXPECT_EQ(mLogin::LoadRememberedLogin(2).userId, "");

    LoginAnswer again;
    again.keepShown = true;
    ASSERT_TRUE(Login(session, again)) << session.LastError();
    EXPECT_EQ(again.shownUser, "ADMIN");
    EXPECT_EQ(again.shownPassword, "SECRET");
    EXPECT_EQ(again.shownMode, 0);
    EXPECT_TRUE(again.shownRemember);
    EXPECT_EQ(newPswrdRuns_, 0) << "no change wished, none forced";
}

TEST_F(LoginProcedure, EachLocalModeLogsInThroughTheLibraryAndKeepsItsOwnLogin) {
    TalqClientAPI session;
    for (int mode : {1, 2}) {
        LoginAnswer answer;
        answer.mode = mode;
        answer.user = mode == 1 ? "ADMIN" : "admin";
        ASSERT_TRUE(Login(session, answer)) << mode << " " << session.LastError();
        EXPECT_FALSE(session.IsRemoteAccess());
        EXPECT_TRUE(session.IsUserValid());
        EXPECT_EQ(Stored("Access"), std::to_string(mode));
        EXPECT_NE(session.GetTalqProjectList(1), "") << "the session works";
    }
    EXPECT_EQ(mLogin::LoadRememberedLogin(1).userId, "ADMIN");
    EXPECT_EQ(mLogin::LoadRememberedLogin(2).userId, "admin");

    LoginAnswer shown;
    shown.mode = 2;
    shown.keepShown = true;
    ASSERT_TRUE(Login(session, shown));
    EXPECT_EQ(shown.shownMode, 2) << "the last mode is offered";
    EXPECT_EQ(shown.shownUser, "admin");
}

TEST_F(LoginProcedure, AServerWithoutRememberedLoginsErasesTheModesLogin) {
    mLogin::SaveRememberedLogin(2, "ADMIN", "SECRET");
    mLogin::SaveRememberedLogin(1, "OTHER", "PW");
    SetExtFlags(kChange);
    TalqClientAPI session;
    LoginAnswer answer;
    answer.mode = 2;
    answer.remember = true;
    ASSERT_TRUE(Login(session, answer)) << session.LastError();
    EXPECT_EQ(mLogin::LoadRememberedLogin(2).userId, "");
    EXPECT_EQ(mLogin::LoadRememberedLogin(2).password, "");
    EXPECT_EQ(mLogin::LoadRememberedLogin(1).userId, "OTHER") << "other modes keep theirs";
    EXPECT_EQ(Stored("Remember"), "0");
}

TEST_F(LoginProcedure, AChangeWishIsIgnoredWhenTheServerDisablesChanges) {
    SetExtFlags(kRemember);
    UseServer();
    TalqClientAPI session;
    LoginAnswer answer;
    answer.change = true;
    ASSERT_TRUE(Login(session, answer)) << session.LastError();
    EXPECT_EQ(newPswrdRuns_, 0);
    EXPECT_EQ(session.UserPswrd(), "SECRET");
}

TEST_F(LoginProcedure, AChangedPasswordIsUsedByTheSessionAndRemembered) {
    for (int mode : {0, 2}) {
        SCOPED_TRACE(mode);
        if (mode == 0) UseServer();
        TalqClientAPI session;
        LoginAnswer answer;
        answer.mode = mode;
        answer.password = mode == 0 ? "SECRET" : "new pw";
        answer.change = true;
        newPasswords_ = {mode == 0 ? "new pw" : "SECRET"};
        ASSERT_TRUE(Login(session, answer)) << session.LastError();
        EXPECT_EQ(newPswrdRuns_, 1);
        EXPECT_EQ(strongRule_, 0);
        std::string now = mode == 0 ? "new pw" : "SECRET";
        EXPECT_EQ(session.UserPswrd(), now);
        EXPECT_NE(session.GetTalqProjectList(1), "") << "later commands carry the new password";
        EXPECT_TRUE(session.SelectProject("Demo Project")) << session.LastError();
        EXPECT_EQ(mLogin::LoadRememberedLogin(mode).password, now);
        EXPECT_TRUE(ServerTakes(mode, now));
        EXPECT_FALSE(ServerTakes(mode, answer.password));
    }
}

TEST_F(LoginProcedure, AWeakPasswordForcesAChangeWhenStrongPasswordsAreRequired) {
    SetExtFlags(kRemember | kChange | kStrong);
    UseServer();
    TalqClientAPI session;
    LoginAnswer answer;  // "SECRET": letters only
    newPasswords_ = {"abc123"};
    ASSERT_TRUE(Login(session, answer)) << session.LastError();
    EXPECT_EQ(newPswrdRuns_, 1);
    EXPECT_EQ(strongRule_, 1);
    EXPECT_EQ(session.UserPswrd(), "abc123");
    EXPECT_EQ(mLogin::LoadRememberedLogin(0).password, "abc123");
    EXPECT_NE(session.GetTalqProjectList(1), "");

    LoginAnswer strong;
    strong.password = "abc123";
    ASSERT_TRUE(Login(session, strong)) << session.LastError();
    EXPECT_EQ(newPswrdRuns_, 0) << "a strong password is not forced to change";
}

TEST_F(LoginProcedure, AWeakPasswordKeptDropsTheUserWithoutAskingTheServer) {
    SetExtFlags(kRemember | kChange | kStrong);
    mLogin::SaveRememberedLogin(0, "ADMIN", "SECRET");
    UseServer();
    TalqClientAPI session;
    session.DisplayErrorMsgs(true);
    session.timeout(60);
    LoginAnswer answer;
    newPasswords_ = {std::nullopt};
    EXPECT_FALSE(Login(session, answer));
    EXPECT_EQ(newPswrdRuns_, 1);
    EXPECT_FALSE(session.IsUserValid());
    EXPECT_FALSE(session.IsProjectValid());
    EXPECT_EQ(session.UserName(), "");
    EXPECT_EQ(session.UserPswrd(), "");
    EXPECT_EQ(session.timeout(), 60);
    EXPECT_TRUE(prompts_.Messages().empty()) << "no made-up login was refused";
    EXPECT_EQ(mLogin::LoadRememberedLogin(0).password, "SECRET") << "a failed login keeps it";

    // The user may try again on the same session.
    LoginAnswer retry;
    retry.password = "SECRET";
    newPasswords_ = {"xyz789"};
    EXPECT_TRUE(Login(session, retry)) << session.LastError();
    EXPECT_EQ(session.UserPswrd(), "xyz789");
}

TEST_F(LoginProcedure, ARefusedChangeKeepsTheOldPassword) {
    UseServer();
    TalqClientAPI session;
    LoginAnswer answer;
    answer.change = true;
    newPasswords_ = {"other1"};
    // The server's policy changes while the dialog is open.
    beforeChange_ = [this] { SetExtFlags(kRemember); };
    ASSERT_TRUE(Login(session, answer)) << session.LastError();
    EXPECT_EQ(prompts_.Messages(),
              std::vector<std::string>{"Unable to Change Password\nPassword Changes Not Enabled"});
    EXPECT_EQ(prompts_.Records().back().style, platform::vbCritical);
    EXPECT_EQ(prompts_.Records().back().title, "Warning");
    EXPECT_EQ(session.UserPswrd(), "SECRET");
    EXPECT_EQ(mLogin::LoadRememberedLogin(0).password, "SECRET");
    EXPECT_TRUE(ServerTakes(0, "SECRET"));
}

TEST_F(LoginProcedure, AFailedLoginLeavesTheTimeoutAsItWas) {
    UseServer();
    TalqClientAPI session;
    session.timeout(45);
    LoginAnswer wrong;
    wrong.password = "wrong";
    EXPECT_FALSE(Login(session, wrong));
    EXPECT_FALSE(session.IsUserValid());
    EXPECT_EQ(session.timeout(), 45);
    EXPECT_EQ(mLogin::LoadRememberedLogin(0).userId, "") << "nothing remembered";

    domain_.clear();  // the connection cannot be opened
    EXPECT_FALSE(Login(session, wrong));
    EXPECT_EQ(session.timeout(), 45);

    UseServer();
    LoginAnswer right;
    ASSERT_TRUE(Login(session, right));
    EXPECT_EQ(session.timeout(), 45);

    TalqClientAPI unset;
    ASSERT_TRUE(Login(unset, right));
    EXPECT_EQ(unset.timeout(), 120) << "an unset time-out comes back as two minutes";
}

TEST_F(LoginProcedure, CancelClosesTheSessionAndStoresNothing) {
    UseServer();
    TalqClientAPI session;
    LoginAnswer first;
    first.mode = 0;
    ASSERT_TRUE(Login(session, first));
    mLogin::SaveAccessMode(2);
    LoginAnswer cancel;
    cancel.cancel = true;
    cancel.mode = 1;
    EXPECT_FALSE(Login(session, cancel));
    EXPECT_FALSE(session.IsUserValid());
    EXPECT_EQ(session.GetTalqProjectList(1), "") << "the connection is closed";
    EXPECT_EQ(Stored("Access"), "2");
    EXPECT_EQ(mLogin::LoadRememberedLogin(0).userId, "ADMIN");
}

TEST_F(LoginProcedure, NoLoginWhileARequestIsInProcess) {
    TalqClientAPI session;
    session.SetRequestLock();
    LoginAnswer answer;
    EXPECT_FALSE(Login(session, answer));
    EXPECT_EQ(loginRuns_, 0);
    EXPECT_EQ(prompts_.Beeps(), 1);
    session.ReleaseRequestLock();
}

TEST_F(LoginProcedure, MissingConnectionValuesComeFromTheDefaultsAndAConfirmedEditIsStored) {
    int port = Port();
    mNetDefaults::SaveNetDefaults("DOM", "127.0.0.1", "1", "0", "0");
    int configRuns = 0;
    talq::DialogFactory<frmConfig>::Scoped config(testsupport::ScriptedMaker<frmConfig>(
        [port](frmConfig& dlg) {
            EXPECT_EQ(dlg.txtIPAddress->text(), "127.0.0.1") << "filled from the defaults";
            dlg.txtPort->setText(QString::number(port));
            dlg.cmdOK_Click();
        },
        &configRuns));
    TalqClientAPI session;
    LoginAnswer answer;
    talq::DialogFactory<frmLogin>::Scoped login(
        testsupport::ScriptedMaker<frmLogin>([](frmLogin& dlg) {
            dlg.txtUserID->setText("ADMIN");
            dlg.txtPassword->setText("SECRET");
            dlg.mnu_config_Click();
            dlg.cmdOK_Click();
        }));
    std::string domain, ip, ipPort, localPort, card;
    ASSERT_TRUE(mLogin::LoginToServer(session, domain, ip, ipPort, localPort, card))
        << session.LastError();
    EXPECT_EQ(configRuns, 1);
    EXPECT_EQ(ip, "127.0.0.1");
    EXPECT_EQ(ipPort, std::to_string(port));
    std::string d, i, p, l, c;
    mNetDefaults::LoadNetDefaults(d, i, p, l, c);
    EXPECT_EQ(p, std::to_string(port)) << "the confirmed configuration is stored";
}

}  // namespace

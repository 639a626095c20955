#include <gtest/gtest.h>

#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>

#include "platform/scripted_prompts.h"
#include "platform/settings_store.h"
#include "server/login_rules.h"
#include "server/widgets/frm_cfg_local.h"
#include "server/widgets/frm_config.h"
#include "server/widgets/frm_login.h"
#include "server/widgets/frm_new_pswrd.h"
#include "support/scoped_env.h"
#include "support/scripted_dialog.h"

namespace {

class LoginDialogs : public ::testing::Test {
  protected:
    testsupport::ScopedUserStores stores;
    platform::ScriptedPrompts prompts;
    platform::ScopedPrompts scopedPrompts{prompts};
};

std::string Text(const QLineEdit* box) {
    return box->text().toStdString();
}

std::vector<std::string> Items(const QComboBox* combo) {
    std::vector<std::string> items;
    for (int i = 0; i < combo->count(); ++i) items.push_back(combo->itemText(i).toStdString());
    return items;
}

// ------------------------------------------------------------------ frmLogin

TEST_F(LoginDialogs, LoginShowsTheCallersLoginAndOffersTheLocalModes) {
    frmLogin dlg;
    dlg.UserID = "ADMIN";
    dlg.Password = "SECRET";
    dlg.RememberLogin = 1;
    dlg.AccessMode = 2;
    dlg.Load();
    EXPECT_EQ(dlg.windowTitle(), "User Login");
    EXPECT_EQ(Text(dlg.txtUserID), "ADMIN") << "the remembered login is not replaced at load";
    EXPECT_EQ(Text(dlg.txtPassword), "SECRET");
    EXPECT_EQ(dlg.txtPassword->echoMode(), QLineEdit::Password);
    EXPECT_EQ(Items(dlg.Combo1), (std::vector<std::string>{"Remote Server (TCP/IP)",
                                                           "Network Drive", "Local Hard Drive"}));
    EXPECT_TRUE(dlg.Combo1->isEnabled());
    EXPECT_EQ(dlg.Combo1->currentIndex(), 2);
    EXPECT_EQ(dlg.AccessMode, 2);
    EXPECT_TRUE(dlg.Check1->isChecked());
    EXPECT_FALSE(dlg.Check2->isChecked());
    EXPECT_EQ(dlg.Cancelled, 0);
    EXPECT_EQ(dlg.ConfigChanged, 0);
}

TEST_F(LoginDialogs, WithoutTheLocalLibraryOnlyRemoteIsOfferedAndUsed) {
    mLogin::SaveRememberedLogin(0, "remote", "rpw");
    for (int stored : {1, 2, 5}) {
        frmLogin dlg;
        dlg.LocalLibraryName = "libno-such-library.so";
        dlg.AccessMode = stored;
        dlg.UserID = "local";
        dlg.Password = "lpw";
        dlg.Load();
        EXPECT_EQ(Text(dlg.txtUserID), "remote") << "the login of the mode in use is shown";
        EXPECT_EQ(Text(dlg.txtPassword), "rpw");
        EXPECT_EQ(Items(dlg.Combo1), std::vector<std::string>{"Remote Server (TCP/IP)"});
        EXPECT_FALSE(dlg.Combo1->isEnabled());
        EXPECT_EQ(dlg.AccessMode, 0) << stored;
        EXPECT_EQ(dlg.Combo1->currentIndex(), 0);
    }
}

TEST_F(LoginDialogs, ChoosingAModeShowsThatModesRememberedLogin) {
    mLogin::SaveRememberedLogin(1, "netuser", "netpw");
    frmLogin dlg;
    dlg.UserID = "typed";
    dlg.Load();
    dlg.Combo1->setCurrentIndex(1);
    EXPECT_EQ(dlg.AccessMode, 1);
    EXPECT_EQ(Text(dlg.txtUserID), "netuser");
    EXPECT_EQ(Text(dlg.txtPassword), "netpw");
    dlg.Combo1->setCurrentIndex(2);
    EXPECT_EQ(Text(dlg.txtUserID), "") << "nothing remembered for local";
    EXPECT_EQ(Text(dlg.txtPassword), "");
}

TEST_F(LoginDialogs, OkReturnsTheLoginAsTypedWithTheChoices) {
    frmLogin dlg;
    dlg.IPAddress = "10.0.0.1";
    dlg.Load();
    dlg.txtUserID->setText(" admin ");
    dlg.txtPassword->setText("pw with blanks ");
    dlg.Check1->setChecked(true);
    dlg.Check2->setChecked(true);
    dlg.cmdOK->click();
    EXPECT_EQ(dlg.result(), QDialog::Accepted);
    EXPECT_EQ(dlg.UserID, " admin ");
    EXPECT_EQ(dlg.Password, "pw with blanks ");
    EXPECT_EQ(dlg.RememberLogin, 1);
    EXPECT_EQ(dlg.ChangePassword, -1);
    EXPECT_EQ(dlg.Cancelled, 0);
}

TEST_F(LoginDialogs, OkRefusesUserIdsAndPasswordsTheServerCouldNotTakeApart) {
    struct Case {
        std::string user, password, message;
    } cases[] = {
        {"AD,MIN", "pw", "Invalid Character in User ID"},
        {std::string("AD\tMIN"), "pw", "Invalid Character in User ID"},
        {"ADMIN", "p,w", "Invalid Character in Password"},
        {"ADMIN", std::string("p\x1fw"), "Invalid Character in Password"},
    };
    for (const Case& c : cases) {
        prompts.Clear();
        frmLogin dlg;
        dlg.IPAddress = "10.0.0.1";
        dlg.UserID = "keep";
        dlg.Load();
        dlg.txtUserID->setText(QString::fromLatin1(c.user.c_str()));
        dlg.txtPassword->setText(QString::fromLatin1(c.password.c_str()));
        dlg.cmdOK_Click();
        ASSERT_EQ(prompts.Messages(), std::vector<std::string>{c.message}) << c.user;
        EXPECT_EQ(prompts.Records().back().style, platform::vbCritical);
        EXPECT_EQ(prompts.Records().back().title, "Warning");
        EXPECT_EQ(prompts.Beeps(), 1);
        EXPECT_NE(dlg.result(), QDialog::Accepted);
        EXPECT_EQ(dlg.UserID, "keep");
    }
}

TEST_F(LoginDialogs, OkWithoutAnAddressAsksForTheConfigurationFirst) {
    bool confirm = false;
    int runs = 0;
    talq::DialogFactory<frmConfig>::Scoped scoped(testsupport::ScriptedMaker<frmConfig>(
        [&confirm](frmConfig& config) {
            if (!confirm) {
                config.cmdCancel_Click();
                return;
            }
            config.txtIPAddress->setText("10.0.0.5");
            config.txtPort->setText("7005");
            config.txtDomain->setText("DOM");
            config.txtLocalPort->setText("3x");
            config.cmdOK_Click();
        },
        &runs));
    frmLogin dlg;
    dlg.Load();
    dlg.txtUserID->setText("ADMIN");
    dlg.cmdOK_Click();
    EXPECT_EQ(runs, 1);
    EXPECT_NE(dlg.result(), QDialog::Accepted) << "no domain yet: the dialog stays";
    EXPECT_EQ(dlg.ConfigChanged, 0);

    confirm = true;
    dlg.cmdOK_Click();
    EXPECT_EQ(runs, 2);
    EXPECT_EQ(dlg.result(), QDialog::Accepted);
    EXPECT_EQ(dlg.ConfigChanged, 1);
    EXPECT_EQ(dlg.IPAddress, "10.0.0.5");
    EXPECT_EQ(dlg.IPPort, "7005");
    EXPECT_EQ(dlg.DomainName, "DOM");
    EXPECT_EQ(dlg.LocalPort, "3");
    EXPECT_EQ(dlg.NetworkCard, "0");
    EXPECT_EQ(dlg.UserID, "ADMIN");
}

TEST_F(LoginDialogs, ConfigureOpensTheDialogOfTheChosenMode) {
    int tcpRuns = 0;
    std::vector<int> localModes;
    talq::DialogFactory<frmConfig>::Scoped tcp(testsupport::ScriptedMaker<frmConfig>(
        [](frmConfig& config) {
            EXPECT_EQ(Text(config.txtIPAddress), "10.0.0.1");
            config.cmdCancel_Click();
        },
        &tcpRuns));
    talq::DialogFactory<frmCfgLocal>::Scoped local(
        testsupport::ScriptedMaker<frmCfgLocal>([&localModes](frmCfgLocal& config) {
            localModes.push_back(config.AccessMode);
            config.cmdCancel_Click();
        }));
    frmLogin dlg;
    dlg.IPAddress = "10.0.0.1";
    dlg.Load();
    dlg.mnu_config->trigger();
    EXPECT_EQ(tcpRuns, 1);
    EXPECT_EQ(dlg.ConfigChanged, 0) << "a cancelled configuration changes nothing";
    EXPECT_EQ(dlg.IPAddress, "10.0.0.1");
    dlg.Combo1->setCurrentIndex(1);
    dlg.mnu_config->trigger();
    dlg.Combo1->setCurrentIndex(2);
    dlg.mnu_config->trigger();
    EXPECT_EQ(localModes, (std::vector<int>{1, 2}));
    EXPECT_EQ(tcpRuns, 1);
}

TEST_F(LoginDialogs, ClearUserIdForgetsEveryModeAndKeepsTheDialogOpen) {
    for (int mode = 0; mode <= 2; ++mode) mLogin::SaveRememberedLogin(mode, "u", "p");
    mLogin::SaveRememberFlag(true);
    frmLogin dlg;
    dlg.UserID = "u";
    dlg.Password = "p";
    dlg.Load();
    dlg.cmdClear->trigger();
    EXPECT_EQ(Text(dlg.txtUserID), "");
    EXPECT_EQ(Text(dlg.txtPassword), "");
    for (int mode = 0; mode <= 2; ++mode) EXPECT_EQ(mLogin::LoadRememberedLogin(mode).userId, "");
    EXPECT_EQ(mLogin::LoadRememberFlag(), 1);
    EXPECT_NE(dlg.result(), QDialog::Accepted);
    EXPECT_EQ(dlg.Cancelled, 0);
}

TEST_F(LoginDialogs, CancelAndTheCloseButtonCancelTheLogin) {
    frmLogin cancelled;
    cancelled.Load();
    cancelled.txtUserID->setText("typed");
    cancelled.cmdCancel->click();
    EXPECT_EQ(cancelled.Cancelled, 1);
    EXPECT_EQ(cancelled.UserID, "");

    frmLogin closed;
    closed.show();
    closed.close();
    EXPECT_EQ(closed.Cancelled, 1);
}

// --------------------------------------------------------------- frmNewPswrd

struct NewPswrdCase {
    const char* first;
    const char* second;
    int strong;
    const char* message;
};

TEST_F(LoginDialogs, NewPasswordRefusalsWarnAndEmptyBothBoxes) {
    const char* strength =
        "Password must be at least 6 characters and contain\n"
        "at least one ALHPA character and one NUMERIC digit.\n"
        "The special characters !#$%_-. are also allowed.";
    const char* chars =
        "Password must be contain only ALHPA-NUMERIC characters.\n"
        "The special characters !#$%_-. are also allowed.";
    NewPswrdCase cases[] = {
        {"abc123", "abc124", 0, "Password was incorrectly entered."},
        {"abc123", "ABC123", 1, "Password was incorrectly entered."},
        {"abcdef", "abcdef", 1, strength},
        {"", "", 1, strength},
        {"ab,123", "ab,123", 0, chars},
        {"ab\"123", "ab\"123", 1, chars},
        {"caf\xc3\xa9"
         "1",
         "caf\xc3\xa9"
         "1",
         0, chars},
    };
    for (const NewPswrdCase& c : cases) {
        prompts.Clear();
        frmNewPswrd dlg;
        dlg.StrongRule = c.strong;
        dlg.Load();
        dlg.Text1->setText(QString::fromUtf8(c.first));
        dlg.Text2->setText(QString::fromUtf8(c.second));
        dlg.cmdOK_Click();
        ASSERT_EQ(prompts.Messages(), std::vector<std::string>{c.message}) << c.first;
        EXPECT_EQ(prompts.Records().back().style, platform::vbCritical);
        EXPECT_EQ(prompts.Records().back().title, "Warning");
        EXPECT_EQ(prompts.Beeps(), 1);
        EXPECT_EQ(Text(dlg.Text1), "");
        EXPECT_EQ(Text(dlg.Text2), "");
        EXPECT_NE(dlg.result(), QDialog::Accepted);
        EXPECT_EQ(dlg.NewPassword, "");
    }
}

TEST_F(LoginDialogs, NewPasswordIsTrimmedAndMayHoldBlanksAndSpecials) {
    frmNewPswrd dlg;
    dlg.StrongRule = 1;
    dlg.Load();
    EXPECT_EQ(dlg.windowTitle(), "Change User Password");
    EXPECT_EQ(dlg.Text1->echoMode(), QLineEdit::Password);
    EXPECT_EQ(dlg.Text2->maxLength(), 30);
    dlg.Text1->setText(" new pw 1!#$%_-. ");
    dlg.Text2->setText("new pw 1!#$%_-.");
    dlg.cmdOK_Click();
    EXPECT_EQ(dlg.result(), QDialog::Accepted);
    EXPECT_EQ(dlg.NewPassword, "new pw 1!#$%_-.");
    EXPECT_EQ(dlg.Cancelled, 0);
    EXPECT_TRUE(prompts.Records().empty());
}

TEST_F(LoginDialogs, RemovingThePasswordIsAskedFirst) {
    frmNewPswrd dlg;
    dlg.Load();
    dlg.Text1->setText(" ");
    prompts.QueueAnswer(platform::vbNo);
    dlg.cmdOK_Click();
    ASSERT_EQ(prompts.Messages(),
              std::vector<std::string>{"Are you SURE you want to REMOVE your Password?"});
    EXPECT_EQ(prompts.Records().back().style,
              platform::vbYesNo | platform::vbQuestion | platform::vbDefaultButton2);
    EXPECT_EQ(prompts.Records().back().title, "Warning");
    EXPECT_NE(dlg.result(), QDialog::Accepted);
    EXPECT_EQ(Text(dlg.Text1), " ") << "No keeps what was typed";

    prompts.QueueAnswer(platform::vbYes);
    dlg.cmdOK_Click();
    EXPECT_EQ(dlg.result(), QDialog::Accepted);
    EXPECT_EQ(dlg.NewPassword, "");
    EXPECT_EQ(dlg.Cancelled, 0);
}

TEST_F(LoginDialogs, NewPasswordCancelAndCloseButtonAreCancel) {
    frmNewPswrd cancelled;
    cancelled.Load();
    cancelled.Text1->setText("abc123");
    cancelled.Text2->setText("abc123");
    cancelled.cmdCancel->click();
    EXPECT_EQ(cancelled.Cancelled, 1);
    EXPECT_EQ(cancelled.NewPassword, "");

    frmNewPswrd closed;
    closed.show();
    closed.close();
    EXPECT_EQ(closed.Cancelled, 1);
}

}  // namespace

#include <gtest/gtest.h>

#include <QAction>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QTimer>

#include "foundation/widgets/generic_dialogs.h"
#include "platform/scripted_prompts.h"
#include "platform/settings_store.h"
#include "server/net_defaults.h"
#include "server/widgets/frm_cfg_local.h"
#include "server/widgets/frm_config.h"
#include "support/fake_dialog_runner.h"
#include "support/scoped_env.h"
#include "support/scripted_dialog.h"

using namespace mNetDefaults;

namespace {

class ConfigDialogs : public ::testing::Test {
  protected:
    testsupport::ScopedUserStores stores;
    platform::ScriptedPrompts prompts;
    platform::ScopedPrompts scopedPrompts{prompts};
};

// A pick list that chooses the line holding the text, or cancels; it records
// what it was offered.
struct PickScript {
    explicit PickScript(std::string text) : choose(std::move(text)) {}
    std::string choose;
    std::string title;
    std::string items;
    void operator()(frmListBox& box) {
        title = box.windowTitle().toStdString();
        items.clear();
        for (int i = 0; i < box.List1->count(); ++i) {
            if (i > 0) items += ',';
            items += box.List1->item(i)->text().toStdString();
        }
        if (choose.empty()) {
            box.cmdCancel_Click();
            return;
        }
        auto found = box.List1->findItems(QString::fromStdString(choose), Qt::MatchExactly);
        if (!found.isEmpty()) box.List1->setCurrentItem(found.first());
        box.cmdOK_Click();
    }
};

talq::DialogFactory<frmListBox>::Scoped InstallPick(PickScript& pick) {
    return talq::DialogFactory<frmListBox>::Scoped(
        testsupport::ScriptedMaker<frmListBox>([&pick](frmListBox& box) { pick(box); }));
}

void Fill(frmConfig& dlg, const char* ip, const char* port, const char* domain,
          const char* localPort = "", const char* card = "") {
    dlg.txtIPAddress->setText(ip);
    dlg.txtPort->setText(port);
    dlg.txtDomain->setText(domain);
    dlg.txtLocalPort->setText(localPort);
    dlg.txtNetworkCard->setText(card);
}

// ---------------------------------------------------------------- frmConfig

TEST_F(ConfigDialogs, ConfigShowsTheCallersValues) {
    frmConfig dlg;
    dlg.IPAddress = "10.0.0.1";
    dlg.IPPort = "7000";
    dlg.DomainName = "DOM";
    dlg.LocalPort = "0";
    dlg.NetworkCard = "2";
    dlg.Load();
    EXPECT_EQ(dlg.windowTitle(), "Configure IP Address and Domain");
    EXPECT_EQ(dlg.txtIPAddress->text(), "10.0.0.1");
    EXPECT_EQ(dlg.txtPort->text(), "7000");
    EXPECT_EQ(dlg.txtDomain->text(), "DOM");
    EXPECT_EQ(dlg.txtNetworkCard->text(), "2");
    EXPECT_FALSE(dlg.mnuHistory->isEnabled());
}

TEST_F(ConfigDialogs, ConfigRefusalsBeepWarnAndKeepTheDialogOpen) {
    struct Case {
        const char *ip, *port, *domain, *message;
    } cases[] = {
        {" ", "7000", "DOM", "An IP Address is Required"},
        {"10.0.0.1", "0", "DOM", "An IP Port Number is Required"},
        {"10.0.0.1", "x1", "DOM", "An IP Port Number is Required"},
        {"10.0.0.1", "65536", "DOM", "An IP Port Number is Required"},
        {"10.0.0.1", "7000", "", "An TALQ Server Domain Name is Required"},
    };
    for (const Case& c : cases) {
        prompts.Clear();
        frmConfig dlg;
        dlg.IPAddress = "keep";
        dlg.Load();
        Fill(dlg, c.ip, c.port, c.domain);
        dlg.cmdOK_Click();
        ASSERT_EQ(prompts.Messages(), std::vector<std::string>{c.message}) << c.port;
        EXPECT_EQ(prompts.Records().back().style, platform::vbCritical);
        EXPECT_EQ(prompts.Records().back().title, "Warning");
        EXPECT_EQ(prompts.Beeps(), 1);
        EXPECT_NE(dlg.result(), QDialog::Accepted);
        EXPECT_EQ(dlg.IPAddress, "keep");
    }
    EXPECT_FALSE(HasHistory(TcpIpHistory()));
}

TEST_F(ConfigDialogs, ConfigOkStoresTheValuesAndTheHistoryEntry) {
    frmConfig dlg;
    dlg.Load();
    Fill(dlg, " 10.0.0.1 ", "7000", "DOM", "12abc", "");
    dlg.cmdOK_Click();
    EXPECT_EQ(dlg.result(), QDialog::Accepted);
    EXPECT_EQ(dlg.Cancelled, 0);
    EXPECT_EQ(dlg.IPAddress, "10.0.0.1");
    EXPECT_EQ(dlg.IPPort, "7000");
    EXPECT_EQ(dlg.DomainName, "DOM");
    EXPECT_EQ(dlg.LocalPort, "12");
    EXPECT_EQ(dlg.NetworkCard, "0");
    EXPECT_EQ(ReadHistory(TcpIpHistory()), std::vector<std::string>{"10.0.0.1|7000|DOM"});
    EXPECT_TRUE(prompts.Records().empty());
}

TEST_F(ConfigDialogs, ConfigCancelAndCloseButtonChangeNothing) {
    frmConfig cancelled;
    cancelled.IPAddress = "10.0.0.1";
    cancelled.Load();
    Fill(cancelled, "10.9.9.9", "1", "D");
    cancelled.cmdCancel->click();
    EXPECT_EQ(cancelled.Cancelled, 1);
    EXPECT_EQ(cancelled.IPAddress, "10.0.0.1");

    frmConfig closed;
    closed.show();
    Fill(closed, "10.9.9.9", "1", "D");
    closed.close();
    EXPECT_EQ(closed.Cancelled, 1);
    EXPECT_FALSE(HasHistory(TcpIpHistory()));
}

TEST_F(ConfigDialogs, ConfigHistoryFillsTheRequiredBoxesAndMovesTheEntryUp) {
    AddToHistory(TcpIpHistory(), "10.0.0.2|7002|TWO");
    AddToHistory(TcpIpHistory(), "10.0.0.1|7001|ONE");
    PickScript pick{"10.0.0.2|7002|TWO"};
    auto scoped = InstallPick(pick);
    frmConfig dlg;
    dlg.LocalPort = "5";
    dlg.Load();
    EXPECT_TRUE(dlg.mnuHistory->isEnabled());
    dlg.mnuHistory->trigger();
    EXPECT_EQ(pick.title, "Select TCP/IP Configuration");
    EXPECT_EQ(pick.items, "10.0.0.1|7001|ONE,10.0.0.2|7002|TWO");
    EXPECT_EQ(dlg.txtIPAddress->text(), "10.0.0.2");
    EXPECT_EQ(dlg.txtPort->text(), "7002");
    EXPECT_EQ(dlg.txtDomain->text(), "TWO");
    EXPECT_EQ(dlg.txtLocalPort->text(), "5");
    // Moved at once, even though the dialog is then cancelled.
    dlg.cmdCancel_Click();
    EXPECT_EQ(ReadHistory(TcpIpHistory()).front(), "10.0.0.2|7002|TWO");
}

TEST_F(ConfigDialogs, ConfigHistoryCancelledLeavesTheBoxes) {
    AddToHistory(TcpIpHistory(), "10.0.0.2|7002|TWO");
    PickScript pick{""};
    auto scoped = InstallPick(pick);
    frmConfig dlg;
    dlg.IPAddress = "10.0.0.1";
    dlg.Load();
    dlg.mnuHistory_Click();
    EXPECT_EQ(dlg.txtIPAddress->text(), "10.0.0.1");
}

TEST_F(ConfigDialogs, ConfigRunsModallyThroughItsFactory) {
    int runs = 0;
    talq::DialogFactory<frmConfig>::Scoped scoped(testsupport::ScriptedMaker<frmConfig>(
        [](frmConfig& dlg) {
            Fill(dlg, "10.0.0.3", "7003", "THREE");
            dlg.cmdOK_Click();
        },
        &runs));
    auto dlg = talq::DialogFactory<frmConfig>::Create(nullptr);
    EXPECT_EQ(dlg->exec(), QDialog::Accepted);
    EXPECT_EQ(runs, 1);
    EXPECT_EQ(dlg->DomainName, "THREE");
}

// -------------------------------------------------------------- frmCfgLocal

TEST_F(ConfigDialogs, LocalShowsTheStoredDirectoryOfItsMode) {
    SaveSystemDir(1, "/srv/net/");
    frmCfgLocal net;
    net.AccessMode = 1;
    net.Load();
    EXPECT_EQ(net.windowTitle(), "Configure TALQ System Directory");
    EXPECT_EQ(net.Text1->text(), "/srv/net/");
    frmCfgLocal local;
    local.AccessMode = 2;
    local.Load();
    EXPECT_EQ(local.Text1->text(), "");
}

TEST_F(ConfigDialogs, LocalOkAppendsTheLinuxSeparatorAndStores) {
    frmCfgLocal dlg;
    dlg.AccessMode = 2;
    dlg.Load();
    EXPECT_FALSE(dlg.mnuHistory->isEnabled());
    dlg.Text1->setText("  /srv/talq  ");
    dlg.cmdOK_Click();
    EXPECT_EQ(dlg.result(), QDialog::Accepted);
    EXPECT_EQ(LoadSystemDir(2), "/srv/talq/");
    EXPECT_EQ(ReadHistory(SystemDirHistory(2)), std::vector<std::string>{"/srv/talq/"});
}

TEST_F(ConfigDialogs, LocalDirectoryWithEitherSeparatorIsStoredAsTyped) {
    for (const char* typed : {"/srv/talq/", "Z:\\talq\\"}) {
        frmCfgLocal dlg;
        dlg.AccessMode = 1;
        dlg.Load();
        dlg.Text1->setText(typed);
        dlg.cmdOK_Click();
        EXPECT_EQ(LoadSystemDir(1), typed);
    }
}

TEST_F(ConfigDialogs, LocalEmptyDirectoryOrCancelStoresNothing) {
    frmCfgLocal empty;
    empty.AccessMode = 2;
    empty.Load();
    empty.Text1->setText("   ");
    empty.cmdOK_Click();
    EXPECT_EQ(empty.result(), QDialog::Accepted);

    frmCfgLocal cancelled;
    cancelled.AccessMode = 2;
    cancelled.Load();
    cancelled.Text1->setText("/srv/x");
    cancelled.cmdCancel_Click();
    EXPECT_EQ(cancelled.result(), QDialog::Rejected);
    EXPECT_EQ(LoadSystemDir(2), "");
    EXPECT_FALSE(HasHistory(SystemDirHistory(2)));
}

TEST_F(ConfigDialogs, LocalBrowseStartsAtTheAuthFileAndTakesItsFolder) {
    testsupport::FakeDialogRunner runner;
    mComDlg::ScopedDialogRunner scoped(runner);
    runner.files.push_back(mComDlg::FileAnswer{"/mnt/sys/talqauth.sys", 1});
    frmCfgLocal dlg;
    dlg.AccessMode = 1;
    dlg.Load();
    dlg.Text1->setText(" /srv/old ");
    dlg.cmdBrowse->click();
    ASSERT_EQ(runner.fileRequests.size(), 1u);
    const mComDlg::FileRequest& r = runner.fileRequests[0];
    EXPECT_FALSE(r.save);
    EXPECT_EQ(r.folder, "/srv/old");
    EXPECT_EQ(r.fileName, "TALQAUTH.SYS");
    ASSERT_EQ(r.filters.size(), 1u);
    EXPECT_EQ(r.filters[0].description, "AuthFile");
    EXPECT_EQ(r.filters[0].pattern, "*.sys");
    EXPECT_EQ(dlg.Text1->text(), "/mnt/sys/");

    dlg.cmdBrowse_Click();  // cancelled
    EXPECT_EQ(dlg.Text1->text(), "/mnt/sys/");
}

TEST_F(ConfigDialogs, LocalHistoryChoiceGoesIntoTheBoxAndToTheFront) {
    AddToHistory(SystemDirHistory(1), "/a/");
    AddToHistory(SystemDirHistory(1), "/b/");
    PickScript pick{"/a/"};
    auto scoped = InstallPick(pick);
    frmCfgLocal dlg;
    dlg.AccessMode = 1;
    dlg.Load();
    ASSERT_TRUE(dlg.mnuHistory->isEnabled());
    dlg.mnuHistory_Click();
    EXPECT_EQ(pick.title, "Select Network System Directory");
    EXPECT_EQ(dlg.Text1->text(), "/a/");
    EXPECT_EQ(ReadHistory(SystemDirHistory(1)), (std::vector<std::string>{"/a/", "/b/"}));
}

}  // namespace

// The start-up routine: one viewer per user and what its command line asks.
#include "viewer/widgets/startup.h"
#include "foundation/widgets/generic_dialogs.h"
#include "support/scripted_dialog.h"
#include "viewer/frm_view_fixture.h"

namespace {

using testsupport::FrmViewTest;

class StartupTest : public FrmViewTest {
  protected:
    StartupTest() {
        session->loginSucceeds = true;
        session->selectable = {"ACME"};
        session->tempFile = dir_.Path() + "/page.img";
        session->images["K0002"] = "not an image";
    }
    void Start(const std::string& line) { modView::CarryOutCommandLine(*window, line); }
    testsupport::ScopedTempDir dir_;
    int projectLists_ = 0;
    talq::DialogFactory<frmListBox>::Scoped noList_{testsupport::ScriptedMaker<frmListBox>(
        [](frmListBox& d) { d.cmdCancel_Click(); }, &projectLists_)};
};

TEST_F(StartupTest, SwitchesLogInInModeOneSelectTheProjectAndAskForTheKey) {
    Start("-Nann -Psecret -Kfirst|second acme:k0002 -Xignored");
    EXPECT_EQ(session->connections, std::vector<std::string>{"1|10"});
    EXPECT_EQ(session->requestTimeout, 15);
    EXPECT_EQ(session->directLogins, std::vector<std::string>{"ANN|SECRET"});
    EXPECT_EQ(session->logins, 0);
    EXPECT_EQ(window->login.szProjectName, "ACME");
    EXPECT_EQ(session->locksSet, std::vector<std::string>{"K0002"});
    EXPECT_EQ(window->query.QuerySrchStr, "FIRST SECOND");
    EXPECT_FALSE(window->IsInputBlocked());
}

TEST_F(StartupTest, AListFileWithoutAProjectIsNeitherOpenedNorDeleted) {
    session->loginSucceeds = false;
    const std::string list = dir_.Path() + "/Keys.lst";
    testsupport::WriteFile(list, "K0001\n");
    Start("-L" + list + " -Rnowhere");
    EXPECT_EQ(session->logins, 1);  // asked once for the project, never for the list
    EXPECT_TRUE(window->FileExist(list));
}

TEST_F(StartupTest, AQuotedParameterFileIsReadAndDeleted) {
    const std::string file = dir_.Path() + "/Start Up.tlq";
    testsupport::WriteFile(file, "USERID=ann\nPASSWORD=pw\nPROJECT=acme\nK0002\n");
    Start("\"" + file + "\"");
    EXPECT_EQ(session->directLogins, std::vector<std::string>{"ANN|PW"});
    EXPECT_EQ(window->login.szProjectName, "ACME");
    EXPECT_EQ(session->locksSet, std::vector<std::string>{"K0002"});
    EXPECT_FALSE(window->FileExist(file));
}

}  // namespace

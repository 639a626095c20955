// The main window over a real session whose server refuses what the reviewer
// asks, cuts a page off or ends the session: each failure is told once, in
// words, by the action that met it, and a page not shown leaves no wrong
// place in its document.
#include <gtest/gtest.h>

#include <QLabel>
#include <QListWidget>

#include <functional>
#include <string>
#include <vector>

#include "foundation/widgets/generic_dialogs.h"
#include "platform/wire_separators.h"
#include "server/request_frame.h"
#include "server/widgets/frm_login.h"
#include "support/scripted_dialog.h"
#include "support/test_images.h"
#include "viewer/fake_server_window.h"

namespace {

using testsupport::FakeAction;

constexpr char kRange[] =
    "ERROR: Invalid Key Range: K3 is no key of the project; ask the administrator to correct it";

// One document of the pages K1 to K9.
class FrmViewRefusals : public testsupport::FakeServerWindow {
  protected:
    FrmViewRefusals() {
        ShowWindow();
        window->settings.g_CalcDocPsn = 1;
    }

    FakeAction Answer(const std::string& command) override {
        FakeAction a;
        auto is = [&](const char* verb) { return command.rfind(verb, 0) == 0; };
        if (!refusal_.empty() && !is("TALQRemovePageLock")) {
            a.payload = refusal_;
        } else if (!endOn_.empty() && is(endOn_.c_str())) {
            a.payload = RequestFrame::kSessionEnded;
            a.closeAfter = true;
        } else if (is("TALQSendClientImage") && cutImage_) {
            a.silent = a.closeAfter = true;
        } else if (is("TALQNextKey") || is("TALQPrevKey")) {
            const std::string key = Field(command, 4);
            const int step = is("TALQNextKey") ? 1 : -1;
            const int page = key.empty() ? 1 : std::stoi(key.substr(1)) + step;
            a.payload = page >= 1 && page <= pages_ ? "K" + std::to_string(page) : "NONE";
        } else if (AnswerPage(command, image_, a)) {
        } else if (is("TALQGetBoundaryInfo")) {
            a.payload = "K1;K9";
        } else if (is("TALQGetScroll")) {
            a.payload = ",K1,K2,K3,K4,K5,K6,K7,K8,K9";
        } else if (is("TALQGetFolderDescription") || is("TALQGetTagPaletteList")) {
            a.payload = "NONE";
        } else if (is("TALQGetTalqPrjList")) {
            a.payload = "Alpha";
        } else if (is("TALQGetAnnotations")) {
            a.payload = std::string(1, wire::kSectionSep);
        } else if (is("TALQSetPageLock")) {
            a.payload = lockReply_;
        }
        return a;
    }
    static std::string Field(const std::string& command, int n) {
        std::size_t at = 0;
        for (int i = 0; i < n; ++i) at = command.find(',', at) + 1;
        return command.substr(at, command.find(',', at) - at);
    }
    // The list of projects answered by choosing the first.
    static talq::DialogFactory<frmListBox>::Scoped ChooseFirstProject() {
        return talq::DialogFactory<frmListBox>::Scoped(
            testsupport::ScriptedMaker<frmListBox>([](frmListBox& d) {
                d.List1->setCurrentRow(0);
                d.cmdOK_Click();
            }));
    }

    std::string image_ = testsupport::PngBytes(200, 300);
    std::string refusal_, endOn_;
    std::string lockReply_ = "OK";
    bool cutImage_ = false;
    int pages_ = 9;
};

// A page cut off was taken as place 0 and the next page as place 1; the box
// said only that no reply came, and the status called the page read-only.
TEST_F(FrmViewRefusals, APageNotShownLeavesTheRightPlaceAndSaysWhichPageFailed) {
    window->LoadProjectViews();
    ASSERT_TRUE(window->DisplayImage("K3")) << Status();
    EXPECT_EQ(Status(), "K3 (Page 3 of 9)");
    Serve([&] { cutImage_ = true; });
    prompts.QueueInput("K5");
    window->MiscTBar_Click(0);
    EXPECT_EQ(Status(), "K5 *** Bad Image ***");
    EXPECT_EQ(prompts.Messages(),
              std::vector<std::string>{"Unable to Display ImageKey K5\nNo reply from the "
                                       "server: the server closed the connection."});
    Serve([&] { cutImage_ = false; });
    window->NavTBar_Click(1);
    EXPECT_EQ(Status(), "K6 (Page 6 of 9)");
    window->NavTBar_Click(0);
    EXPECT_EQ(Status(), "K5 (Page 5 of 9)");

    // Only a lock the server refused makes the page read-only.
    Serve([&] { lockReply_ = "ERROR: Page Locked by bob"; });
    window->NavTBar_Click(1);
    EXPECT_EQ(Status(), "K6 [READ ONLY] (Page 6 of 9)");
    EXPECT_EQ(prompts.Messages().size(), 1U);
}

// A key range that reaches no page, or rights taken away, were told by
// nothing but a beep or a blank window.
TEST_F(FrmViewRefusals, ARefusedKeyRangeOrRemovedRightsAreToldWithTheServersWords) {
    ASSERT_TRUE(window->DisplayImage("K1")) << Status();
    const struct {
        const char* name;
        std::string refusal;
        std::function<void()> act;
        std::string told;
    } rows[] = {
        {"next, range", kRange, [&] { window->NavTBar_Click(1); },
         std::string("Unable to Obtain Next Image Key\n") + (kRange + 7)},
        {"next, rights", "ERROR: Invalid Project Alpha", [&] { window->NavTBar_Click(1); },
         "Unable to Obtain Next Image Key\nInvalid Project Alpha"},
        {"page, rights", "ERROR: Invalid Project Alpha", [&] { window->DisplayImage("K2"); },
         "Unable to Display ImageKey K2\nInvalid Project Alpha"},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        prompts.Clear();
        Serve([&] { refusal_ = row.refusal; });
        row.act();
        EXPECT_EQ(prompts.Messages(), std::vector<std::string>{row.told});
        EXPECT_EQ(prompts.Beeps(), 1);
    }

    // Chosen again, the project is refused with the same words.
    Serve([&] {
        refusal_.clear();
        projectInfo_ = kRange;
    });
    prompts.Clear();
    {
        auto choose = ChooseFirstProject();
        window->mnu_project_Click();
    }
    EXPECT_EQ(
        prompts.Messages(),
        std::vector<std::string>{std::string("Unable to Select Project Alpha\n") + (kRange + 7)});
    EXPECT_EQ(window->windowTitle(), QStringLiteral("Project Not Selected"));

    // A project with no page to show says so.
    Serve([&] {
        projectInfo_ = testsupport::OneLevelProjectRecord();
        pages_ = 0;
    });
    prompts.Clear();
    {
        auto choose = ChooseFirstProject();
        window->mnu_project_Click();
    }
    EXPECT_TRUE(prompts.Messages().empty());
    EXPECT_EQ(Status(), "No Pages in Project Alpha");
}

// The turn, the print range's lookup and the palette editor told the end of
// the session without taking it, and the next action told it again.
TEST_F(FrmViewRefusals, ASessionEndIsToldOnceByTheActionThatMetIt) {
    talq::DialogFactory<frmLogin>::Scoped login(
        testsupport::ScriptedMaker<frmLogin>([](frmLogin& d) { d.cmdCancel_Click(); }));
    const struct {
        const char* verb;
        std::function<void()> act;
        std::string told;
    } rows[] = {
        {"TALQPutPageInfo", [&] { window->Tbar_Click(8); }, "Unable to set Rotate Flag"},
        {"TALQFindKey",
         [&] {
             window->printDriver.printRequest.g_PrintMode = 0;
             window->printDriver.printRequest.g_PrintRange = 2;
             prompts.QueueInput("K4");
             prompts.QueueInput("");
             window->PrintSelection();
         },
         "Unable to Look Up ImageKey K4"},
        {"TALQGetTagPaletteList", [&] { window->TBTag_Click(0); }, "Error Reading Tag Palette"},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.verb);
        Serve([&] { endOn_.clear(); });
        // The login box asked and cancelled closed the connection.
        if (!api_->IsUserValid())
            ASSERT_TRUE(api_->OpenTalqConnection(0, "DOM", "127.0.0.1", server_.Port(), 0, 0, 10));
        ASSERT_TRUE(api_->TalqLogin("ann", "pw", 1)) << api_->LastError();
        ASSERT_TRUE(api_->SelectProject("Alpha")) << api_->LastError();
        window->LoadProjectViews();
        ASSERT_TRUE(window->DisplayImage("K1")) << Status();
        prompts.Clear();
        Serve([&] { endOn_ = row.verb; });
        row.act();
        EXPECT_EQ(prompts.Messages(),
                  std::vector<std::string>{row.told + "\nPassword Changed, Log In Again"});
        window->MiscTBar_Click(0);
        window->NavTBar_Click(1);
        EXPECT_EQ(prompts.Messages().size(), 1U) << prompts.Messages().back();
    }
}

}  // namespace

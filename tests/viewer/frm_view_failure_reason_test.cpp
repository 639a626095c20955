// The main window over a real session whose server stops answering, refuses
// connections or refuses a change: each failure names what failed and the
// reason the connection or the server gave, once, and nothing is shown done
// that was not stored.
#include <gtest/gtest.h>

#include <QApplication>
#include <QLabel>
#include <QListWidget>

#include <cerrno>
#include <cstring>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "annotations/annotation_edit.h"
#include "annotations/widgets/tag_palette_rows.h"
#include "foundation/widgets/generic_dialogs.h"
#include "navigation/widgets/search_dialogs.h"
#include "platform/clock.h"
#include "platform/event_pump.h"
#include "platform/wire_separators.h"
#include "server/fake_server.h"
#include "server/talq_client_api_test_peer.h"
#include "support/loopback_listener.h"
#include "support/scripted_dialog.h"
#include "support/test_images.h"
#include "viewer/fake_server_window.h"

namespace {

using testsupport::FakeAction;

constexpr char kClosed[] = "No reply from the server: the server closed the connection.";

class FrmViewFailureReason : public testsupport::FakeServerWindow {
  protected:
    FrmViewFailureReason() {
        ShowWindow();
    }

    FakeAction Answer(const std::string& command) override {
        FakeAction a;
        auto is = [&](const char* verb) { return command.rfind(verb, 0) == 0; };
        if (AnswerPage(command, image_, a)) return a;
        if (is("TALQSetPageLock")) {
            a.payload = lockReply_;
        } else if (is("TALQGetAnnotations") && stallLists_) {
            a.silent = true;
        } else if (is("TALQGetAnnotations")) {
            a.payload = std::string(1, wire::kSectionSep);
        } else if (is("TALQGetTagPoolList") && losePool_) {
            a.silent = true;
            a.closeAfter = true;
        } else if (is("TALQGetTagPoolList")) {
            a.payload = pool_;
        } else if (is("TALQGetTagPaletteList")) {
            a.payload = "Hot";
        } else if (is("TALQGetImageTags")) {
            a.payload = "NONE";
        } else if (is("TALQPutPageInfo")) {
            a.payload = rotateReply_;
        } else if (is("TALQGetTalqPrjList")) {
            a.payload = "Alpha";
        } else {
            a.payload = "OK";
        }
        return a;
    }
    // The server goes, and every new connection is refused.
    void RefuseConnections() {
        int port = 0;
        const int fd = testsupport::ListenOnLoopback(port);
        ASSERT_GE(fd, 0);
        ::close(fd);
        TalqClientApiTestPeer::PointAt(*api_, port);
        server_.DropConnections();
    }
    std::string Refused() const {
        return "The request could not be sent: " + std::string(std::strerror(ECONNREFUSED)) + ".";
    }
    bool Sent(const char* verb) const {
        for (const auto& c : server_.Commands())
            if (c.command.rfind(verb, 0) == 0) return true;
        return false;
    }

    std::string image_ = testsupport::PngBytes(200, 300);
    std::string lockReply_ = "OK";
    std::string rotateReply_ = "OK";
    std::string pool_ = "Even,Hot";
    bool losePool_ = false;
    bool stallLists_ = false;
};

// A tag query whose pool cannot be read says so and why, and offers no
// picker; a pool that is really empty is offered as empty.
TEST_F(FrmViewFailureReason, ATagPoolThatCannotBeReadIsToldNotShownAsEmpty) {
    int runs = 0;
    std::vector<std::string> offered;
    talq::DialogFactory<navigation::frmSelTag>::Scoped picker(
        testsupport::ScriptedMaker<navigation::frmSelTag>(
            [&](navigation::frmSelTag& d) {
                offered.clear();
                for (int i = 0; i < d.List1->count(); ++i)
                    offered.push_back(d.List1->item(i)->text().toStdString());
                d.cmdCancel_Click();
            },
            &runs));
    Serve([&] { losePool_ = true; });
    window->OpenTagQuery();
    EXPECT_EQ(runs, 0);
    EXPECT_EQ(prompts.Messages(),
              std::vector<std::string>{std::string("Unable to Obtain Issue Tags\n") + kClosed});
    EXPECT_EQ(prompts.Beeps(), 1);

    Serve([&] {
        losePool_ = false;
        pool_ = "NONE";
    });
    window->OpenTagQuery();
    EXPECT_EQ(runs, 1);
    EXPECT_EQ(offered, std::vector<std::string>{"No Issue Tags Defined"});
    EXPECT_EQ(prompts.Messages().size(), 1U);

    RefuseConnections();
    window->OpenTagQuery();
    EXPECT_EQ(runs, 1);
    EXPECT_EQ(prompts.Messages().back(), "Unable to Obtain Issue Tags\n" + Refused());
    EXPECT_EQ(prompts.Messages().size(), 2U);
}

// With the server gone, a tag click, a drawn highlight and a quarter turn
// each say what failed with the refused connection, once; the row stays,
// nothing is drawn and the page is not turned.
TEST_F(FrmViewFailureReason, ChangesOverARefusedConnectionSayWhyAndShowNothingDone) {
    ASSERT_TRUE(window->DisplayImage("K1")) << Status();
    window->panes.TagPal_Active = 1;
    window->InitTagPalette();
    window->UpdateTagPalette("K1");
    ASSERT_EQ(window->tagPalette.rows.Count(), 1);
    const std::int32_t rotation = window->page.g_Rotation;
    const std::int32_t width = window->page.g_ImgWidth;
    const std::int16_t sticky = window->settings.g_StickyRotation;
    RefuseConnections();
    prompts.Clear();
    const struct {
        const char* what;
        std::function<void()> act;
        std::string told;
    } cases[] = {
        {"tag", [&] { window->Tag_BMP_Click(1); }, "Error Updating Issue Tag"},
        {"highlight",
         [&] {
             window->project.RedactMode = annotations::kToolHighlight;
             window->picImage_MouseDown(1, 0, 20 * 15, 20 * 15);
             window->picImage_MouseMove(1, 0, 90 * 15, 60 * 15);
             window->picImage_MouseUp(1, 0, 90 * 15, 60 * 15);
             window->project.RedactMode = 0;
         },
         "Unable to Save Annotations"},
        {"rotate", [&] { window->Tbar_Click(8); }, "Unable to set Rotate Flag"},
    };
    for (const auto& c : cases) {
        prompts.Clear();
        c.act();
        EXPECT_EQ(prompts.Messages(), std::vector<std::string>{c.told + "\n" + Refused()})
            << c.what;
        EXPECT_EQ(prompts.Beeps(), 1) << c.what;
    }
    EXPECT_FALSE(window->tagPalette.rows.IsOn(1));
    EXPECT_EQ(window->pageAnnotations[kHighlight].count, 0);
    EXPECT_EQ(window->page.g_Rotation, rotation);
    EXPECT_EQ(window->page.g_ImgWidth, width);
    EXPECT_EQ(window->settings.g_StickyRotation, sticky);
}

// A save whose lists get no answer in time says so, not the session's
// "Invalid Data Returned" nor nothing at all.
TEST_F(FrmViewFailureReason, ASaveThatStallsTellsTheTimeOut) {
    ASSERT_TRUE(window->DisplayImage("K1")) << Status();
    Serve([&] { stallLists_ = true; });
    platform::ManualClock clock;
    platform::ScopedClock useClock(clock);
    platform::CallbackEventPump pump([&] { clock.AdvanceSeconds(1); });
    platform::ScopedEventPump usePump(pump);
    window->project.RedactMode = annotations::kToolHighlight;
    window->picImage_MouseDown(1, 0, 20 * 15, 20 * 15);
    window->picImage_MouseMove(1, 0, 90 * 15, 60 * 15);
    window->picImage_MouseUp(1, 0, 90 * 15, 60 * 15);
    EXPECT_EQ(prompts.Messages(),
              std::vector<std::string>{"Unable to Save Annotations\nNo reply from the server "
                                       "within 10 seconds."});
    EXPECT_EQ(prompts.Beeps(), 1);
    EXPECT_EQ(window->pageAnnotations[kHighlight].count, 0);
}

// After a restart the page's lock is looked at before a turn: taken by
// another, the turn is refused with the server's words and the page shown
// read-only, unturned; a turn the server refuses itself is not shown either.
TEST_F(FrmViewFailureReason, ATurnOfAPageTakenByAnotherIsRefusedWithTheServersReason) {
    ASSERT_TRUE(window->DisplayImage("K1")) << Status();
    const std::int32_t rotation = window->page.g_Rotation;
    server_.DropConnections();
    Serve([&] { lockReply_ = "ERROR: Page Locked by editor"; });
    window->Tbar_Click(8);
    EXPECT_EQ(prompts.Messages(),
              std::vector<std::string>{"Unable to set Rotate Flag\nPage Locked by editor"});
    EXPECT_EQ(window->page.g_Rotation, rotation);
    EXPECT_FALSE(Sent("TALQPutPageInfo")) << "nothing stored";
    EXPECT_NE(Status().find("[READ ONLY]"), std::string::npos) << Status();
    EXPECT_EQ(window->page.lockLostUntold, "") << "told again at the next drawing";

    // Read-only, a turn is the viewer's own and goes nowhere.
    window->Tbar_Click(8);
    EXPECT_EQ(window->page.g_Rotation, (rotation + 1) % 4);
    EXPECT_FALSE(Sent("TALQPutPageInfo"));
    EXPECT_EQ(prompts.Messages().size(), 1U);

    // The lock had, the server refuses the turn: not shown, and the page
    // read-only from then on.
    Serve([&] {
        lockReply_ = "OK";
        rotateReply_ = "ERROR: Page Locked by editor";
    });
    ASSERT_TRUE(window->DisplayImage("K2")) << Status();
    const std::int32_t before = window->page.g_Rotation;
    window->Tbar_Click(7);
    EXPECT_TRUE(Sent("TALQPutPageInfo"));
    EXPECT_EQ(prompts.Messages().back(), "Unable to set Rotate Flag\nPage Locked by editor");
    EXPECT_EQ(prompts.Messages().size(), 2U);
    EXPECT_EQ(window->page.g_Rotation, before);
    EXPECT_NE(Status().find("[READ ONLY]"), std::string::npos) << Status();

    // Refused naming the reviewer: told as the reviewer's own login.
    Serve([&] { rotateReply_ = "ERROR: Page Locked by ANN"; });
    ASSERT_TRUE(window->DisplayImage("K2")) << Status();
    window->Tbar_Click(7);
    EXPECT_EQ(prompts.Messages().back(),
              "Unable to set Rotate Flag\nPage held by your login on another connection: an "
              "earlier connection of yours the server has not closed yet, or your login in "
              "another place.");
}

// A project the server refused when chosen ended at "Project Not Selected"
// without a word.
TEST_F(FrmViewFailureReason, AProjectRefusedWhenChosenSaysWhy) {
    talq::DialogFactory<frmListBox>::Scoped choose(
        testsupport::ScriptedMaker<frmListBox>([](frmListBox& d) {
            d.List1->setCurrentRow(0);
            d.cmdOK_Click();
        }));
    Serve([&] { projectInfo_ = "ERROR: Invalid Key Range: K3 is no key of the project"; });
    window->mnu_project_Click();
    EXPECT_EQ(prompts.Messages(),
              std::vector<std::string>{"Unable to Select Project Alpha\nInvalid "
                                       "Key Range: K3 is no key of the project"});
    EXPECT_EQ(window->windowTitle(), QStringLiteral("Project Not Selected"));
}

}  // namespace

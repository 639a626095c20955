// The main window over a real session whose server restarts, loses replies
// or cuts them off: the page's lock is known before a drawing begins, and a
// step that got no answer says why.
#include <gtest/gtest.h>

#include <QApplication>
#include <QLabel>

#include <memory>
#include <mutex>
#include <random>
#include <string>

#include "annotations/annotation_edit.h"
#include "platform/rounding.h"
#include "platform/wire_separators.h"
#include "server/fake_server.h"
#include "server/request_frame.h"
#include "server/talq_client_api.h"
#include "support/test_images.h"
#include "viewer/fake_server_window.h"
#include "viewer/widgets/viewer_session.h"

namespace {

using testsupport::FakeAction;
using testsupport::FakeServer;

class FrmViewLostReply : public testsupport::FakeServerWindow {
  protected:
    FrmViewLostReply() {
        window->show();
        window->resize(900, 700);
        QApplication::processEvents();
        window->Form_Resize();
    }

    FakeAction Answer(const std::string& command) override {
        FakeAction a;
        auto is = [&](const char* verb) { return command.rfind(verb, 0) == 0; };
        if (is("TALQFindKey")) {
            a.payload = "4," + command.substr(command.rfind(',') + 1);
        } else if (is("TALQSetPageLock")) {
            a.payload = lockReply_;
        } else if (is("TALQGetPageInfo")) {
            a.payload = "0";
        } else if (is("TALQSendClientImage")) {
            const std::string frame = RequestFrame::Build("1       " + image_, random_);
            if (cutImage_) {
                a.raw = frame.substr(0, frame.size() / 2);
                a.closeAfter = true;
            } else {
                a.payload = "1       " + image_;
            }
        } else if (is("TALQGetWordList")) {
            a.payload = "0,0,0,0,";
        } else if (is("TALQGetAnnotations")) {
            a.payload = std::string(1, wire::kSectionSep);
        } else if (is("TALQNextKey") && loseNextKey_) {
            a.silent = true;
            a.closeAfter = true;
        } else if (is("TALQNextKey")) {
            a.payload = "K2";
        } else {
            a.payload = "ERROR: Not Here";
        }
        return a;
    }
    template <class Change>
    void Serve(Change change) {
        std::lock_guard<std::mutex> lock(mutex_);
        change();
    }
    void StartHighlight() {
        window->project.RedactMode = annotations::kToolHighlight;
        window->picImage_MouseDown(1, 0, 50 * 15, 50 * 15);
    }

    std::mt19937 random_{5};
    std::string image_ = testsupport::PngBytes(200, 300);
    std::string lockReply_ = "OK";
    bool cutImage_ = false;
    bool loseNextKey_ = false;
};

// The server restarted and its database is busy: the lock is neither had
// nor refused, so the page is not read-only, and no drawing begins on it.
TEST_F(FrmViewLostReply, ALockRefusedForADatabaseReasonIsToldWithItNotShownReadOnly) {
    ASSERT_TRUE(window->DisplayImage("K1")) << Status();
    server_.DropConnections();
    Serve([&] { lockReply_ = "ERROR: Database Busy, Try Again"; });
    StartHighlight();
    EXPECT_EQ(window->mouse.MouseTrack, 0);
    EXPECT_EQ(prompts.Messages(),
              std::vector<std::string>{"Unable to Lock Page\nDatabase Busy, Try Again"});
    EXPECT_EQ(window->page.g_PageReadOnly, 0);
    EXPECT_EQ(Status().find("[READ ONLY]"), std::string::npos) << Status();

    // Asked again at the next drawing, which then begins.
    Serve([&] { lockReply_ = "OK"; });
    StartHighlight();
    EXPECT_EQ(window->mouse.MouseTrack, annotations::kToolHighlight);
    EXPECT_EQ(prompts.Messages().size(), 1U);
}

TEST_F(FrmViewLostReply, ANextPageWhoseReplyIsLostSaysWhyAndStaysWhereItWas) {
    ASSERT_TRUE(window->DisplayImage("K1")) << Status();
    Serve([&] { loseNextKey_ = true; });
    window->NavTBar_Click(1);
    EXPECT_EQ(window->page.szCurrentKey, "K1");
    EXPECT_EQ(prompts.Messages(),
              std::vector<std::string>{"Unable to Obtain Next Image Key\n"
                                       "No reply from the server: the server closed the "
                                       "connection."});
    EXPECT_EQ(prompts.Beeps(), 1);

    Serve([&] { loseNextKey_ = false; });
    window->NavTBar_Click(1);
    EXPECT_EQ(window->page.szCurrentKey, "K2");
    EXPECT_EQ(prompts.Messages().size(), 1U);
}

TEST_F(FrmViewLostReply, APageWhoseImageReplyIsCutSaysWhyAndIsShownAgainByAClick) {
    Serve([&] { cutImage_ = true; });
    EXPECT_FALSE(window->DisplayImage("K1"));
    EXPECT_EQ(Status(), "K1 *** Bad Image ***");
    EXPECT_EQ(prompts.Messages(),
              std::vector<std::string>{"The server's reply was cut off: the server closed the "
                                       "connection."});

    Serve([&] { cutImage_ = false; });
    window->project.RedactMode = annotations::kToolHighlight;
    window->picImage_MouseDown(1, 0, 50 * 15, 50 * 15);
    window->picImage_MouseUp(1, 0, 50 * 15, 50 * 15);
    EXPECT_EQ(window->page.g_ValidImage, 1);
    EXPECT_EQ(Status(), "K1");
    StartHighlight();
    EXPECT_EQ(window->mouse.MouseTrack, annotations::kToolHighlight) << "the tool works";
    EXPECT_EQ(prompts.Messages().size(), 1U);
}

}  // namespace

// The main window over a real session whose server restarts, loses replies
// or cuts them off: the page's lock is known before a drawing begins, and a
// step that got no answer says why.
#include <gtest/gtest.h>

#include <QApplication>
#include <QLabel>
#include <QMouseEvent>
#include <QPlainTextEdit>

#include <algorithm>
#include <array>
#include <bit>
#include <chrono>
#include <functional>
#include <tuple>

#include <memory>
#include <mutex>
#include <random>
#include <string>

#include "annotations/annotation_edit.h"
#include "annotations/widgets/note_dialogs.h"
#include "platform/clock.h"
#include "platform/rounding.h"
#include "platform/wire_separators.h"
#include "server/fake_server.h"
#include "server/request_frame.h"
#include "server/talq_client_api.h"
#include "support/scripted_dialog.h"
#include "support/test_images.h"
#include "viewer/fake_server_window.h"
#include "viewer/widgets/viewer_session.h"

namespace {

using testsupport::FakeAction;
using testsupport::FakeServer;

class FrmViewLostReply : public testsupport::FakeServerWindow {
  protected:
    FrmViewLostReply() {
        ShowWindow();
    }

    FakeAction Answer(const std::string& command) override {
        FakeAction a;
        auto is = [&](const char* verb) { return command.rfind(verb, 0) == 0; };
        if (is("TALQSendClientImage") && cutImage_) {
            const std::string frame = RequestFrame::Build("1       " + image_, random_);
            a.raw = frame.substr(0, frame.size() / 2);
            a.closeAfter = true;
            return a;
        }
        if (is("TALQGetPageInfo")) {
            a.payload = pageInfo_;
            return a;
        }
        if (AnswerPage(command, image_, a)) return a;
        if (is("TALQSetPageLock")) {
            a.payload = lockReply_;
        } else if (is("TALQGetAnnotations")) {
            a.payload.clear();
            for (std::size_t i = 0; i < stored_.size(); ++i)
                a.payload += (i == 0 ? "" : std::string(1, wire::kSectionSep)) + stored_[i];
        } else if (is("TALQPutAnnotations") && !putRefusal_.empty()) {
            a.payload = putRefusal_;
        } else if (is("TALQPutAnnotations")) {
            auto [kind, list] = PutAnnotationsOf(command);
            std::replace(list.begin(), list.end(), wire::kCommaSub, ',');
            stored_[static_cast<std::size_t>(std::countr_zero(static_cast<unsigned>(kind)))] = list;
            a.payload = "1";
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
    // A flick of the mouse: its moves and release are queued behind the
    // press before the press is handled, so that a mouse-down waiting on the
    // server finds them already there.
    void QuickDrag(int tool, const std::vector<QPoint>& path) {
        window->project.RedactMode = static_cast<std::int16_t>(tool);
        QWidget* pane = window->ui.picImage;
        auto post = [&](QEvent::Type type, QPoint at, Qt::MouseButton button,
                        Qt::MouseButtons buttons) {
            QCoreApplication::postEvent(
                pane, new QMouseEvent(type, QPointF(at), QPointF(pane->mapToGlobal(at)), button,
                                      buttons, Qt::NoModifier));
        };
        for (std::size_t i = 1; i < path.size(); ++i)
            post(QEvent::MouseMove, path[i], Qt::NoButton, Qt::LeftButton);
        post(QEvent::MouseButtonRelease, path.back(), Qt::LeftButton, Qt::NoButton);
        window->picImage_MouseDown(1, 0, path.front().x() * 15, path.front().y() * 15);
        QApplication::processEvents();
    }
    int Puts() {
        int n = 0;
        for (const testsupport::FakeCommand& c : server_.Commands())
            n += c.command.rfind("TALQPutAnnotations", 0) == 0 ? 1 : 0;
        return n;
    }
    void StartHighlight() {
        window->project.RedactMode = annotations::kToolHighlight;
        window->picImage_MouseDown(1, 0, 50 * 15, 50 * 15);
    }
    // Lets the window's timers run, in real time, until done or ms passed.
    static bool Until(const std::function<bool()>& done, int ms = 5000) {
        const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
        while (!done() && std::chrono::steady_clock::now() < end) QApplication::processEvents();
        return done();
    }
    long Asked(const char* verb) {
        const auto commands = server_.Commands();
        return std::count_if(commands.begin(), commands.end(),
                             [&](const auto& c) { return c.command.rfind(verb, 0) == 0; });
    }
    // The page's text notes as stored.
    void StoreNotes(std::vector<std::string> texts) {
        AnnotationList list(texts.size());
        for (std::size_t i = 0; i < texts.size(); ++i) list[i].Text = texts[i];
        Serve([&] {
            TalqClientAPI_Header::BuildAnnotationList(static_cast<int>(list.size()), list,
                                                      stored_[4]);
        });
    }

    std::mt19937 random_{5};
    std::string image_ = testsupport::PngBytes(200, 300);
    std::string lockReply_ = "OK";
    std::string pageInfo_ = "0";
    bool cutImage_ = false;
    bool loseNextKey_ = false;
    std::string putRefusal_;
    std::array<std::string, 7> stored_;  // one list per kind, by bit
};

// A flick of the mouse after a server restart: its moves and release come
// while the mouse-down logs in again. The drawing is made as drawn, stored
// once, and the tool works for the next one.
TEST_F(FrmViewLostReply, AQuickDragAfterARestartIsDrawnAndStoredAndTheToolIsNotStuck) {
    talq::DialogFactory<annotations::frmAnnot>::Scoped notes(
        testsupport::ScriptedMaker<annotations::frmAnnot>([](annotations::frmAnnot& d) {
            d.Text1->setPlainText("quick");
            d.cmdOK_Click();
        }));
    const std::vector<QPoint> path{{40, 40}, {60, 55}, {80, 70}, {100, 85}};
    for (const auto& [tool, kind] : {std::pair{annotations::kToolHighlight, kHighlight},
                                     {annotations::kToolMarkup, kMarkup},
                                     {annotations::kToolSticky, kStickyNote}}) {
        SCOPED_TRACE(tool);
        Serve([&] { stored_ = {}; });
        ASSERT_TRUE(window->DisplayImage("K1")) << Status();
        const int puts = Puts();
        const int connections = server_.Connections();
        server_.DropConnections();
        QuickDrag(tool, path);
        EXPECT_EQ(server_.Connections(), connections + 1) << "logged in again";
        EXPECT_EQ(Puts(), puts + 1);
        ASSERT_EQ(window->pageAnnotations[kind].count, 1);
        EXPECT_EQ(window->mouse.MouseTrack, 0);
        EXPECT_FALSE(window->mouse.tool);

        // The same drag on a standing connection makes the same mark, each
        // point and the typed text alike.
        QuickDrag(tool, path);
        EXPECT_EQ(Puts(), puts + 2);
        ASSERT_EQ(window->pageAnnotations[kind].count, 2) << "the tool works";
        const AnnotationRec& first = window->pageAnnotations[kind].list[0];
        const AnnotationRec& second = window->pageAnnotations[kind].list[1];
        EXPECT_EQ(std::tie(first.Left, first.Top, first.Right, first.Bottom, first.Text),
                  std::tie(second.Left, second.Top, second.Right, second.Bottom, second.Text));
    }
    EXPECT_TRUE(prompts.Messages().empty()) << prompts.Messages().front();
}

// Another took the page while the link was down: the reviewer's drawing is
// not made, nothing of it shows, and why is told once.
TEST_F(FrmViewLostReply, ADrawingOnAPageTakenDuringAnOutageSaysWhyOnceAndShowsNothing) {
    ASSERT_TRUE(window->DisplayImage("K1")) << Status();
    const QImage before = window->ui.picImage2.Image();
    const int puts = Puts();
    server_.DropConnections();
    Serve([&] { lockReply_ = "ERROR: Page Locked by editor"; });
    const std::vector<QPoint> path{{40, 40}, {70, 60}, {100, 85}};
    QuickDrag(annotations::kToolHighlight, path);
    EXPECT_EQ(prompts.Messages(),
              std::vector<std::string>{"Unable to Lock Page\nPage Locked by editor"});
    EXPECT_EQ(Status(), "K1 [READ ONLY]");
    EXPECT_EQ(window->mouse.MouseTrack, 0);
    EXPECT_TRUE(window->ui.picImage2.Image() == before) << "nothing drawn";

    QuickDrag(annotations::kToolMarkup, path);
    EXPECT_EQ(prompts.Messages().size(), 1U) << "told once";
    EXPECT_EQ(Puts(), puts);
    EXPECT_TRUE(window->ui.picImage2.Image() == before);

    // A page shown again starts afresh: a refusal there is its own.
    ASSERT_TRUE(window->DisplayImage("K1")) << Status();
    QuickDrag(annotations::kToolHighlight, path);
    EXPECT_EQ(prompts.Messages().size(), 1U);
}

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

// A link lost without a close: the server holds the old connection's lock,
// naming the reviewer, until it finds that peer gone. The page says whose it
// most likely is and is taken once freed; the login's viewer elsewhere keeps
// its own.
TEST_F(FrmViewLostReply, TheLostConnectionsLockIsToldAsOwnAndTakenWhenFreedNotAnotherPlaces) {
    platform::ManualClock clock;
    platform::ScopedClock useClock(clock);
    auto loseTheLinkAndDraw = [&] {
        server_.DropConnections();
        Serve([&] {
            lockReply_ = "ERROR: Page Locked by ann" + RequestFrame::LockedOnAnotherConnection(60);
        });
        StartHighlight();
        EXPECT_EQ(window->mouse.MouseTrack, 0);
        EXPECT_EQ(Status(), "K1 [READ ONLY]");
    };
    ASSERT_TRUE(window->DisplayImage("K1")) << Status();
    loseTheLinkAndDraw();
    EXPECT_EQ(prompts.Messages(),
              std::vector<std::string>{
                  "Unable to Lock Page\nPage still held by your earlier connection, unless you "
                  "have it open in another place; the server frees it within 65 seconds, and the "
                  "page turns editable then."});
    Serve([&] { lockReply_ = "OK"; });
    clock.AdvanceSeconds(2);
    EXPECT_TRUE(Until([&] { return Status() == "K1"; }, 5000)) << "not taken when freed";
    StartHighlight();
    EXPECT_EQ(window->mouse.MouseTrack, annotations::kToolHighlight);
    window->picImage_MouseUp(1, 0, 50 * 15, 50 * 15);

    prompts.Clear();
    loseTheLinkAndDraw();
    clock.AdvanceSeconds(66);
    const std::string elsewhere = "Page held by your login in another place.";
    EXPECT_TRUE(Until([&] { return window->page.lockLostUntold == elsewhere; }, 5000));
    const auto asked = Asked("TALQSetPageLock");
    Until([] { return false; }, 600);
    EXPECT_EQ(Asked("TALQSetPageLock"), asked) << "asked for after the server's time";
    StartHighlight();
    EXPECT_EQ(prompts.Messages().back(), "Unable to Lock Page\n" + elsewhere);
    EXPECT_EQ(Status(), "K1 [READ ONLY]");
}

// A new viewer of the reviewer's logs in while the server still holds the lock
// of the one whose link died: the page stayed read-only with no word, never
// asked for again. It is told as the reviewer's own and followed, also past
// another reviewer who takes it meanwhile, and once had shows the lists as
// now stored. A holder that lets go is noticed by the next change; a page
// restricted meanwhile stays read-only.
TEST_F(FrmViewLostReply, AfterANewLoginTheEarlierViewersLockIsFollowedAndThePageReadAgain) {
    platform::ManualClock clock;
    platform::ScopedClock useClock(clock);
    const std::string own =
        "ERROR: Page Locked by ann" + RequestFrame::LockedOnAnotherConnection(60);
    auto lockReply = [&](const std::string& reply) { Serve([&] { lockReply_ = reply; }); };
    lockReply(own);
    StoreNotes({"ANN SEED"});
    ASSERT_TRUE(window->DisplayImage("K1")) << Status();
    StartHighlight();
    EXPECT_EQ(window->mouse.MouseTrack, 0);
    EXPECT_EQ(prompts.Messages().at(0).rfind(
                  "Unable to Lock Page\nPage still held by your earlier connection", 0),
              0U);

    lockReply("ERROR: Page Locked by editor");
    StoreNotes({"EDITOR CHANGED", "EDITOR ADDED"});
    for (int i = 0; i < 4; ++i) {
        const long asked = Asked("TALQSetPageLock");
        clock.AdvanceSeconds(2);
        EXPECT_TRUE(Until([&] { return Asked("TALQSetPageLock") > asked; })) << "follow ended";
    }
    lockReply("OK");
    clock.AdvanceSeconds(2);
    EXPECT_TRUE(Until([&] { return Status() == "K1"; })) << Status();
    EXPECT_EQ(window->pageAnnotations[kTextNote].count, 2) << "the page as stored now";

    // Held by another reviewer when shown, then let go: the next drawing
    // takes the page, with nothing stale told.
    lockReply("ERROR: Page Locked by editor");
    ASSERT_TRUE(window->DisplayImage("K1")) << Status();
    lockReply("OK");
    StoreNotes({"EDITOR AGAIN"});
    prompts.Clear();
    StartHighlight();
    EXPECT_EQ(window->mouse.MouseTrack, annotations::kToolHighlight);
    window->picImage_MouseUp(1, 0, 50 * 15, 50 * 15);
    EXPECT_TRUE(prompts.Messages().empty()) << prompts.Messages().front();
    EXPECT_EQ(window->pageAnnotations[kTextNote].count, 1);

    lockReply(own);
    ASSERT_TRUE(window->DisplayImage("K1")) << Status();
    const long released = Asked("TALQRemovePageLock");
    const std::string r(1, wire::kRecordSep);
    Serve([&] { pageInfo_ = "0" + r + "0" + r + "0" + r + r + "1"; });  // restricted
    lockReply("OK");
    clock.AdvanceSeconds(2);
    EXPECT_TRUE(Until([&] { return Asked("TALQRemovePageLock") > released; }));
    EXPECT_EQ(Status(), "K1 [READ ONLY]");
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
              std::vector<std::string>{"Unable to Display ImageKey K1\nThe server's reply was cut "
                                       "off: the server closed the connection."});

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

// After a SIGTERM every OK in a note's dialog was refused with a bare "Unable
// to Save Annotations" (the save's time counted from the close).
TEST_F(FrmViewLostReply, ANoteOkAfterACloseIsStoredOrToldWhyAndTheCloseFollows) {
    platform::ManualClock clock;
    platform::ScopedClock useClock(clock);
    ASSERT_TRUE(window->DisplayImage("K1")) << Status();
    talq::DialogFactory<annotations::frmAnnot>::Scoped notes(
        testsupport::ScriptedMaker<annotations::frmAnnot>([&](annotations::frmAnnot& d) {
            d.show();                 // modal, as the reviewer has it
            window->CloseWhenIdle();  // the SIGTERM
            clock.AdvanceSeconds(20);
            Serve([&] { putRefusal_ = "ERROR: Disk Full"; });
            d.Text1->setPlainText("typed after the close");
            d.cmdOK_Click();
            EXPECT_TRUE(d.isVisible()) << "the typed text went with the dialog";
            Serve([&] { putRefusal_.clear(); });
            d.cmdOK_Click();
        }));
    QuickDrag(annotations::kToolSticky, {{40, 40}, {60, 55}});
    EXPECT_EQ(prompts.Messages(),
              std::vector<std::string>{"Unable to Save Annotations\nDisk Full"});
    Serve([&] { EXPECT_NE(stored_[0].find("typed after the close"), std::string::npos); });
    window->CloseWhenIdle();  // the window's next look, the dialog gone
    EXPECT_EQ(window->run.MainFormLoaded, 0);
}

}  // namespace

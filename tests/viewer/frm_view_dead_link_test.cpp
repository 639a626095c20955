// The main window over a real session whose link dies without a close
// reaching it: one click gives up within one time-out and says why once, and
// a key lookup that got no answer is not told as a key not found.
#include <gtest/gtest.h>

#include <QApplication>
#include <QLineEdit>
#include <QThread>

#include <functional>

#include <mutex>
#include <random>
#include <string>

#include "navigation/widgets/quester_dialogs.h"
#include "platform/clock.h"
#include "platform/event_pump.h"
#include "platform/wire_separators.h"
#include "server/request_frame.h"
#include "support/scripted_dialog.h"
#include "support/test_images.h"
#include "viewer/fake_server_window.h"
#include "viewer/widgets/frm_dde.h"

namespace {

using testsupport::FakeAction;

// The window opens with a time-out of 10 seconds.
constexpr int kTimeout = 10;
// Yields besides the wait's own seconds: the second it ends in, and those of
// a connection made and dropped.
constexpr int kSlack = 8;

// A clock that moves one second on every yield of a wait.
struct CountedSeconds {
    platform::ManualClock clock;
    platform::ScopedClock useClock{clock};
    std::function<void()> onYield;
    platform::CallbackEventPump pump{[this] {
        clock.AdvanceSeconds(1);
        if (onYield) onYield();
    }};
    platform::ScopedEventPump usePump{pump};
    int Seconds() const { return pump.Yields(); }
};

class FrmViewDeadLink : public testsupport::FakeServerWindow {
  protected:
    FrmViewDeadLink() {
        ShowWindow();
    }

    FakeAction Answer(const std::string& command) override {
        FakeAction a;
        auto is = [&](const char* verb) { return command.rfind(verb, 0) == 0; };
        if (is("TALQNextKey")) {
            a.payload = "K2";
        } else if (is("IDEX_StartSearch")) {
            a.payload = "OK";
        } else if (dead_ || is("IDEX_QuerySearch")) {
            a.silent = true;
        } else if (is("TALQFindKey") && (!findKey_.empty() || findKeyLost_)) {
            a.payload = findKey_;
            a.silent = a.closeAfter = findKeyLost_;
        } else if (!AnswerPage(command, image_, a)) {
            a.payload = is("TALQGetAnnotations") ? std::string(1, wire::kSectionSep) : "OK";
        }
        return a;
    }

    // The link dies and the reviewer closes the window two seconds into the
    // click's wait; the window's own timer closes it once the click is over.
    bool ClickThenClose(CountedSeconds& counted, const std::function<void()>& click) {
        Serve([&] { dead_ = true; });
        counted.onYield = [&] {
            if (counted.Seconds() == 2) window->close();
        };
        click();
        for (int i = 0; i < 250 && window->run.MainFormLoaded == 1; ++i) {
            QThread::msleep(20);
            QApplication::processEvents();
        }
        return window->run.MainFormLoaded == 0;
    }

    // A close two seconds into the click's wait; the seconds the click took.
    int CloseAtTwoSeconds(const std::function<void()>& closeIt,
                          const std::function<void()>& click) {
        CountedSeconds counted;
        counted.onYield = [&] {
            if (counted.Seconds() == 2) closeIt();
        };
        click();
        window->CloseWhenIdle();  // the window's next look
        EXPECT_EQ(window->run.MainFormLoaded, 0);
        return counted.Seconds();
    }

    std::string image_ = testsupport::PngBytes(200, 300);
    bool dead_ = false;
    std::string findKey_;
    bool findKeyLost_ = false;
};

// The next key came, then nothing on any connection: the page's requests
// once waited a login again each, minutes in all.
TEST_F(FrmViewDeadLink, ANextPageWhoseLinkDiesGivesUpWithinOneTimeOutAndSaysWhyOnce) {
    ASSERT_TRUE(window->DisplayImage("K1")) << Status();
    Serve([&] {
        dead_ = true;
        sessionUnanswered_ = true;
    });
    CountedSeconds counted;
    window->NavTBar_Click(1);
    EXPECT_GE(counted.Seconds(), kTimeout);
    EXPECT_LE(counted.Seconds(), kTimeout + kSlack);
    EXPECT_EQ(window->page.szCurrentKey, "K2");
    // No lock was refused: the page is not called read-only.
    EXPECT_EQ(Status(), "K2 *** Bad Image ***");
    EXPECT_EQ(prompts.Messages(),
              std::vector<std::string>{
                  "Unable to Display ImageKey K2\nNo reply from the server within 10 seconds."});
}

TEST_F(FrmViewDeadLink, ATurnWhoseLinkDiedAfterAClosedConnectionGivesUpWithinOneTimeOut) {
    ASSERT_TRUE(window->DisplayImage("K1")) << Status();
    server_.DropConnections();
    Serve([&] {
        dead_ = true;
        sessionUnanswered_ = true;
    });
    const std::int32_t rotation = window->page.g_Rotation;
    CountedSeconds counted;
    window->Tbar_Click(8);
    // The login made again waits the time-out (the count also holds the
    // window's other yields); the turn's store after it waits none.
    EXPECT_GE(counted.Seconds(), kTimeout);
    EXPECT_LT(counted.Seconds(), kTimeout + 2 * kSlack) << "the turn waited a time-out of its own";
    EXPECT_EQ(window->page.g_Rotation, rotation);
}

// A close while a request ran was refused with a beep and dropped.
TEST_F(FrmViewDeadLink, ACloseEndsAReadAtOnceAndClosesTellingNothing) {
    ASSERT_TRUE(window->DisplayImage("K1")) << Status();
    CountedSeconds counted;
    EXPECT_TRUE(ClickThenClose(counted, [&] { window->NavTBar_Click(1); }));
    EXPECT_LT(counted.Seconds(), 5) << "the page read, or the lock given back, ran on";
    EXPECT_TRUE(prompts.Messages().empty());
}

TEST_F(FrmViewDeadLink, ACloseWaitsForATurnUnderWayTellsItsFailureAndCloses) {
    ASSERT_TRUE(window->DisplayImage("K1")) << Status();
    CountedSeconds counted;
    EXPECT_TRUE(ClickThenClose(counted, [&] { window->Tbar_Click(8); }));
    EXPECT_GE(counted.Seconds(), kTimeout) << "the turn was cut short";
    EXPECT_LT(counted.Seconds(), kTimeout + kSlack);
    EXPECT_EQ(prompts.Messages(),
              std::vector<std::string>{
                  "Unable to set Rotate Flag\nNo reply from the server within 10 seconds."});
}

TEST_F(FrmViewDeadLink, GoToAKeyWhoseLookupFailsSaysWhyNotThatTheKeyIsMissing) {
    struct Row {
        const char* name;
        std::string findKey;
        bool lost;
        std::string message;
    };
    const Row rows[] = {
        {"connection closed", "", true,
         "Unable to Look Up ImageKey K7\n"
         "No reply from the server: the server closed the connection."},
        {"no reply", "", false,
         "Unable to Look Up ImageKey K7\nNo reply from the server within 10 seconds."},
        {"server error", "ERROR: Database Error", false,
         "Unable to Look Up ImageKey K7\nDatabase Error"},
        {"missing", "0", false, "K7 ImageKey not found."},
    };
    ASSERT_TRUE(window->DisplayImage("K1")) << Status();
    CountedSeconds counted;
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        prompts.Clear();
        Serve([&] {
            findKey_ = row.findKey;
            findKeyLost_ = row.lost;
            dead_ = row.findKey.empty() && !row.lost;
        });
        prompts.QueueInput("K7");
        window->MiscTBar_Click(0);
        EXPECT_EQ(prompts.Messages(), std::vector<std::string>{row.message});
        EXPECT_EQ(window->page.szCurrentKey, "K1");
    }
}

// The lock's release, the query copy's deletion and a login again waited.
TEST_F(FrmViewDeadLink, AnIdleCloseOnADeadLinkGoesWithinASecondAfterAFailedNext) {
    ASSERT_TRUE(window->DisplayImage("K1")) << Status();
    window->query.CurrentQuery.Kind = 2;
    Serve([&] { dead_ = sessionUnanswered_ = true; });
    CountedSeconds counted;
    window->NavTBar_Click(1);
    const int failed = counted.Seconds();
    const std::size_t sent = server_.Commands().size();
    EXPECT_TRUE(window->close());
    EXPECT_LE(counted.Seconds() - failed, 1);
    EXPECT_EQ(server_.Commands().size(), sent) << "a release or a clean-up went out";
}

// EXIT waited in the message queue for the read's time-out.
TEST_F(FrmViewDeadLink, ExitDuringAFrozenReadCutsItShortAndClosesTellingNothing) {
    ASSERT_TRUE(window->DisplayImage("K1")) << Status();
    viewer::frmDDE dde;
    dde.Viewer = window.get();
    Serve([&] { dead_ = true; });
    const auto exit = [&] { dde.Form_LinkExecute("EXIT"), QApplication::processEvents(); };
    EXPECT_LT(CloseAtTwoSeconds(exit, [&] { window->NavTBar_Click(1); }), 5);
    EXPECT_TRUE(prompts.Messages().empty());
}

// The poll was taken for a change: its time-out, then "Quester Search Failed".
TEST_F(FrmViewDeadLink, AConceptSearchIsCutShortByACloseAndTellsNothing) {
    using navigation::frmQuesterCancel, navigation::frmQuesterSearch, testsupport::ScriptedMaker;
    talq::DialogFactory<frmQuesterSearch>::Scoped typing(ScriptedMaker<frmQuesterSearch>(
        [](frmQuesterSearch& d) { d.Text1->setText("contract"), d.cmdSearch_Click(); }));
    talq::DialogFactory<frmQuesterCancel>::Scoped polls(
        ScriptedMaker<frmQuesterCancel>([](frmQuesterCancel& d) { d.Timer1_Timer(); }));
    EXPECT_LT(CloseAtTwoSeconds([&] { window->close(); }, [&] { window->RunQuesterSearch(1); }), 5);
    EXPECT_TRUE(prompts.Messages().empty());
}

}  // namespace

// One action of the reviewer over a link that died without a close reaching
// the viewer: its requests, reconnections and logins again included, give up
// within one time-out in all.
#include <gtest/gtest.h>

#include <QEventLoop>
#include <QTimer>

#include <atomic>
#include <string>

#include "fake_server.h"
#include "platform/clock.h"
#include "platform/event_pump.h"
#include "server/talq_client_api.h"
#include "talq_client_api_test_peer.h"

namespace {

using testsupport::FakeAction;
using testsupport::FakeServer;
using Peer = TalqClientApiTestPeer;

constexpr int kTimeout = 5;
// Yields besides the wait's own seconds: the second it ends in, and those of
// a connection made and dropped.
constexpr int kSlack = 8;

// Opened and logged in; then nothing comes back on any connection, the
// relay accepting them all. Seconds are counted yields of the waits.
class DeadLink : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_TRUE(api.OpenTalqConnection(0, "DOM", "127.0.0.1", server.Port(), 0, 0, kTimeout))
            << api.LastError();
        Peer::LogIn(api, "USER", "PW", "PROJ");
        dead = true;
        opened_ = pump.Yields();
    }
    int Seconds() const { return pump.Yields() - opened_; }

    std::atomic<bool> dead{false};
    FakeServer server{[this](int, const std::string&) {
        FakeAction a;
        a.payload = "0";
        a.silent = dead;
        return a;
    }};
    platform::ManualClock clock;
    platform::ScopedClock useClock{clock};
    platform::CallbackEventPump pump{[this] { clock.AdvanceSeconds(1); }};
    platform::ScopedEventPump usePump{pump};
    TalqClientAPI api;
    int opened_ = 0;
};

TEST_F(DeadLink, APageDisplayGivesUpWithinOneTimeOutInAllAndKeepsWhyOnce) {
    std::string reply;
    {
        TalqClientAPI::Action display(api);
        for (const char* command : {"UNLOCK", "LOCK", "FIND", "INFO", "IMAGE", "WORDS", "LISTS"})
            EXPECT_FALSE(Peer::Send(api, command, reply)) << command;
    }
    EXPECT_GE(Seconds(), kTimeout);
    EXPECT_LE(Seconds(), kTimeout + kSlack) << "each request waited a login again";
    EXPECT_EQ(server.Connections(), 1) << "the spent action connects no more";
    EXPECT_EQ(api.LastError(), "ERROR: Invalid Data Returned");
    EXPECT_FALSE(api.ReplyLost()) << "the last request never left";
    EXPECT_EQ(api.TakeUntoldTransportError(), "No reply from the server within 5 seconds.");
    EXPECT_EQ(api.TakeUntoldTransportError(), "") << "told once";
    EXPECT_FALSE(api.IsRequestInProcess());
}

TEST_F(DeadLink, ANestedActionJoinsTheOpenOneAndTheNextWaitsAfresh) {
    std::string reply;
    {
        TalqClientAPI::Action step(api);
        EXPECT_FALSE(Peer::Send(api, "NEXT", reply));
        const int spent = Seconds();
        {
            TalqClientAPI::Action page(api);
            EXPECT_FALSE(Peer::Send(api, "LOCK", reply));
        }
        EXPECT_EQ(Seconds(), spent) << "the page of the step failed at once";
    }
    // Alone, a request waits one time-out, its reconnection included.
    const int before = Seconds();
    EXPECT_FALSE(Peer::Send(api, "LATER", reply));
    EXPECT_GE(Seconds() - before, kTimeout);
    EXPECT_LE(Seconds() - before, kTimeout + kSlack);
    EXPECT_EQ(server.Connections(), 2) << "connected again; its login went unanswered";
}

// A dialog shown inside an action may run another action of the reviewer:
// that one is not failed by the silence the action under the dialog spent.
TEST_F(DeadLink, AnActionRunByADialogsEventLoopWaitsOnItsOwn) {
    std::string reply;
    TalqClientAPI::Action outer(api);
    EXPECT_FALSE(Peer::Send(api, "STEP", reply));
    const int spent = Seconds();
    QEventLoop dialog;
    QTimer::singleShot(0, &dialog, [&] {
        TalqClientAPI::Action inner(api);
        EXPECT_FALSE(Peer::Send(api, "FROM THE DIALOG", reply));
        dialog.quit();
    });
    dialog.exec();
    EXPECT_GE(Seconds() - spent, kTimeout);
    EXPECT_FALSE(Peer::Send(api, "AFTER", reply));
    EXPECT_LE(Seconds() - spent, kTimeout + kSlack) << "the outer action is still spent";
}

}  // namespace

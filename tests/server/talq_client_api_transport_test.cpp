#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <functional>
#include <thread>

#include "fake_server.h"
#include "platform/clock.h"
#include "platform/event_pump.h"
#include "server/request_frame.h"
#include "server/talq_client_api.h"
#include "talq_client_api_test_peer.h"

namespace {

using testsupport::FakeAction;
using testsupport::FakeServer;
using Peer = TalqClientApiTestPeer;

// Answers the two flag requests of every connection, a login and a project
// selection; every other command goes to the test's own handler.
FakeServer::Handler WithSession(std::function<FakeAction(int, const std::string&)> other) {
    return [other](int connection, const std::string& command) {
        FakeAction a;
        if (command.rfind("TALQGetSystemFlags", 0) == 0)
            a.payload = "5";
        else if (command.rfind("TALQGetExtSystemFlags", 0) == 0)
            a.payload = "264";
        else if (command.rfind("TALQRequiredLogin", 0) == 0)
            a.payload =
                "1\x1e"
                "7\x1e"
                "Full";
        else if (command.rfind("TALQGetProjectInfo", 0) == 0)
            a.payload =
                "0\x19"
                "0";
        else
            return other(connection, command);
        return a;
    };
}

// Opens normally, then never answers.
FakeServer::Handler SilentAfterOpening() {
    return WithSession([](int, const std::string&) {
        FakeAction a;
        a.silent = true;
        return a;
    });
}

bool Open(TalqClientAPI& api, const FakeServer& server, int timeout = 5) {
    return api.OpenTalqConnection(0, "DOM", "127.0.0.1", server.Port(), 0, 0, timeout);
}

// A clock that moves one second on every yield of a wait.
struct FastClock {
    platform::ManualClock clock;
    platform::ScopedClock useClock{clock};
    std::function<void()> onYield;
    platform::CallbackEventPump pump{[this] {
        clock.AdvanceSeconds(1);
        if (onYield) onYield();
    }};
    platform::ScopedEventPump usePump{pump};
};

TEST(Transport, OpensRemoteAndReadsBothFlagReplies) {
    FakeServer server(WithSession([](int, const std::string&) { return FakeAction{}; }));
    TalqClientAPI api;
    ASSERT_TRUE(Open(api, server)) << api.LastError();
    EXPECT_EQ(api.SystemFlags(), 5);
    EXPECT_EQ(api.ExtSystemFlags(), 264);
    EXPECT_TRUE(api.IsRemoteAccess());
    EXPECT_EQ(server.CommandsOn(1),
              (std::vector<std::string>{"TALQGetSystemFlags,DOM", "TALQGetExtSystemFlags,DOM"}));
    api.CloseTalqConnection();
    EXPECT_EQ(api.SystemFlags(), 0);
}

// The flags are bits: a text that only looks like a number must not set any.
TEST(Transport, FlagRepliesReadOnlyTheirLeadingNumber) {
    std::string flags;
    FakeServer server([&flags](int, const std::string&) {
        FakeAction a;
        a.payload = flags;
        return a;
    });
    const std::pair<const char*, std::int32_t> cases[] = {
        {"4097", 4097}, {"0x1001", 0}, {"inf", 0}, {"nan", 0}, {" 12 bits", 12}, {"264.5", 264},
    };
    for (const auto& [reply, value] : cases) {
        flags = reply;
        TalqClientAPI api;
        ASSERT_TRUE(Open(api, server)) << api.LastError();
        EXPECT_EQ(api.SystemFlags(), value) << reply;
        EXPECT_EQ(api.ExtSystemFlags(), value) << reply;
    }
}

TEST(Transport, OpenTimeoutRules) {
    FakeServer server(WithSession([](int, const std::string&) { return FakeAction{}; }));
    TalqClientAPI api;
    ASSERT_TRUE(Open(api, server, 0));
    EXPECT_EQ(api.timeout(), 30) << "0 keeps the earlier value, at least 30";
    ASSERT_TRUE(Open(api, server, 1000));
    EXPECT_EQ(api.timeout(), 300);
    ASSERT_TRUE(Open(api, server, 3));
    EXPECT_EQ(api.timeout(), 5);
    api.timeout(0);
    EXPECT_EQ(api.timeout(), 15);
    api.timeout(-7);
    EXPECT_EQ(api.timeout(), 5);
}

TEST(Transport, RefusesParametersBeforeConnecting) {
    FakeServer server(WithSession([](int, const std::string&) { return FakeAction{}; }));
    TalqClientAPI api;
    EXPECT_FALSE(api.OpenTalqConnection(0, "DO,M", "127.0.0.1", server.Port(), 0, 0, 5));
    EXPECT_EQ(api.LastError(), "Invalid Domain Name");
    EXPECT_FALSE(
        api.OpenTalqConnection(0, std::string("D\x1e", 2), "127.0.0.1", server.Port(), 0, 0, 5));
    EXPECT_FALSE(api.OpenTalqConnection(0, "DOM", "", server.Port(), 0, 0, 5));
    EXPECT_EQ(api.LastError(), "Invalid IP Address");
    EXPECT_FALSE(api.OpenTalqConnection(0, "DOM", "127.0.0.1", 0, 0, 0, 5));
    EXPECT_EQ(api.LastError(), "Invalid IP Port");
    EXPECT_EQ(server.Connections(), 0) << "nothing reached the wire";
    EXPECT_TRUE(TalqClientAPI::HoldsFieldBreaker(std::string(1, '\0')));
    EXPECT_TRUE(
        TalqClientAPI::HoldsFieldBreaker("a\x19"
                                         "b"));
    EXPECT_TRUE(TalqClientAPI::HoldsFieldBreaker("a\x1f"));
    EXPECT_FALSE(TalqClientAPI::HoldsFieldBreaker("plain text|with; marks"));
}

TEST(Transport, RepliesInOneByteSegmentsAndSlowPieces) {
    FakeServer server(WithSession([](int, const std::string& command) {
        FakeAction a;
        a.payload = "REPLY TO " + command;
        a.chunk = command == "ONE" ? 1 : 64;
        a.pauseMs = command == "ONE" ? 0 : 30;
        return a;
    }));
    TalqClientAPI api;
    ASSERT_TRUE(Open(api, server));
    std::string reply;
    EXPECT_TRUE(Peer::Send(api, "ONE", reply)) << api.LastError();
    EXPECT_EQ(reply, "REPLY TO ONE");
    EXPECT_TRUE(Peer::Send(api, "SLOW", reply)) << api.LastError();
    EXPECT_EQ(reply, "REPLY TO SLOW");
}

// The silence before a reply's first byte was forgotten once that byte came:
// replies held most of a time-out each kept one step waiting for minutes.
TEST(Transport, RepliesWhoseFirstByteComesAloneLateGiveUpWithinOneTimeOutInAll) {
    std::atomic<int> ticks{0};
    // The first byte after 3 seconds, the next once the viewer has taken it.
    FakeServer server(WithSession([&](int, const std::string&) {
        FakeAction a;
        a.chunk = 1;
        a.beforePiece = [&](int piece) {
            for (int i = 0, until = ticks + 3 - piece; piece < 2 && i < 4000 && ticks < until; ++i)
                std::this_thread::sleep_for(std::chrono::microseconds(500));
        };
        return a;
    }));
    TalqClientAPI api;
    ASSERT_TRUE(Open(api, server));
    FastClock fast;
    fast.onYield = [&] { ++ticks; };
    std::string reply;
    int answered = 0;
    {
        TalqClientAPI::Action step(api);
        for (int i = 0; i < 6; ++i) answered += Peer::Send(api, "STEP", reply) ? 1 : 0;
    }
    EXPECT_EQ(answered, 1);
    EXPECT_LE(fast.pump.Yields(), 5 + 8);
}

TEST(Transport, ErrorRepliesInAnyCaseFailWithTheWholeReply) {
    FakeServer server(WithSession([](int, const std::string& command) {
        FakeAction a;
        a.payload = command == "A" ? "eRrOrX went wrong" : " ERROR with a blank";
        return a;
    }));
    TalqClientAPI api;
    ASSERT_TRUE(Open(api, server));
    std::string reply;
    EXPECT_FALSE(Peer::Send(api, "A", reply));
    EXPECT_EQ(api.LastError(), "eRrOrX went wrong");
    EXPECT_EQ(reply, "eRrOrX went wrong");
    EXPECT_TRUE(Peer::Send(api, "B", reply));
}

TEST(Transport, SilenceTimesOutClosesTheSocketAndTheNextRequestLogsInAgain) {
    bool silent = true;
    FakeServer server(WithSession([&silent](int, const std::string& command) {
        FakeAction a;
        a.silent = silent && command == "FIRST";
        a.payload = "ANSWER " + command;
        return a;
    }));
    TalqClientAPI api;
    ASSERT_TRUE(Open(api, server));
    Peer::LogIn(api, "USER", "PW", "PROJ");
    FastClock fast;
    std::string reply;
    EXPECT_FALSE(Peer::Send(api, "FIRST", reply));
    EXPECT_EQ(api.LastError(), "ERROR: Invalid Data Returned");
    EXPECT_EQ(api.TakeUntoldTransportError(), "No reply from the server within 5 seconds.");
    EXPECT_GE(fast.pump.Yields(), 6) << "waited out the time-out of 5";
    EXPECT_LE(fast.pump.Yields(), 8);
    EXPECT_FALSE(Peer::SocketConnected(api));
    EXPECT_FALSE(api.IsRequestInProcess());
    silent = false;
    EXPECT_TRUE(Peer::Send(api, "SECOND", reply)) << api.LastError();
    EXPECT_EQ(reply, "ANSWER SECOND");
    EXPECT_EQ(server.CommandsOn(2),
              (std::vector<std::string>{"TALQRequiredLogin,USER,PW,,DOM,1,8.6,1",
                                        "TALQGetProjectInfo,USER,PW,PROJ", "SECOND"}));
}

TEST(Transport, LateReplyNeverAnswersTheNextRequest) {
    FakeServer server(WithSession([](int, const std::string& command) {
        FakeAction a;
        a.payload = "ANSWER " + command;
        if (command == "FIRST") a.delayMs = 400;
        return a;
    }));
    TalqClientAPI api;
    ASSERT_TRUE(Open(api, server));
    std::string reply;
    {
        FastClock fast;
        EXPECT_FALSE(Peer::Send(api, "FIRST", reply));
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(600));
    EXPECT_TRUE(Peer::Send(api, "SECOND", reply)) << api.LastError();
    EXPECT_EQ(reply, "ANSWER SECOND");
}

TEST(Transport, CloseMidReplyFailsAtOnce) {
    FakeServer server(WithSession([](int, const std::string&) {
        FakeAction a;
        a.raw = testsupport::BadSelectorFrame(std::string(3000, 'x')).substr(0, 1000);
        a.closeAfter = true;
        return a;
    }));
    TalqClientAPI api;
    ASSERT_TRUE(Open(api, server, 30));
    FastClock fast;
    std::string reply;
    EXPECT_FALSE(Peer::Send(api, "CUT", reply));
    EXPECT_EQ(api.LastError(), "ERROR: Invalid Data Returned");
    EXPECT_LT(fast.pump.Yields(), 20) << "no waiting out the time-out";
}

TEST(Transport, BadSelectorsAndOversizedLengthFailTheReply) {
    FakeServer server(WithSession([](int, const std::string& command) {
        FakeAction a;
        if (command == "BAD")
            a.raw = testsupport::BadSelectorFrame("scrambled text");
        else
            a.raw = std::string("\x10\0\0\0", 4) + std::string(300, 'z');
        return a;
    }));
    TalqClientAPI api;
    ASSERT_TRUE(Open(api, server, 30));
    FastClock fast;
    std::string reply;
    EXPECT_FALSE(Peer::Send(api, "BAD", reply));
    EXPECT_EQ(api.LastError(), "ERROR: Invalid Data Returned");
    EXPECT_EQ(reply, "") << "a scrambled text is never handed on";
    int yields = fast.pump.Yields();
    EXPECT_FALSE(Peer::Send(api, "HUGE", reply));
    EXPECT_EQ(api.LastError(), "ERROR: Invalid Data Returned");
    EXPECT_LT(yields, 20) << "no waiting out the time-out";
    EXPECT_LT(fast.pump.Yields() - yields, 20);
}

// Answers every command, closes the connection after CMD1, and answers a
// login on a later connection with the status given.
FakeServer::Handler ClosesAfterCmd1(const std::string& reloginStatus) {
    const FakeServer::Handler session = WithSession([](int, const std::string& command) {
        FakeAction a;
        a.payload = "ANSWER " + command;
        a.closeAfter = command == "CMD1";
        return a;
    });
    return [session, reloginStatus](int connection, const std::string& command) {
        if (connection < 2 || command.rfind("TALQRequiredLogin", 0) != 0)
            return session(connection, command);
        FakeAction login;
        login.payload = reloginStatus + "\x1e" + "7";
        return login;
    };
}

// Logs in, sends CMD1 and waits until the server has closed the connection.
void LoseTheIdleConnection(TalqClientAPI& api, const FakeServer& server) {
    ASSERT_TRUE(Open(api, server));
    Peer::LogIn(api, "USER", "PW", "PROJ");
    std::string reply;
    ASSERT_TRUE(Peer::Send(api, "CMD1", reply));
    ASSERT_TRUE(server.WaitForClosed(1));
}

TEST(Transport, IdleSocketClosedByTheServerIsReopenedAndTheRequestSentOnce) {
    FakeServer server(ClosesAfterCmd1("1"));
    TalqClientAPI api;
    LoseTheIdleConnection(api, server);
    std::string reply;
    EXPECT_TRUE(Peer::Send(api, "CMD2", reply)) << api.LastError();
    EXPECT_EQ(reply, "ANSWER CMD2");
    EXPECT_EQ(server.Connections(), 2);
    EXPECT_EQ(server.CommandsOn(2),
              (std::vector<std::string>{"TALQRequiredLogin,USER,PW,,DOM,1,8.6,1",
                                        "TALQGetProjectInfo,USER,PW,PROJ", "CMD2"}));
}

// A drawing sends no request: a connection the server closed while idle is
// made again without one, and one that stands is left alone.
TEST(Transport, AnIdleConnectionTheServerClosedIsMadeAgainWithoutARequest) {
    FakeServer server(ClosesAfterCmd1("1"));
    TalqClientAPI api;
    ASSERT_TRUE(Open(api, server));
    Peer::LogIn(api, "USER", "PW", "PROJ");
    const std::size_t sent = server.Commands().size();
    EXPECT_TRUE(api.ReconnectIfClosed());
    EXPECT_EQ(server.Commands().size(), sent) << "nothing sent while it stands";

    std::string reply;
    ASSERT_TRUE(Peer::Send(api, "CMD1", reply));
    ASSERT_TRUE(server.WaitForClosed(1));
    const std::uint64_t epoch = api.LockEpoch();
    EXPECT_TRUE(api.ReconnectIfClosed()) << api.LastError();
    EXPECT_NE(api.LockEpoch(), epoch);
    EXPECT_EQ(server.CommandsOn(2), (std::vector<std::string>{
                                        "TALQRequiredLogin,USER,PW,,DOM,1,8.6,1",
                                        "TALQGetProjectInfo,USER,PW,PROJ"}));
    EXPECT_FALSE(api.IsRequestInProcess());
}

// A link that let a request time out may answer nothing again: a drawing
// does not wait on it.
TEST(Transport, AfterATimeOutNoConnectionIsMadeWithoutARequest) {
    FakeServer server(SilentAfterOpening());
    TalqClientAPI api;
    ASSERT_TRUE(Open(api, server));
    Peer::LogIn(api, "USER", "PW", "PROJ");
    FastClock fast;
    std::string reply;
    EXPECT_FALSE(Peer::Send(api, "CMD", reply));
    const std::size_t sent = server.Commands().size();
    EXPECT_TRUE(api.ReconnectIfClosed());
    EXPECT_EQ(server.Commands().size(), sent);
    EXPECT_EQ(server.Connections(), 1);
}

// A reply lost or a server gone is told by its reason, once; a send the
// server refuses is not tried again for seconds.
TEST(Transport, ARequestWithoutAnAnswerKeepsWhyOnceAndARefusedSendGivesUpAtOnce) {
    auto server = std::make_unique<FakeServer>(WithSession([](int, const std::string& command) {
        FakeAction a;
        a.silent = command == "LOST";
        a.closeAfter = command == "LOST";
        return a;
    }));
    TalqClientAPI api;
    ASSERT_TRUE(Open(api, *server));
    Peer::LogIn(api, "USER", "PW", "");
    std::string reply;
    EXPECT_FALSE(Peer::Send(api, "LOST", reply));
    EXPECT_EQ(api.TakeUntoldTransportError(),
              "No reply from the server: the server closed the connection.");
    EXPECT_EQ(api.TakeUntoldTransportError(), "") << "told once";

    server.reset();
    const auto start = std::chrono::steady_clock::now();
    EXPECT_FALSE(Peer::Send(api, "GONE", reply));
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(3));
    EXPECT_EQ(api.TakeUntoldTransportError(), "The request could not be sent: Connection refused.");
}

// The connection a reconnection replaces holds its page locks until the
// server finds its peer gone. A refusal naming the same user on another of
// the server's connections is a lost one's, most likely, for the time the
// server names: this session's, or a viewer's of this login whose link died
// before it logged in.
TEST(Transport, ALockTheLostConnectionStillHoldsIsTheLostOnesOnlyForTheTimeTheServerNames) {
    std::atomic<bool> freed{false};
    FakeServer server(WithSession([&freed](int connection, const std::string& command) {
        FakeAction a;
        a.closeAfter = command == "CMD1";
        if (connection > 1 && command.starts_with("TALQSetPageLock") &&
            !(freed && command.ends_with(",K1")))
            a.payload =
                "ERROR: Page Locked by user" +
                (command.ends_with(",K3") ? "" : RequestFrame::LockedOnAnotherConnection(60));
        return a;
    }));
    platform::ManualClock clock;
    platform::ScopedClock useClock(clock);
    TalqClientAPI api;
    ASSERT_TRUE(Open(api, server));
    Peer::LogIn(api, "USER", "PW", "PROJ");
    for (const char* key : {"K1", "K2", "K3"}) ASSERT_TRUE(api.SetPageLock(key));
    std::string reply;
    ASSERT_TRUE(Peer::Send(api, "CMD1", reply));
    ASSERT_TRUE(server.WaitForClosed(1));
    ASSERT_TRUE(Peer::Send(api, "CMD2", reply)) << api.LastError();
    for (const char* key : {"K1", "K2", "K3", "K4"}) EXPECT_FALSE(api.SetPageLock(key));
    EXPECT_EQ(api.EarlierConnectionFreesIn("K1"), 65);
    EXPECT_EQ(api.EarlierConnectionFreesIn("K3"), 0) << "not one of that server's connections";
    EXPECT_EQ(api.EarlierConnectionFreesIn("K4"), 65) << "a lost viewer's before this login";
    clock.AdvanceSeconds(20);
    freed = true;
    EXPECT_TRUE(api.SetPageLock("K1"));
    EXPECT_EQ(api.EarlierConnectionFreesIn("K2"), 45) << "counted from the first refusal";
    clock.AdvanceSeconds(46);
    EXPECT_FALSE(api.SetPageLock("K2"));
    EXPECT_EQ(api.EarlierConnectionFreesIn("K2"), 0) << "still held after the time";
}

TEST(Transport, ReconnectionWhoseLoginIsRefusedFailsAsUnableToSend) {
    FakeServer server(ClosesAfterCmd1("0"));
    TalqClientAPI api;
    LoseTheIdleConnection(api, server);
    std::string reply;
    EXPECT_FALSE(Peer::Send(api, "CMD2", reply));
    EXPECT_EQ(api.LastError(), "Unable to Send Data Request");
    EXPECT_FALSE(api.IsUserValid());
}

// The server may have carried out a request whose answer was lost: sending
// it again would write a page line or create a tag twice.
TEST(Transport, ConnectionLostAfterTheSendFailsTheRequestWithoutResending) {
    FakeServer server(WithSession([](int, const std::string& command) {
        FakeAction a;
        a.payload = "ANSWER " + command;
        a.closeAfter = command == "IDLE" || command == "CMD";
        a.silent = command == "CMD";
        return a;
    }));
    TalqClientAPI api;
    ASSERT_TRUE(Open(api, server));
    Peer::LogIn(api, "USER", "PW", "");
    std::string reply;
    ASSERT_TRUE(Peer::Send(api, "IDLE", reply));
    ASSERT_TRUE(server.WaitForClosed(1));
    EXPECT_FALSE(Peer::Send(api, "CMD", reply)) << "reopened once, then lost after the send";
    EXPECT_EQ(api.LastError(), "ERROR: Invalid Data Returned");
    EXPECT_EQ(server.CommandsOn(2),
              (std::vector<std::string>{"TALQRequiredLogin,USER,PW,,DOM,1,8.6,1", "CMD"}));
    EXPECT_EQ(server.Connections(), 2) << "nothing sent again";
    EXPECT_TRUE(api.ReplyLost()) << "the server may have carried it out";
    EXPECT_TRUE(Peer::Send(api, "NEXT", reply)) << api.LastError();
    EXPECT_EQ(server.CommandsOn(3).back(), "NEXT");
    EXPECT_FALSE(api.ReplyLost());
}

// Only a request that wholly left may have been carried out: one refused,
// one answered with an error, and one whose reconnection lost the answer to
// its login before the request itself was sent, were not.
TEST(Transport, AnAnswerIsLostOnlyForARequestThatWhollyLeft) {
    FakeServer server(WithSession([](int, const std::string& command) {
        FakeAction a;
        a.payload = command == "BAD" ? "ERROR: no" : "ANSWER " + command;
        a.closeAfter = command == "IDLE" || command == "SILENT";
        a.silent = command == "SILENT";
        return a;
    }));
    TalqClientAPI api;
    ASSERT_TRUE(Open(api, server));
    std::string reply;
    EXPECT_FALSE(Peer::Send(api, "BAD", reply));
    EXPECT_FALSE(api.ReplyLost());
    {
        FastClock fast;
        EXPECT_FALSE(Peer::Send(api, "SILENT", reply));
        EXPECT_TRUE(api.ReplyLost());
    }
    EXPECT_FALSE(Peer::Send(api, "", reply));
    EXPECT_FALSE(api.ReplyLost()) << api.LastError();
}

// A call refused before it sends anything speaks of itself, not of the
// request before it whose answer was lost: a read-back would judge a change
// never sent.
TEST(Transport, ACallRefusedBeforeSendingIsNoLostAnswer) {
    FakeServer server(WithSession([](int, const std::string& command) {
        FakeAction a;
        a.payload = "ANSWER " + command;
        a.closeAfter = a.silent = command == "SILENT";
        return a;
    }));
    TalqClientAPI api;
    ASSERT_TRUE(Open(api, server));
    Peer::LogIn(api, "USER", "PW", "PROJ");
    AnnotationTexts lists;
    struct Case {
        const char* what;
        std::function<bool()> call;
        bool closeProject = false;
    } cases[] = {
        {"a field breaker in the key", [&] { return api.PutAnnotationList("K,1", 16, "", {}); }},
        {"the page's lock gone with its connection",
         [&] { return api.PutAnnotationList("K1", 16, "", api.LockEpoch() + 1); }},
        {"a login again that is not wanted", [&] { return api.LogInAgain("PW"); }},
        {"a file of a bad key", [&] { return !api.RetrieveFile("F", "K,1").empty(); }},
        {"a batch page with no batch file", [&] { return api.WriteBatchPrintFilePage("P"); }},
        {"no project selected", [&] { return api.GetAllAnnotations("K1", lists); }, true},
    };
    std::string reply;
    for (const Case& c : cases) {
        FastClock fast;
        if (c.closeProject) api.CloseProject();
        EXPECT_FALSE(Peer::Send(api, "SILENT", reply)) << c.what;
        ASSERT_TRUE(api.ReplyLost()) << c.what;
        const std::size_t sent = server.Commands().size();
        EXPECT_FALSE(c.call()) << c.what;
        EXPECT_EQ(server.Commands().size(), sent) << c.what << ": nothing sent";
        EXPECT_FALSE(api.ReplyLost()) << c.what << ": " << api.LastError();
    }
}

TEST(Transport, ALoginLostWhileReconnectingLeavesTheRequestUnsent) {
    FakeServer server([](int connection, const std::string& command) {
        FakeAction a;
        a.payload = "ANSWER " + command;
        a.closeAfter = command == "IDLE";
        if (connection == 2 && command.rfind("TALQRequiredLogin", 0) == 0) {
            a.silent = true;
            a.closeAfter = true;
        }
        return a;
    });
    TalqClientAPI api;
    ASSERT_TRUE(api.OpenTalqConnection(0, "DOM", "127.0.0.1", server.Port(), 0, 0, 5));
    Peer::LogIn(api, "USER", "PW", "");
    std::string reply;
    ASSERT_TRUE(Peer::Send(api, "IDLE", reply));
    ASSERT_TRUE(server.WaitForClosed(1));
    EXPECT_FALSE(Peer::Send(api, "CMD", reply));
    EXPECT_EQ(server.CommandsOn(2),
              (std::vector<std::string>{"TALQRequiredLogin,USER,PW,,DOM,1,8.6,1"}));
    EXPECT_FALSE(api.ReplyLost()) << api.LastError();
}

TEST(Transport, CloseDuringAWaitLetsTheRequestUnwindFirst) {
    FakeServer server(SilentAfterOpening());
    TalqClientAPI api;
    ASSERT_TRUE(Open(api, server, 30));
    FastClock fast;
    int yields = 0;
    fast.onYield = [&] {
        if (++yields == 2) api.CloseTalqConnection();
    };
    std::string reply;
    EXPECT_FALSE(Peer::Send(api, "WAIT", reply));
    EXPECT_EQ(api.LastError(), "Process Aborted");
    EXPECT_LT(yields, 5) << "no fixed wait for the request";
    EXPECT_FALSE(api.IsRequestInProcess());
    EXPECT_FALSE(Peer::ConnectSocket(api));
    EXPECT_EQ(api.LastError(), "Aborted");
}

TEST(Transport, SecondRequestDuringAWaitIsRefusedAndAbortEndsTheWait) {
    FakeServer server(SilentAfterOpening());
    TalqClientAPI api;
    ASSERT_TRUE(Open(api, server, 30));
    FastClock fast;
    std::string nestedError;
    bool nestedOk = true;
    fast.onYield = [&] {
        if (nestedError.empty()) {
            std::string r;
            nestedOk = Peer::Send(api, "NESTED", r);
            nestedError = api.LastError();
            EXPECT_TRUE(api.IsRequestInProcess());
        } else {
            api.AbortRemoteOperation();
        }
    };
    std::string reply;
    EXPECT_FALSE(Peer::Send(api, "WAIT", reply));
    EXPECT_FALSE(nestedOk);
    EXPECT_EQ(nestedError, "Request Currently In Process");
    EXPECT_EQ(api.LastError(), "ERROR: Invalid Data Returned");
    EXPECT_LT(fast.pump.Yields(), 5);
    EXPECT_FALSE(Peer::SocketConnected(api)) << "an aborted stream is dropped";
}

TEST(Transport, RequestLockAndGuards) {
    TalqClientAPI api;
    api.ReleaseRequestLock();
    EXPECT_FALSE(api.IsRequestInProcess());
    api.SetRequestLock();
    EXPECT_TRUE(api.IsRequestInProcess());
    api.ReleaseRequestLock();
    EXPECT_FALSE(api.IsRequestInProcess());
    std::string reply;
    EXPECT_FALSE(Peer::Send(api, "", reply));
}

TEST(Transport, MissingLocalLibraryIsLocalAccessNotSupported) {
    TalqClientAPI api;
    Peer::UseLibrary(api, "libtalq-no-such-library.so");
    EXPECT_FALSE(api.OpenTalqConnection(1, "", "", 0, 0, 0, 0));
    EXPECT_EQ(api.LastError(), "Local Access Not Supported");
    EXPECT_EQ(Peer::LocalMode(api), 1);
    EXPECT_FALSE(api.OpenTalqConnection(7, "", "", 0, 0, 0, 0));
    EXPECT_EQ(Peer::LocalMode(api), 2);
}

}  // namespace

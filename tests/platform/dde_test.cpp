// The message layer within one process: the client's waits yield through
// DoEvents, which is where the server answers.

#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <gtest/gtest.h>
#include <QLocalServer>
#include <QLocalSocket>
#include <cstring>

#include "platform/clock.h"
#include "platform/dde.h"
#include "platform/event_pump.h"
#include "platform/single_instance.h"
#include "support/scoped_env.h"
#include "support/wait_until.h"

namespace {

using testsupport::WaitUntil;

using platform::DdeClient;
using platform::DdeFrame;
using platform::DdeFrameKind;
using platform::DdeFrameReader;
using platform::DdeResult;
using platform::DdeServer;

std::string Length(std::uint32_t n) {
    return {static_cast<char>(n >> 24), static_cast<char>(n >> 16), static_cast<char>(n >> 8),
            static_cast<char>(n)};
}

TEST(DdeFrameReader, FramesSplitAcrossReadsComeOutWhole) {
    std::string bytes = platform::EncodeDdeFrame({DdeFrameKind::Poke, {"View", "ABC0001"}}) +
                        platform::EncodeDdeFrame({DdeFrameKind::Front, {}});
    DdeFrameReader reader;
    std::vector<DdeFrame> frames;
    for (char c : bytes) {
        reader.Append(&c, 1);
        while (auto frame = reader.Next()) frames.push_back(*frame);
    }
    ASSERT_EQ(frames.size(), 2u);
    EXPECT_EQ(frames[0].kind, DdeFrameKind::Poke);
    EXPECT_EQ(frames[0].fields, (std::vector<std::string>{"View", "ABC0001"}));
    EXPECT_EQ(frames[1].kind, DdeFrameKind::Front);
    EXPECT_FALSE(reader.Malformed());
}

TEST(DdeFrameReader, TextsKeepNulAndSeparatorBytes) {
    std::string text("goto DOCID = ABC\0", 17);
    text += "\x18\x1F\xFF";
    DdeFrameReader reader;
    std::string bytes = platform::EncodeDdeFrame({DdeFrameKind::Execute, {text}});
    reader.Append(bytes.data(), bytes.size());
    auto frame = reader.Next();
    ASSERT_TRUE(frame);
    EXPECT_EQ(frame->fields[0], text);
}

TEST(DdeFrameReader, MalformedInputIsRefusedForGood) {
    const std::string cases[] = {
        Length(0),                          // empty body
        Length(platform::kMaxDdeBody + 1),  // oversized
        Length(1) + "Z",                    // unknown kind
        Length(5) + "X" + Length(9),        // field runs past the body
        Length(3) + "X" + "ab",             // partial field length
        Length(1) + "X",                    // execute without its text
        Length(6) + "F" + Length(1) + "x",  // front with a field
    };
    for (const std::string& bad : cases) {
        DdeFrameReader reader;
        reader.Append(bad.data(), bad.size());
        EXPECT_FALSE(reader.Next()) << testing::PrintToString(bad);
        EXPECT_TRUE(reader.Malformed()) << testing::PrintToString(bad);
        std::string good = platform::EncodeDdeFrame({DdeFrameKind::Front, {}});
        reader.Append(good.data(), good.size());
        EXPECT_FALSE(reader.Next());
    }
}

class DdeLink : public ::testing::Test {
  protected:
    testsupport::ScopedUserStores stores_;
};

TEST_F(DdeLink, ExecuteAndPokeReachTheHandlersAndCarryTheirAnswers) {
    DdeServer server("talqvyn", "Level2Server");
    std::vector<std::string> got;
    server.SetExecuteHandler([&](const std::string& text) {
        got.push_back("X " + text);
        if (text == "VIEW,MISSING") return DdeResult::Failure(1, "Error #1");
        return DdeResult::Success();
    });
    server.SetPokeHandler([&](const std::string& item, const std::string& text) {
        got.push_back("P " + item + " " + text);
        return DdeResult::Success();
    });
    ASSERT_TRUE(server.Listen()) << server.LastError();

    DdeClient client;
    // Names compare without regard to case.
    DdeResult linked = client.Link("TALQVYN|level2server", 2000);
    ASSERT_TRUE(linked.ok) << linked.description;
    EXPECT_EQ(client.Topic(), "Level2Server");
    EXPECT_TRUE(client.Execute("VIEW,ABC0001").ok);
    DdeResult refused = client.Execute("VIEW,MISSING");
    EXPECT_FALSE(refused.ok);
    EXPECT_EQ(refused.errorNumber, 1);
    EXPECT_EQ(refused.description, "Error #1");
    // A refusal leaves the link usable.
    EXPECT_TRUE(client.IsLinked());
    EXPECT_TRUE(client.Poke("View", "ABC0002").ok);
    EXPECT_EQ(got,
              (std::vector<std::string>{"X VIEW,ABC0001", "X VIEW,MISSING", "P View ABC0002"}));
}

TEST_F(DdeLink, ServerWithoutHandlersRefusesInsteadOfClaimingSuccess) {
    DdeServer server("DocDB", "Main");
    ASSERT_TRUE(server.Listen());
    DdeClient client;
    ASSERT_TRUE(client.Link("DocDB|Main", 2000).ok);
    DdeResult result = client.Execute("repaint");
    EXPECT_FALSE(result.ok);
    EXPECT_EQ(result.errorNumber, platform::kDdeNotHandled);
    EXPECT_FALSE(client.Front().ok);
}

TEST_F(DdeLink, AnyTopicLinksToWhicheverTopicTheApplicationServes) {
    DdeServer other("DocDB Reviewer", "Cases");
    DdeServer server("DocDB", "Cases");
    std::string got;
    server.SetExecuteHandler([&](const std::string& text) {
        got = text;
        return DdeResult::Success();
    });
    ASSERT_TRUE(other.Listen());
    ASSERT_TRUE(server.Listen());

    DdeClient client;
    ASSERT_TRUE(client.Link("docdb|*", 2000).ok);
    EXPECT_EQ(client.Application(), "DocDB");
    EXPECT_EQ(client.Topic(), "Cases");
    ASSERT_TRUE(client.Execute("goto DOCID = ABC0001").ok);
    EXPECT_EQ(got, "goto DOCID = ABC0001");
}

TEST_F(DdeLink, NoServerGivesAnErrorNumberAndDescription) {
    DdeClient client;
    DdeResult result = client.Link("DocDB|*", 500);
    EXPECT_FALSE(result.ok);
    EXPECT_EQ(result.errorNumber, platform::kDdeNoServer);
    EXPECT_FALSE(result.description.empty());
    EXPECT_FALSE(client.IsLinked());
    EXPECT_EQ(client.Execute("x").errorNumber, platform::kDdeNotLinked);
    EXPECT_EQ(client.Link("NoBar", 500).errorNumber, platform::kDdeBadName);
}

TEST_F(DdeLink, ServerThatNeverAnswersTimesOutInsteadOfHanging) {
    QLocalServer mute;
    ASSERT_TRUE(mute.listen(QString::fromStdString(platform::DdeSocketPath("Mute", "T"))));
    DdeClient client;
    DdeResult result = client.Link("Mute|T", 300);
    EXPECT_FALSE(result.ok);
    EXPECT_EQ(result.errorNumber, platform::kDdeTimedOut);
    EXPECT_FALSE(client.IsLinked());
}

TEST_F(DdeLink, MalformedFramesDropOnlyTheirSenderAndTheServerGoesOn) {
    DdeServer server("talqvyn", "Level2Server");
    int executes = 0;
    server.SetExecuteHandler([&](const std::string&) {
        ++executes;
        return DdeResult::Success();
    });
    ASSERT_TRUE(server.Listen());
    const QString path = QString::fromStdString(platform::DdeSocketPath("talqvyn", "Level2Server"));

    const std::string attacks[] = {
        Length(0xFFFFFFFFu),
        Length(5) + "X" + Length(0x7FFFFFFF),
        Length(1) + "Q",
        // An execute before any link.
        platform::EncodeDdeFrame({DdeFrameKind::Execute, {"VIEW,SNEAK"}}),
        // A link with a bad protocol version.
        platform::EncodeDdeFrame({DdeFrameKind::Link, {"9", "talqvyn", "Level2Server"}}),
        std::string(64, '\xFF'),
    };
    for (const std::string& attack : attacks) {
        QLocalSocket raw;
        raw.connectToServer(path);
        ASSERT_TRUE(WaitUntil([&] { return raw.state() == QLocalSocket::ConnectedState; }));
        raw.write(attack.data(), static_cast<qint64>(attack.size()));
        raw.flush();
        EXPECT_TRUE(WaitUntil([&] { return raw.state() == QLocalSocket::UnconnectedState; }))
            << testing::PrintToString(attack);
    }
    EXPECT_EQ(executes, 0);
    EXPECT_TRUE(WaitUntil([&] { return server.PeerCount() == 0; }));

    DdeClient client;
    ASSERT_TRUE(client.Link("talqvyn|Level2Server", 2000).ok);
    EXPECT_TRUE(client.Execute("VIEW,ABC0001").ok);
    EXPECT_EQ(executes, 1);
}

TEST_F(DdeLink, PeerThatHangsUpMidFrameIsForgotten) {
    DdeServer server("talqvyn", "Level2Server");
    ASSERT_TRUE(server.Listen());
    {
        QLocalSocket raw;
        raw.connectToServer(
            QString::fromStdString(platform::DdeSocketPath("talqvyn", "Level2Server")));
        ASSERT_TRUE(WaitUntil([&] { return raw.state() == QLocalSocket::ConnectedState; }));
        std::string half = Length(100) + "X";
        raw.write(half.data(), static_cast<qint64>(half.size()));
        raw.flush();
        ASSERT_TRUE(WaitUntil([&] { return server.PeerCount() == 1; }));
    }
    EXPECT_TRUE(WaitUntil([&] { return server.PeerCount() == 0; }));
}

TEST_F(DdeLink, ServerClosedFromItsOwnHandlerDoesNotTouchFreedPeers) {
    DdeServer server("talqvyn", "Level2Server");
    server.SetExecuteHandler([&](const std::string&) {
        server.Close();
        return DdeResult::Success();
    });
    ASSERT_TRUE(server.Listen());
    DdeClient client;
    ASSERT_TRUE(client.Link("talqvyn|Level2Server", 2000).ok);
    DdeResult result = client.Execute("EXIT", 2000);
    EXPECT_FALSE(result.ok);
    EXPECT_EQ(result.errorNumber, platform::kDdeConnectionLost);
    EXPECT_FALSE(server.IsListening());
    EXPECT_TRUE(WaitUntil([&] { return server.PeerCount() == 0; }));
}

TEST_F(DdeLink, SecondServerOfTheSameNameIsRefusedButADeadSocketIsReplaced) {
    DdeServer first("DocDB", "Main");
    ASSERT_TRUE(first.Listen());
    DdeServer second("docdb", "MAIN");
    EXPECT_FALSE(second.Listen());
    first.Close();

    // A socket file nobody listens on, as a crashed program leaves it.
    std::string path = platform::DdeSocketPath("DocDB", "Main");
    int fd = socket(AF_UNIX, SOCK_STREAM, 0);
    sockaddr_un addr{};
    addr.sun_family = AF_UNIX;
    std::strncpy(addr.sun_path, path.c_str(), sizeof addr.sun_path - 1);
    ASSERT_EQ(bind(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr), 0);
    close(fd);
    ASSERT_EQ(access(path.c_str(), F_OK), 0);

    EXPECT_TRUE(second.Listen()) << second.LastError();
    DdeClient client;
    EXPECT_TRUE(client.Link("DocDB|Main", 2000).ok);
}

TEST_F(DdeLink, SocketsAndLocksLiveInAPrivateFolder) {
    std::string folder = platform::DdeFolder();
    ASSERT_FALSE(folder.empty());
    struct stat st {};
    ASSERT_EQ(stat(folder.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0700u);
    // Names that differ only in case share a socket; others never collide.
    EXPECT_EQ(platform::DdeSocketPath("DocDB", "X"), platform::DdeSocketPath("docdb", "x"));
    EXPECT_NE(platform::DdeSocketPath("a@b", "c"), platform::DdeSocketPath("a", "b@c"));
    EXPECT_NE(platform::DdeSocketPath("../x", "y").find(folder + "/"), std::string::npos);
    EXPECT_EQ(platform::DdeSocketPath("../x", "y").find("/../"), std::string::npos);
}

TEST_F(DdeLink, InstanceLockAdmitsOneHolderAndTakesOverAnAbandonedFile) {
    // A lock file left behind by a crashed viewer.
    testsupport::WriteFile(platform::DdeLockPath("talqvyn"), "99999\n");
    platform::InstanceLock first("talqvyn");
    platform::InstanceLock second("TALQVYN");
    EXPECT_TRUE(first.Acquire());
    EXPECT_FALSE(second.Acquire());
    first.Release();
    EXPECT_TRUE(second.Acquire());
}

TEST(JoinCommandLine, QuotesOnlyArgumentsHoldingBlanks) {
    EXPECT_EQ(platform::JoinCommandLine({"-Nuser", "PRJ:KEY"}), "-Nuser PRJ:KEY");
    EXPECT_EQ(platform::JoinCommandLine({"/home/u/My Files/a.TLQ"}), "\"/home/u/My Files/a.TLQ\"");
    EXPECT_EQ(platform::JoinCommandLine({}), "");
}

}  // namespace

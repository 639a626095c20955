// The same command sequence through the local-access library and through a
// talq-server process gives the same replies.

#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <poll.h>
#include <signal.h>
#include <sqlite3.h>
#include <sys/socket.h>
#include <unistd.h>

#include "foundation/mod_registry.h"
#include "raw_client.h"
#include "server/request_frame.h"
#include "server/talq_client_api.h"
#include "server/talq_client_api_test_peer.h"
#include "support/scoped_env.h"
#include "support/server_process.h"
#include "test_system.h"

namespace {

using Peer = TalqClientApiTestPeer;

struct Outcome {
    bool ok;
    std::string reply;
    std::string error;
    bool operator==(const Outcome& o) const {
        return ok == o.ok && reply == o.reply && error == o.error;
    }
};

std::vector<Outcome> RunSequence(TalqClientAPI& api) {
    std::vector<Outcome> out;
    for (const char* command :
         {"TALQGetVersion", "TALQGetSystemFlags", "TALQGetExtSystemFlags,DOM",
          "TALQRequiredLogin,ADMIN,bad,,DOM,1,8.6,1", "TALQRequiredLogin,ADMIN,SECRET,,DOM,1,8.6,1",
          "TALQGetProjectInfo,ADMIN,SECRET,Demo Project", "TALQGetProjectInfo,ADMIN,SECRET,None",
          "TALQCloseProject", "TALQNoSuchCommand,1,2"}) {
        std::string reply;
        bool ok = Peer::Send(api, command, reply);
        out.push_back({ok, reply, api.LastError()});
    }
    return out;
}

class EndToEnd : public ::testing::Test {
  protected:
    void SetUp() override {
        sys_ = dir_.Path() + "/system";
        testsupport::MakeTestSystem(sys_);
        modRegistry::RegSetString(modRegistry::HKEY_CURRENT_USER,
                                  "Software\\TALQTech\\VYNSYS\\Paths", "Local", sys_ + "/");
    }
    testsupport::ScopedUserStores stores_;
    testsupport::ScopedTempDir dir_;
    std::string sys_;
};

TEST_F(EndToEnd, LocalLibraryAndTcpServerGiveTheSameReplies) {
    TalqClientAPI local;
    ASSERT_TRUE(local.OpenTalqConnection(2, "", "", 0, 0, 0, 0)) << local.LastError();
    EXPECT_FALSE(local.IsRemoteAccess());
    EXPECT_EQ(local.SystemFlags(), 1025);
    EXPECT_EQ(local.ExtSystemFlags(), 136);
    std::vector<Outcome> viaLibrary = RunSequence(local);
    local.CloseTalqConnection();

    testsupport::ServerProcess server(sys_);
    ASSERT_GT(server.Port(), 0) << server.Output();
    TalqClientAPI remote;
    ASSERT_TRUE(remote.OpenTalqConnection(0, "DOM", "127.0.0.1", server.Port(), 0, 0, 10))
        << remote.LastError();
    EXPECT_EQ(remote.SystemFlags(), 1025);
    EXPECT_EQ(remote.ExtSystemFlags(), 136);
    std::vector<Outcome> viaServer = RunSequence(remote);
    remote.CloseTalqConnection();

    ASSERT_EQ(viaLibrary.size(), viaServer.size());
    for (std::size_t i = 0; i < viaLibrary.size(); ++i) {
        EXPECT_EQ(viaLibrary[i].ok, viaServer[i].ok) << i;
        EXPECT_EQ(viaLibrary[i].reply, viaServer[i].reply) << i;
        EXPECT_EQ(viaLibrary[i].error, viaServer[i].error) << i;
    }
    EXPECT_EQ(viaServer[5].reply, testsupport::ExpectedDemoRecord());
    EXPECT_FALSE(viaServer[8].ok);
    EXPECT_EQ(viaServer[8].error.rfind("ERROR", 0), 0u);
    EXPECT_EQ(server.Stop(SIGTERM), 0) << "clean stop";
    EXPECT_NE(server.Output().find("stopped"), std::string::npos);
}

TEST_F(EndToEnd, LocalModeWithoutASystemDirectoryFails) {
    modRegistry::RegSetString(modRegistry::HKEY_CURRENT_USER, "Software\\TALQTech\\VYNSYS\\Paths",
                              "Network", dir_.Path() + "/nothing-here");
    TalqClientAPI api;
    EXPECT_FALSE(api.OpenTalqConnection(1, "", "", 0, 0, 0, 0));
    // The library's reason follows, naming the folder.
    EXPECT_EQ(api.LastError().rfind("Invalid TALQ System Directory\n", 0), 0u);
    EXPECT_NE(api.LastError().find("nothing-here"), std::string::npos) << api.LastError();
}

void RawExecOn(const std::string& sys, const std::string& sql) {
    sqlite3* db = nullptr;
    ASSERT_EQ(sqlite3_open((sys + "/system.db").c_str(), &db), SQLITE_OK);
    EXPECT_EQ(sqlite3_exec(db, sql.c_str(), nullptr, nullptr, nullptr), SQLITE_OK);
    sqlite3_close(db);
}

using testsupport::ConnectLoopback;
using testsupport::Exchange;

TEST_F(EndToEnd, BadFramesEndOnlyTheirOwnConnection) {
    testsupport::ServerProcess server(sys_, true);
    ASSERT_GT(server.Port(), 0) << server.Output();
    std::mt19937 random(8);
    int good = ConnectLoopback(server.Port());
    ASSERT_GE(good, 0);
    EXPECT_EQ(Exchange(good, RequestFrame::BuildRequest("TALQGetSystemFlags", random)), "1025");

    std::string badSelectors = RequestFrame::BuildRequest("TALQGetVersion", random);
    badSelectors[4] = static_cast<char>(200);
    std::string cutOff = RequestFrame::BuildRequest(std::string(5000, 'A'), random).substr(0, 3000);
    std::vector<std::string> attacks = {
        std::string("\0\0\0\x64", 4) + std::string(96, 'x'),         // under 201
        std::string("\x7F\xFF\xFF\xFF", 4) + std::string(500, 'x'),  // over the cap
        badSelectors,
    };
    for (const std::string& attack : attacks) {
        int fd = ConnectLoopback(server.Port());
        ASSERT_GE(fd, 0);
        EXPECT_EQ(Exchange(fd, attack), "CLOSED");
        ::close(fd);
    }
    int cut = ConnectLoopback(server.Port());
    ::send(cut, cutOff.data(), cutOff.size(), MSG_NOSIGNAL);
    ::close(cut);

    EXPECT_EQ(Exchange(good, RequestFrame::BuildRequest("TALQGetVersion", random)).rfind("8.6.", 0),
              0u);
    std::string empty = RequestFrame::BuildRequest("", random);
    EXPECT_EQ(Exchange(good, empty).rfind("ERROR", 0), 0u) << "malformed commands get ERROR";
    ::close(good);
    EXPECT_EQ(server.Stop(SIGINT), 0);
}

// One connection's request waits on a database lock held elsewhere; the
// other connection's requests are all answered meanwhile, and the waiting
// one completes once the lock goes.
TEST_F(EndToEnd, ARequestWaitingOnTheDatabaseHoldsUpNoOtherConnection) {
    const std::string sys = dir_.Path() + "/pages";
    testsupport::MakeQuerySystem(sys, 20, 0);
    testsupport::ServerProcess server(sys);
    ASSERT_GT(server.Port(), 0) << server.Output();
    std::mt19937 random(3);
    int slow = ConnectLoopback(server.Port());
    int fast = ConnectLoopback(server.Port());
    ASSERT_GE(slow, 0);
    ASSERT_GE(fast, 0);
    const std::string login =
        RequestFrame::BuildRequest("TALQRequiredLogin,ADMIN,SECRET,,DOM,1,8.6,1", random);
    ASSERT_EQ(Exchange(slow, login).substr(0, 1), "1");
    ASSERT_EQ(Exchange(fast, login).substr(0, 1), "1");

    sqlite3* other = nullptr;
    ASSERT_EQ(sqlite3_open((sys + "/system.db").c_str(), &other), SQLITE_OK);
    ASSERT_EQ(sqlite3_exec(other, "BEGIN IMMEDIATE; UPDATE pages SET doc_date = '' WHERE seq = 9",
                           nullptr, nullptr, nullptr),
              SQLITE_OK);
    std::string write = RequestFrame::BuildRequest(
        "TALQDTPutDate,ADMIN,SECRET,Demo Project,K00003,20200101", random);
    ::send(slow, write.data(), write.size(), MSG_NOSIGNAL);
    for (int i = 1; i <= 10; ++i) {
        EXPECT_EQ(
            Exchange(fast, RequestFrame::BuildRequest("TALQFindKey,ADMIN,SECRET,Demo Project," +
                                                          testsupport::PageKey(i) + ",0",
                                                      random))
                .rfind("ERROR", 0),
            std::string::npos)
            << i;
    }
    pollfd waiting{slow, POLLIN, 0};
    EXPECT_EQ(::poll(&waiting, 1, 0), 0) << "the write is still waiting for the lock";
    sqlite3_exec(other, "COMMIT", nullptr, nullptr, nullptr);
    sqlite3_close(other);
    EXPECT_EQ(Exchange(slow, ""), "OK");
    ::close(slow);
    ::close(fast);
    EXPECT_EQ(server.Stop(SIGTERM), 0);
}

TEST_F(EndToEnd, ConnectionsPastTheCapAndIdleOnesAreClosedOversizedCommandsRefused) {
    // The idle time-out outlasts the large sends below on a loaded machine,
    // and stays inside the five seconds Exchange waits for a close.
    testsupport::ServerProcess server(
        sys_, false, {"--max-connections", "2", "--idle-timeout", "3", "--max-buffered-mb", "8"});
    ASSERT_GT(server.Port(), 0) << server.Output();
    std::mt19937 random(4);
    const std::string flags = RequestFrame::BuildRequest("TALQGetSystemFlags", random);
    // Logged in: of two places, connections without a login hold one.
    const std::string login =
        RequestFrame::BuildRequest("TALQRequiredLogin,ADMIN,SECRET,,DOM,1,8.6,1", random);
    int first = ConnectLoopback(server.Port());
    EXPECT_EQ(Exchange(first, login).substr(0, 1), "1");
    int second = ConnectLoopback(server.Port());
    EXPECT_EQ(Exchange(second, login).substr(0, 1), "1");
    int third = ConnectLoopback(server.Port());
    EXPECT_EQ(Exchange(third, flags), "ERROR: Too Many Connections") << "past the cap";
    ::close(third);

    // A long text of commas is refused before it is split.
    EXPECT_EQ(Exchange(first, RequestFrame::BuildRequest(std::string(6 << 20, ','), random)),
              "ERROR: Command Too Long");
    // Past what the server buffers for all connections, the one that sends
    // goes; the others stay.
    EXPECT_EQ(Exchange(second, RequestFrame::BuildRequest(std::string(9 << 20, ','), random)),
              "CLOSED");
    ::close(second);
    second = ConnectLoopback(server.Port());
    EXPECT_EQ(Exchange(first, flags), "1025");
    EXPECT_EQ(Exchange(second, flags), "1025");
    // Both go quiet: the server closes them, which frees their places.
    EXPECT_EQ(Exchange(first, ""), "CLOSED");
    EXPECT_EQ(Exchange(second, ""), "CLOSED");
    ::close(first);
    ::close(second);
    int later = ConnectLoopback(server.Port());
    EXPECT_EQ(Exchange(later, flags), "1025");
    ::close(later);
    EXPECT_EQ(server.Stop(SIGTERM), 0);
}

// Two users asking for the same page lock at the same moment: one gets it,
// the other is told who holds it, page after page.
TEST_F(EndToEnd, ConcurrentLockRequestsForOnePageHaveOneWinner) {
    const std::string sys = dir_.Path() + "/pages";
    testsupport::MakeQuerySystem(sys, 30, 0);
    RawExecOn(sys,
              "INSERT INTO users(user_id, password) VALUES ('OTHER', 'pw');"
              "INSERT INTO user_projects(user_id, project_id, security) VALUES ('OTHER', 1, -1)");
    testsupport::ServerProcess server(sys);
    ASSERT_GT(server.Port(), 0) << server.Output();
    std::mt19937 random(5);
    int a = ConnectLoopback(server.Port());
    int b = ConnectLoopback(server.Port());
    ASSERT_EQ(Exchange(a, RequestFrame::BuildRequest("TALQRequiredLogin,ADMIN,SECRET,,DOM,1,8.6,1",
                                                     random))
                  .substr(0, 1),
              "1");
    ASSERT_EQ(
        Exchange(b, RequestFrame::BuildRequest("TALQRequiredLogin,OTHER,pw,,DOM,1,8.6,1", random))
            .substr(0, 1),
        "1");
    for (int i = 1; i <= 30; ++i) {
        const std::string key = testsupport::PageKey(i);
        std::string first =
            RequestFrame::BuildRequest("TALQSetPageLock,ADMIN,SECRET,Demo Project," + key, random);
        std::string second =
            RequestFrame::BuildRequest("TALQSetPageLock,OTHER,pw,Demo Project," + key, random);
        ::send(a, first.data(), first.size(), MSG_NOSIGNAL);
        ::send(b, second.data(), second.size(), MSG_NOSIGNAL);
        std::string ra = Exchange(a, ""), rb = Exchange(b, "");
        EXPECT_EQ((ra == "OK") + (rb == "OK"), 1) << key << ": " << ra << " / " << rb;
        EXPECT_TRUE(ra == "ERROR: Page Locked by OTHER" || rb == "ERROR: Page Locked by ADMIN")
            << key << ": " << ra << " / " << rb;
    }
    ::close(a);
    ::close(b);
    EXPECT_EQ(server.Stop(SIGTERM), 0);
}

}  // namespace

// The server's caps protect the clients that behave: a connection that holds
// buffers, places or replies it never reads is the one that goes, never
// another. Time-outs are one second, the waits for them generous.
#include <gtest/gtest.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <fstream>
#include <functional>
#include <thread>

#include "raw_client.h"
#include "server/request_frame.h"
#include "support/scoped_env.h"
#include "support/server_process.h"
#include "test_system.h"

namespace {

using testsupport::ConnectLoopback;
using testsupport::Exchange;

class ConnectionLimits : public ::testing::Test {
  public:
    void SetUp() override {
        sys_ = dir_.Path() + "/system";
        testsupport::MakeTestSystem(sys_);
    }
    std::string Flags(int fd) {
        return Exchange(fd, RequestFrame::BuildRequest("TALQGetSystemFlags", random_));
    }
    bool LogIn(int fd) {
        return Exchange(fd, RequestFrame::BuildRequest(
                                "TALQRequiredLogin,ADMIN,SECRET,,DOM,1,8.6,1", random_))
                   .substr(0, 1) == "1";
    }
    // The first bytes of a request frame that announces more.
    std::string PartOfFrame(std::size_t announced, std::size_t sent) {
        return RequestFrame::BuildRequest(std::string(announced, ','), random_).substr(0, sent);
    }
    static bool Closed(int fd) {
        char c;
        ssize_t n = ::recv(fd, &c, 1, MSG_DONTWAIT);
        return n == 0 || (n < 0 && errno != EAGAIN);
    }
    // Whether a new client is served within ten seconds.
    bool NewClientServed(int port) {
        auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
        while (std::chrono::steady_clock::now() < deadline) {
            int fd = ConnectLoopback(port);
            const std::string reply = Flags(fd);
            ::close(fd);
            if (reply == "1025") return true;
            std::this_thread::sleep_for(std::chrono::milliseconds(200));
        }
        return false;
    }

    testsupport::ScopedTempDir dir_;
    std::string sys_;
    std::mt19937 random_{11};
};

TEST_F(ConnectionLimits, TheConnectionHoldingTheMostBufferedInputGoesNotTheNextToSend) {
    testsupport::ServerProcess server(sys_, false, {"--max-buffered-mb", "8"});
    ASSERT_GT(server.Port(), 0) << server.Output();
    int reviewer = ConnectLoopback(server.Port());
    ASSERT_EQ(Flags(reviewer), "1025");
    // Two frames begun, together a few bytes short of the limit; the
    // reviewer's next request takes the server past it.
    const std::size_t part = (4u << 20) - 4;
    int hogs[2] = {ConnectLoopback(server.Port()), ConnectLoopback(server.Port())};
    for (int fd : hogs) {
        const std::string bytes = PartOfFrame(6u << 20, part);
        ASSERT_EQ(::send(fd, bytes.data(), bytes.size(), MSG_NOSIGNAL), ssize_t(part));
    }
    for (int i = 0; i < 200; ++i) ASSERT_EQ(Flags(reviewer), "1025") << i;
    int newcomer = ConnectLoopback(server.Port());
    EXPECT_EQ(Flags(newcomer), "1025");
    EXPECT_EQ(Closed(hogs[0]) + Closed(hogs[1]), 1);
    for (int fd : {reviewer, newcomer, hogs[0], hogs[1]}) ::close(fd);
}

// With one place, a connection that keeps it without completing anything
// must give it up in time.
TEST_F(ConnectionLimits, NeitherAPartFrameNorUnreadRepliesKeepAConnectionPastItsTimeOuts) {
    struct Case {
        const char* name;
        std::vector<std::string> options;
        std::function<void(ConnectionLimits&, int)> hold;
    };
    auto trickle = [](ConnectionLimits& t, int fd) {
        // A byte every tenth of a second of a frame that never ends, for
        // longer than a new client waits.
        const std::string frame = t.PartOfFrame(1000, 150);
        for (char c : frame) {
            if (::send(fd, &c, 1, MSG_NOSIGNAL) != 1) return;
            std::this_thread::sleep_for(std::chrono::milliseconds(100));
        }
    };
    auto pipeline = [](ConnectionLimits& t, int fd) {
        ASSERT_TRUE(t.LogIn(fd));
        // Page images asked for and never read.
        std::string text(3000, 'W');
        for (int i = 0; i < 1000; ++i) {
            std::string frame = RequestFrame::BuildRequest("TALQSendTextImage," + text, t.random_);
            if (::send(fd, frame.data(), frame.size(), MSG_NOSIGNAL | MSG_DONTWAIT) < 0) break;
        }
    };
    const Case cases[] = {
        {"bytes do not renew the idle time", {"--idle-timeout", "1"}, trickle},
        {"unread replies are no activity", {"--idle-timeout", "1"}, pipeline},
        {"a frame must end in time", {"--frame-timeout", "1"}, trickle},
    };
    for (const Case& c : cases) {
        std::vector<std::string> options = c.options;
        options.insert(options.end(), {"--max-connections", "1"});
        testsupport::ServerProcess server(sys_, false, options);
        ASSERT_GT(server.Port(), 0) << server.Output();
        int holder = ConnectLoopback(server.Port());
        std::thread hold(c.hold, std::ref(*this), holder);
        EXPECT_TRUE(NewClientServed(server.Port())) << c.name;
        hold.join();
        ::close(holder);
    }
}

TEST_F(ConnectionLimits, OneAddressGetsItsShareOfPlacesAndIsToldWhenRefused) {
    testsupport::ServerProcess server(sys_, false,
                                      {"--max-per-address", "2", "--max-connections", "4"});
    ASSERT_GT(server.Port(), 0) << server.Output();
    // Logged in: of two places, connections without a login hold one.
    int first = ConnectLoopback(server.Port(), "127.0.0.1");
    EXPECT_TRUE(LogIn(first));
    int second = ConnectLoopback(server.Port(), "127.0.0.1");
    EXPECT_TRUE(LogIn(second));
    int third = ConnectLoopback(server.Port(), "127.0.0.1");
    int other = ConnectLoopback(server.Port(), "127.0.0.2");
    EXPECT_EQ(Flags(third), "ERROR: Too Many Connections From This Address");
    EXPECT_EQ(Flags(other), "1025");
    for (int fd : {first, second, third, other}) ::close(fd);
}

// Connections that never log in must neither outlast their grace, however
// they keep asking, nor keep a login out.
TEST_F(ConnectionLimits, ConnectionsThatNeverLogInNeitherStayNorKeepALoginOut) {
    testsupport::ServerProcess server(
        sys_, false, {"--login-grace", "2", "--max-connections", "16", "--max-per-address", "4"});
    ASSERT_GT(server.Port(), 0) << server.Output();
    const std::string ping = RequestFrame::BuildRequest("TALQGetVersion", random_);
    int pinger = ConnectLoopback(server.Port(), "127.0.2.2");
    std::string reply;
    for (int i = 0; i < 20 && (reply = Exchange(pinger, ping)) != "CLOSED"; ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(300));
    EXPECT_EQ(reply, "CLOSED") << "asking renews no grace";
    ::close(pinger);
    // Four from each of eight addresses take what they may of the places.
    std::vector<int> crowd(32);
    for (std::size_t i = 0; i < crowd.size(); ++i)
        crowd[i] = ConnectLoopback(server.Port(), "127.0.1." + std::to_string(i % 8));
    int user = ConnectLoopback(server.Port(), "127.0.2.1");
    EXPECT_TRUE(LogIn(user)) << "no login among the crowd";
    std::this_thread::sleep_for(std::chrono::seconds(3));
    EXPECT_EQ(Flags(user), "1025") << "closed past the grace though logged in";
    for (int fd : crowd) ::close(fd);
    ::close(user);
}

TEST_F(ConnectionLimits, AFrameIsTimedByItsProgressNotItsLength) {
    testsupport::ServerProcess server(sys_, false, {"--frame-timeout", "2"});
    ASSERT_GT(server.Port(), 0) << server.Output();
    // 600 KB at 150 KB/s, twice the time-out, goes through; a frame that stops goes.
    const std::string frame = RequestFrame::BuildRequest(std::string(600000, ','), random_);
    int fd = ConnectLoopback(server.Port());
    std::size_t at = 0;
    for (; frame.size() - at > 15000; at += 15000) {
        ASSERT_EQ(::send(fd, frame.data() + at, 15000, MSG_NOSIGNAL), 15000) << at;
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
    }
    EXPECT_EQ(Exchange(fd, frame.substr(at)), "ERROR: Unknown Command ");
    EXPECT_EQ(Exchange(fd, PartOfFrame(1000, 500), false), "CLOSED");
    ::close(fd);
}

TEST_F(ConnectionLimits, PartFramesHoldNoMoreMemoryThanTheBufferCap) {
#if defined(__SANITIZE_ADDRESS__)
    GTEST_SKIP() << "the sanitizer's allocator holds freed memory back";
#endif
    testsupport::ServerProcess server(sys_, false, {"--max-buffered-mb", "16"});
    ASSERT_GT(server.Port(), 0) << server.Output();
    auto residentMb = [&] {
        long pages = 0, resident = 0;
        std::ifstream("/proc/" + std::to_string(server.Pid()) + "/statm") >> pages >> resident;
        return resident * ::sysconf(_SC_PAGESIZE) >> 20;
    };
    int first = ConnectLoopback(server.Port());
    ASSERT_EQ(Flags(first), "1025");
    const long before = residentMb();
    // 64 connections each send 1.1 MB of a 60 MiB frame: 70 MB for a 16 MB cap.
    const std::string part = PartOfFrame(60u << 20, 1100000);
    std::vector<int> fds(64);
    for (std::size_t i = 0; i < fds.size(); ++i) {
        fds[i] = ConnectLoopback(server.Port(), "127.0.3." + std::to_string(i % 8));
        ::send(fds[i], part.data(), part.size(), MSG_NOSIGNAL);
    }
    std::this_thread::sleep_for(std::chrono::seconds(2));
    EXPECT_LT(residentMb() - before, 16 + 8);
    for (int fd : fds) ::close(fd);
    ::close(first);
}

}  // namespace

// The server's caps protect the clients that behave: a connection that holds
// buffers, places or replies it never reads is the one that goes, never
// another. Time-outs are one second, the waits for them generous.
#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <linux/filter.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/ioctl.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <fstream>
#include <functional>
#include <latch>
#include <sstream>
#include <thread>

#include "engine/system_db.h"
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
    // Twelve pages in a system of their own, with the user VIEWER.
    std::string PagesWithViewer() {
        const std::string sys = dir_.Path() + "/pages";
        testsupport::MakeQuerySystem(sys, 12, 0);
        AddUser(sys, "VIEWER", "PASS");
        return sys;
    }
    std::string Flags(int fd) {
        return Exchange(fd, RequestFrame::BuildRequest("TALQGetSystemFlags", random_));
    }
    std::string Ask(int fd, const std::string& command) {
        return Exchange(fd, RequestFrame::BuildRequest(command, random_));
    }
    std::string LogInReply(int fd, const std::string& user, const std::string& password) {
        return Ask(fd, "TALQRequiredLogin," + user + "," + password + ",,DOM,1,8.6,1");
    }
    bool LogIn(int fd, const std::string& user = "ADMIN", const std::string& password = "SECRET") {
        return LogInReply(fd, user, password).substr(0, 1) == "1";
    }
    // Changes a system before a server starts.
    static void Exec(const std::string& dir, const std::string& sql) {
        docserver::SystemDb db;
        std::string error;
        ASSERT_TRUE(db.Open(dir + "/system.db", false, error)) << error;
        ASSERT_TRUE(db.Exec(sql, error)) << error;
    }
    // A user with rights in the demo project.
    static void AddUser(const std::string& dir, const std::string& user,
                        const std::string& password) {
        Exec(dir, "INSERT INTO users(user_id, password) VALUES ('" + user + "', '" + password +
                      "'); INSERT INTO user_projects(user_id, project_id, security) VALUES ('" +
                      user + "', 1, 1)");
    }
    static long ResidentMb(pid_t pid) {
        long pages = 0, resident = 0;
        std::ifstream("/proc/" + std::to_string(pid) + "/statm") >> pages >> resident;
        return resident * ::sysconf(_SC_PAGESIZE) >> 20;
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
    // A logged-in connection of the demo project with the given receive
    // buffer (0: the system's), and the answer to its lock of the key.
    std::pair<int, std::string> OpenWithLock(int port, const std::string& user,
                                             const std::string& key, int window) {
        int fd = ::socket(AF_INET, SOCK_STREAM, 0);
        if (window > 0) ::setsockopt(fd, SOL_SOCKET, SO_RCVBUF, &window, sizeof window);
        sockaddr_in to{
            AF_INET, htons(static_cast<std::uint16_t>(port)), {htonl(INADDR_LOOPBACK)}, {}};
        EXPECT_EQ(::connect(fd, reinterpret_cast<sockaddr*>(&to), sizeof to), 0);
        const std::string login = user + (user == "ADMIN" ? ",SECRET" : ",PASS");
        EXPECT_EQ(Ask(fd, "TALQRequiredLogin," + login + ",,DOM,1,8.6,1").substr(0, 1), "1");
        Ask(fd, "TALQGetProjectInfo," + login + ",Demo Project");
        return {fd, Ask(fd, "TALQSetPageLock," + login + ",Demo Project," + key)};
    }
    // Asks for more than the window holds, reads none of it and waits until
    // no more comes; how many it asked.
    int FillWindow(int fd, const std::string& command = "TALQGetSystemFlags", int times = 200) {
        std::string asked;
        for (int i = 0; i < times; ++i) asked += RequestFrame::BuildRequest(command, random_);
        ::send(fd, asked.data(), asked.size(), MSG_NOSIGNAL);
        for (int held = -1, now = 0, still = 0; still < 6; still = held == now ? still + 1 : 0) {
            held = now;
            std::this_thread::sleep_for(std::chrono::milliseconds(250));
            ::ioctl(fd, FIONREAD, &now);
        }
        return times;
    }
    // From now on the peer drops whatever comes: no answer, no close.
    static bool Cut(int fd) {
        static sock_filter dropAll[] = {{BPF_RET | BPF_K, 0, 0, 0}};
        static const sock_fprog program{1, dropAll};
        return ::setsockopt(fd, SOL_SOCKET, SO_ATTACH_FILTER, &program, sizeof program) == 0;
    }
    // Reads reply frames until there are as many or none comes for five
    // seconds; how many came.
    static int ReadReplies(int fd, int expected) {
        RequestFrame::FrameReader reader;
        std::string payload;
        int frames = 0;
        pollfd p{fd, POLLIN, 0};
        char buffer[4096];
        while (frames != expected && ::poll(&p, 1, 5000) > 0) {
            const ssize_t n = ::recv(fd, buffer, sizeof buffer, 0);
            if (n <= 0) break;
            reader.Feed(buffer, static_cast<std::size_t>(n));
            while (reader.Next(payload) == RequestFrame::FrameReader::Status::kFrame) ++frames;
        }
        return frames;
    }
    // The server's side of a connection as the kernel lists it: whether it
    // is open, whether a window probe is due and when, and how many probes
    // in a row went unanswered.
    struct Side {
        bool open = false;
        bool probing = false;
        std::chrono::milliseconds nextProbe{200};
        int unanswered = 0;
    };
    static Side ServerSide(int serverPort, int peerPort) {
        std::ifstream table("/proc/net/tcp");
        std::string line;
        std::getline(table, line);
        Side side;
        while (std::getline(table, line)) {
            std::istringstream fields(line);
            std::string slot, local, remote, state, queues, timer, retransmits, uid;
            int probes = 0;
            fields >> slot >> local >> remote >> state >> queues >> timer >> retransmits >> uid >>
                probes;
            const auto port = [](const std::string& address) {
                return std::stoi(address.substr(address.find(':') + 1), nullptr, 16);
            };
            if (port(local) != serverPort || port(remote) != peerPort) continue;
            side.open = state == "01";
            side.probing = timer.substr(0, 2) == "04";
            side.nextProbe = std::chrono::milliseconds(
                10 * std::stol(timer.substr(timer.find(':') + 1), nullptr, 16));
            side.unanswered = probes;
        }
        return side;
    }
    static bool ClosedWithin(int fd, std::chrono::seconds wait) {
        pollfd p{fd, POLLIN, 0};
        return ::poll(&p, 1, static_cast<int>(wait.count() * 1000)) > 0 && Closed(fd);
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
    ASSERT_TRUE(LogIn(reviewer));
    // Two frames begun, together a few bytes short of the limit; the
    // reviewer's next request takes the server past it.
    const std::size_t part = (4u << 20) - 4;
    int hogs[2] = {ConnectLoopback(server.Port()), ConnectLoopback(server.Port())};
    for (int fd : hogs) {
        ASSERT_TRUE(LogIn(fd));
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
    // Two places, both logged in: the address has no third; another has.
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

// A login that waits for a worker when the grace ends is let finish.
TEST_F(ConnectionLimits, ALoginQueuedWhenTheGraceEndsIsLetFinish) {
    testsupport::ServerProcess server(sys_, false, {"--workers", "1", "--login-grace", "2"});
    ASSERT_GT(server.Port(), 0) << server.Output();
    int working = ConnectLoopback(server.Port());
    ASSERT_TRUE(LogIn(working));
    // Another program holds the system: the one worker waits in a write.
    docserver::SystemDb writer;
    std::string error;
    ASSERT_TRUE(writer.Open(sys_ + "/system.db", false, error)) << error;
    ASSERT_TRUE(writer.Exec("BEGIN IMMEDIATE", error)) << error;
    int late = ConnectLoopback(server.Port());
    const std::string change =
        RequestFrame::BuildRequest("TALQChangePassword,ADMIN,SECRET,SECRET", random_);
    ::send(working, change.data(), change.size(), MSG_NOSIGNAL);
    const std::string login =
        RequestFrame::BuildRequest("TALQRequiredLogin,ADMIN,SECRET,,DOM,1,8.6,1", random_);
    ::send(late, login.data(), login.size(), MSG_NOSIGNAL);
    std::this_thread::sleep_for(std::chrono::milliseconds(2500));
    writer.Exec("ROLLBACK", error);
    EXPECT_EQ(Exchange(late, "", true, 60000).substr(0, 1), "1");
    EXPECT_EQ(Flags(late), "1025");
    for (int fd : {working, late}) ::close(fd);
}

TEST_F(ConnectionLimits, AFrameIsTimedByItsProgressNotItsLength) {
    testsupport::ServerProcess server(sys_, false, {"--frame-timeout", "2"});
    ASSERT_GT(server.Port(), 0) << server.Output();
    // 600 KB at 150 KB/s, twice the time-out, goes through; a frame that stops goes.
    const std::string frame = RequestFrame::BuildRequest(std::string(600000, ','), random_);
    int fd = ConnectLoopback(server.Port());
    ASSERT_TRUE(LogIn(fd));
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
    testsupport::ServerProcess server(sys_, false,
                                      {"--max-buffered-mb", "16", "--max-per-user", "100"});
    ASSERT_GT(server.Port(), 0) << server.Output();
    int first = ConnectLoopback(server.Port());
    ASSERT_EQ(Flags(first), "1025");
    std::vector<int> fds(64);
    for (std::size_t i = 0; i < fds.size(); ++i) {
        fds[i] = ConnectLoopback(server.Port(), "127.0.3." + std::to_string(i % 8));
        ASSERT_TRUE(LogIn(fds[i])) << i;
    }
    const long before = ResidentMb(server.Pid());
    // 64 connections each send 1.1 MB of a 60 MiB frame: 70 MB for a 16 MB cap.
    const std::string part = PartOfFrame(60u << 20, 1100000);
    for (int fd : fds) ::send(fd, part.data(), part.size(), MSG_NOSIGNAL);
    std::this_thread::sleep_for(std::chrono::seconds(2));
    EXPECT_LT(ResidentMb(server.Pid()) - before, 16 + 8);
    for (int fd : fds) ::close(fd);
    ::close(first);
}

// Strangers cannot grow the server: a frame larger than a login is refused
// before a login, and failed logins under huge names keep nothing of them.
TEST_F(ConnectionLimits, StrangersGrowNoMemoryByLongNamesOrLargeFramesBeforeALogin) {
    {
        testsupport::ServerProcess server(sys_, false, {"--max-buffered-mb", "16"});
        ASSERT_GT(server.Port(), 0) << server.Output();
        int reviewer = ConnectLoopback(server.Port());
        ASSERT_TRUE(LogIn(reviewer));
        // Sixteen strangers send half of a 1.9 MB frame each: 15 MB of the
        // 16 MB cap, were they kept.
        const std::string half = PartOfFrame(1900000, 950000);
        std::vector<int> strangers(16);
        for (std::size_t i = 0; i < strangers.size(); ++i) {
            strangers[i] = ConnectLoopback(server.Port(), "127.0.4." + std::to_string(i % 8));
            ::send(strangers[i], half.data(), half.size(), MSG_NOSIGNAL);
        }
        EXPECT_EQ(Ask(reviewer, "TALQGetSystemFlags," + std::string(2000000, 'x')), "1025")
            << "a logged-in user's large request was cut";
        int longest = ConnectLoopback(server.Port());
        EXPECT_EQ(Ask(longest, "TALQRequiredLogin," + std::string(128, 'U') + "," +
                                   std::string(RequestFrame::kMaxPasswordLength, 'p') + ",," +
                                   std::string(255, 'D') + ",-32768,8.6,1"),
                  "0")
            << "the longest login was not answered";
        ::close(longest);
        for (int fd : strangers) {
            EXPECT_TRUE(ClosedWithin(fd, std::chrono::seconds(5)));
            ::close(fd);
        }
        ::close(reviewer);
    }
#if !defined(__SANITIZE_ADDRESS__)
    testsupport::ServerProcess server(sys_);
    ASSERT_GT(server.Port(), 0) << server.Output();
    std::vector<int> guessers(16);
    for (std::size_t i = 0; i < guessers.size(); ++i) {
        guessers[i] = ConnectLoopback(server.Port(), "127.0.5." + std::to_string(i));
        ASSERT_TRUE(LogIn(guessers[i]));
    }
    const long before = ResidentMb(server.Pid());
    // Ten failed logins from each address, the most it gets before its
    // hold, each under a new name of a megabyte: 160 MB of names.
    for (int round = 0; round < 10; ++round) {
        for (std::size_t i = 0; i < guessers.size(); ++i) {
            const std::string name = std::string(1u << 20, 'N') + std::to_string(round * 100 + i);
            EXPECT_EQ(LogInReply(guessers[i], name, "x"), "0");
        }
    }
    EXPECT_LT(ResidentMb(server.Pid()) - before, 64);
    for (int fd : guessers) ::close(fd);
#endif
}

// An office behind one address logs in all at once; one account logged in
// from everywhere still leaves places to others.
TEST_F(ConnectionLimits, ThirtyTwoLoginsAtOnceFromOneAddressGetInAndOneUserKeepsToItsCap) {
    {
        testsupport::ServerProcess server(sys_);
        ASSERT_GT(server.Port(), 0) << server.Output();
        constexpr int kViewers = 32;
        std::vector<int> fds(kViewers);
        std::vector<std::string> replies(kViewers);
        std::latch connected(kViewers);
        std::vector<std::thread> viewers;
        for (int i = 0; i < kViewers; ++i) {
            viewers.emplace_back([&, i] {
                fds[i] = ConnectLoopback(server.Port());
                connected.arrive_and_wait();
                std::mt19937 random(static_cast<unsigned>(i));
                // 32 password checks on as few as two workers take a while.
                replies[i] = Exchange(fds[i],
                                      RequestFrame::BuildRequest(
                                          "TALQRequiredLogin,ADMIN,SECRET,,DOM,1,8.6,1", random),
                                      true, 60000);
            });
        }
        for (std::thread& t : viewers) t.join();
        for (int i = 0; i < kViewers; ++i) {
            EXPECT_EQ(replies[i].substr(0, 1), "1") << i << ": " << replies[i];
            ::close(fds[i]);
        }
    }
    AddUser(sys_, "LOW", "PASS");
    testsupport::ServerProcess server(sys_, false,
                                      {"--max-per-user", "4", "--max-connections", "8"});
    ASSERT_GT(server.Port(), 0) << server.Output();
    std::vector<int> low;
    int refused = 0;
    for (int i = 0; i < 8; ++i) {
        int fd = ConnectLoopback(server.Port(), "127.0.6." + std::to_string(i));
        const std::string reply = LogInReply(fd, "LOW", "PASS");
        if (reply.substr(0, 1) == "1") {
            low.push_back(fd);
            continue;
        }
        EXPECT_EQ(reply, "ERROR: Too Many Connections For This User");
        ++refused;
        ::close(fd);
    }
    EXPECT_EQ(low.size(), 4u);
    EXPECT_EQ(refused, 4);
    int admin = ConnectLoopback(server.Port());
    EXPECT_TRUE(LogIn(admin));
    ::close(admin);
    for (int fd : low) ::close(fd);
}

// A viewer whose network went away without a close gives its page lock back
// once the probes find it gone; one that is only idle keeps its lock. The
// same user is told how long that takes; another user is not.
TEST_F(ConnectionLimits, ASilentPeersPageLockIsReleasedAndAnIdleViewersIsKept) {
    const std::string sys = PagesWithViewer();
    testsupport::ServerProcess server(sys, false, {"--dead-peer-timeout", "2"});
    ASSERT_GT(server.Port(), 0) << server.Output();
    const std::string viewer = "VIEWER,PASS,Demo Project,";
    const std::string admin = "ADMIN,SECRET,Demo Project,";
    auto open = [&](const std::string& user, const std::string& password) {
        int fd = ConnectLoopback(server.Port());
        EXPECT_TRUE(LogIn(fd, user, password));
        EXPECT_EQ(Ask(fd, "TALQGetProjectInfo," + user + "," + password + ",Demo Project")
                      .rfind("ERROR", 0),
                  std::string::npos);
        return fd;
    };
    int gone = open("VIEWER", "PASS");
    int idle = open("VIEWER", "PASS");
    ASSERT_EQ(Ask(gone, "TALQSetPageLock," + viewer + "K00001"), "OK");
    ASSERT_EQ(Ask(idle, "TALQSetPageLock," + viewer + "K00002"), "OK");
    // The same user may be the silent peer come back: told when it goes.
    EXPECT_EQ(Ask(idle, "TALQSetPageLock," + viewer + "K00001"),
              "ERROR: Page Locked by VIEWER" + RequestFrame::LockedOnAnotherConnection(2));
    ASSERT_TRUE(Cut(gone));

    int other = open("ADMIN", "SECRET");
    std::string reply;
    for (int i = 0; i < 100 && (reply = Ask(other, "TALQSetPageLock," + admin + "K00001")) != "OK";
         ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(200));
    EXPECT_EQ(reply, "OK") << "the silent peer's lock stayed";
    EXPECT_EQ(Ask(other, "TALQSetPageLock," + admin + "K00002"), "ERROR: Page Locked by VIEWER");
    for (int fd : {gone, idle, other}) ::close(fd);
}

// Keepalive waits while replies are unacknowledged: a viewer cut right after
// it asked, or behind a window its unread replies fill, still gives its lock
// back within the time-out; one that only reads slowly keeps its own.
TEST_F(ConnectionLimits, APeerCutWithRepliesInFlightGoesInTheTimeOutAndASlowReaderStays) {
    const std::string sys = PagesWithViewer();
    testsupport::ServerProcess server(sys, false, {"--dead-peer-timeout", "2"});
    ASSERT_GT(server.Port(), 0) << server.Output();
    const auto [inFlight, lock1] = OpenWithLock(server.Port(), "ADMIN", "K00001", 0);
    const auto [behindShutWindow, lock2] = OpenWithLock(server.Port(), "ADMIN", "K00002", 4096);
    const auto [slow, lock3] = OpenWithLock(server.Port(), "ADMIN", "K00003", 4096);
    ASSERT_EQ(lock1 + lock2 + lock3, "OKOKOK");
    FillWindow(slow);
    const auto shut = std::chrono::steady_clock::now();
    FillWindow(behindShutWindow);
    for (int fd : {behindShutWindow, inFlight}) ASSERT_TRUE(Cut(fd));
    Exchange(inFlight, RequestFrame::BuildRequest("TALQGetSystemFlags", random_), false, 0);

    const int other = OpenWithLock(server.Port(), "VIEWER", "K00004", 0).first;
    for (const char* key : {"K00001", "K00002"}) {
        std::string reply;
        for (int i = 0; i < 100 && (reply = Ask(other, std::string("TALQSetPageLock,VIEWER,PASS,"
                                                                   "Demo Project,") +
                                                           key)) != "OK";
             ++i)
            std::this_thread::sleep_for(std::chrono::milliseconds(200));
        EXPECT_EQ(reply, "OK") << key << ": the cut peer's lock stayed";
    }
    std::this_thread::sleep_until(shut + std::chrono::seconds(4));
    EXPECT_EQ(Ask(other, "TALQSetPageLock,VIEWER,PASS,Demo Project,K00003"),
              "ERROR: Page Locked by ADMIN")
        << "the slow reader lost its connection";
    for (int fd : {inFlight, behindShutWindow, slow, other}) ::close(fd);
}

// The window probes of a reader that reads slowly space out; a network
// hiccup shorter than the time-out that takes one of them costs the reader
// neither its connection, nor its lock, nor a reply.
TEST_F(ConnectionLimits, ASlowReaderKeepsItsLockAndRepliesThroughAHiccupThatLosesAWindowProbe) {
    const std::string sys = PagesWithViewer();
    Exec(sys, "UPDATE pages SET ocr_text = hex(zeroblob(32768)) WHERE seq = 2");
    testsupport::ServerProcess server(sys, false, {"--dead-peer-timeout", "3"});
    ASSERT_GT(server.Port(), 0) << server.Output();
    const auto [reader, lock] = OpenWithLock(server.Port(), "ADMIN", "K00001", 4096);
    ASSERT_EQ(lock, "OK");
    // Twenty large replies: most wait in the server while the window is shut.
    const int asked = FillWindow(reader, "TALQGetPageOcr,,,,K00002", 20);
    sockaddr_in own{};
    socklen_t size = sizeof own;
    ::getsockname(reader, reinterpret_cast<sockaddr*>(&own), &size);
    const auto side = [&] { return ServerSide(server.Port(), ntohs(own.sin_port)); };

    // Out of reach from just before a probe that follows the last by more
    // than a second until just after it is lost, a hiccup of about a second.
    bool lost = false;
    for (int tries = 0; tries < 8 && !lost; ++tries) {
        const Side before = side();
        ASSERT_TRUE(before.open) << "closed before the hiccup";
        if (!before.probing || before.nextProbe < std::chrono::milliseconds(1500)) {
            std::this_thread::sleep_for(before.nextProbe + std::chrono::milliseconds(100));
            continue;
        }
        std::this_thread::sleep_for(before.nextProbe - std::chrono::milliseconds(500));
        ASSERT_TRUE(Cut(reader));
        for (int i = 0; i < 30 && !(lost = side().unanswered > 0); ++i)
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
        std::this_thread::sleep_for(std::chrono::milliseconds(300));
        const int none = 0;
        ASSERT_EQ(::setsockopt(reader, SOL_SOCKET, SO_DETACH_FILTER, &none, sizeof none), 0);
    }
    ASSERT_TRUE(lost) << "no probe fell in a hiccup";
    // The next probe is answered.
    Side after;
    for (int i = 0; i < 400 && (after = side()).open && after.unanswered > 0; ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
    EXPECT_TRUE(after.open) << "the reader lost its connection";

    const int other = OpenWithLock(server.Port(), "VIEWER", "K00001", 0).first;
    EXPECT_EQ(Ask(other, "TALQSetPageLock,VIEWER,PASS,Demo Project,K00001"),
              "ERROR: Page Locked by ADMIN");
    EXPECT_EQ(ReadReplies(reader, asked), asked) << "replies lost";
    for (int fd : {reader, other}) ::close(fd);
}

}  // namespace

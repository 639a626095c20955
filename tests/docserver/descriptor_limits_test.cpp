// The server's descriptors: it starts only where its workers and connections
// fit its limit, holds one connection per worker, tells running out as such
// and serves again once descriptors are free.
#include <dirent.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <climits>
#include <cstring>
#include <fstream>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "platform/dynamic_library.h"
#include "raw_client.h"
#include "server/request_frame.h"
#include "support/scoped_env.h"
#include "support/server_process.h"
#include "test_system.h"

namespace {

using testsupport::ConnectLoopback;
using testsupport::RawClient;
using testsupport::ServerProcess;

const std::string kLogIn = "TALQRequiredLogin,ADMIN,SECRET,,DOM,1,8.6,1";

// The server's open descriptors, and those of them on files whose name ends so.
int OpenDescriptors(pid_t pid, const std::string& ending = "") {
    const std::string dir = "/proc/" + std::to_string(pid) + "/fd";
    DIR* listing = ::opendir(dir.c_str());
    if (listing == nullptr) return -1;
    int count = 0;
    while (const dirent* entry = ::readdir(listing)) {
        if (entry->d_name[0] == '.') continue;
        char target[PATH_MAX] = {};
        const std::string link = dir + "/" + entry->d_name;
        const ssize_t n = ::readlink(link.c_str(), target, sizeof target - 1);
        const std::string name(target, n > 0 ? static_cast<std::size_t>(n) : 0);
        if (name.ends_with(ending)) ++count;
    }
    ::closedir(listing);
    return count;
}

// Waits up to ten seconds for the server to hold this many descriptors.
bool Holds(pid_t pid, int count) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (OpenDescriptors(pid) != count) {
        if (std::chrono::steady_clock::now() > deadline) return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    return true;
}

// The soft descriptor limit of a process.
std::string SoftLimit(pid_t pid) {
    std::ifstream limits("/proc/" + std::to_string(pid) + "/limits");
    std::string line;
    while (std::getline(limits, line)) {
        if (line.rfind("Max open files", 0) != 0) continue;
        const std::size_t start = line.find_first_not_of(' ', std::strlen("Max open files"));
        return line.substr(start, line.find(' ', start) - start);
    }
    return "";
}

struct ServerRun {
    int status = -1;  // -1 when it listened
    std::string output;
    std::string softLimit;  // while it listened
};

// The server's descriptors once it has made those it serves with: the
// count no longer changes.
int Settled(pid_t pid) {
    int before = -1, now = OpenDescriptors(pid);
    for (int i = 0; i < 50 && now != before; ++i) {
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
        before = std::exchange(now, OpenDescriptors(pid));
    }
    return now;
}

// Runs talq-server under the descriptor limits until it ends or says it
// listens.
ServerRun RunServer(const std::vector<std::string>& options, rlim_t soft, rlim_t hard) {
    int output = -1;
    const pid_t pid = testsupport::SpawnServerUnderLimit(options, RLIMIT_NOFILE, soft, hard, output);
    if (pid < 0) return {};
    std::string text;
    char buffer[512];
    pollfd p{output, POLLIN, 0};
    while (text.find("listening") == std::string::npos && ::poll(&p, 1, 20000) > 0) {
        const ssize_t n = ::read(output, buffer, sizeof buffer);
        if (n <= 0) break;
        text.append(buffer, static_cast<std::size_t>(n));
    }
    ::close(output);
    const bool listened = text.find("listening") != std::string::npos;
    ServerRun run{-1, text, listened ? SoftLimit(pid) : ""};
    ::kill(pid, SIGKILL);
    int status = 0;
    ::waitpid(pid, &status, 0);
    if (!listened && WIFEXITED(status)) run.status = WEXITSTATUS(status);
    return run;
}

class DescriptorLimits : public ::testing::Test {
  public:
    void SetUp() override {
        sys_ = dir_.Path() + "/system";
        testsupport::MakeTestSystem(sys_);
    }

    testsupport::ScopedTempDir dir_;
    std::string sys_;
};

TEST_F(DescriptorLimits, WorkersAndConnectionsThatCannotFitTheHardLimitRefuseTheStartWithFigures) {
    const ServerRun refused = RunServer(
        {"--system", sys_, "--port", "0", "--workers", "256", "--max-connections", "1000"}, 1024,
        1024);
    EXPECT_EQ(refused.status, 2) << refused.output;
    EXPECT_NE(refused.output.find("256 workers and 1000 connections need about "),
              std::string::npos)
        << refused.output;
    EXPECT_NE(refused.output.find("the limit is 1024 (hard limit 1024)"), std::string::npos)
        << refused.output;
    EXPECT_NE(refused.output.find("lower --workers or --max-connections"), std::string::npos)
        << refused.output;

    // A soft limit too low for them is raised as far as the hard one allows.
    const ServerRun raised = RunServer(
        {"--system", sys_, "--port", "0", "--workers", "8", "--max-connections", "256"}, 64, 4096);
    EXPECT_EQ(raised.status, -1) << raised.output;
    EXPECT_EQ(raised.softLimit, "4096");
}

TEST_F(DescriptorLimits, EachWorkerHoldsOnlyItsOwnConnection) {
    constexpr int kWorkers = 6;
    ServerProcess server(sys_, false, {"--workers", std::to_string(kWorkers)});
    ASSERT_GT(server.Port(), 0) << server.Output();
    // Idle, no worker has opened its connection yet: each engine holds
    // only system.db as it found it.
    EXPECT_EQ(OpenDescriptors(server.Pid(), "/system.db"), kWorkers);

    std::vector<std::thread> viewers;
    for (int i = 0; i < 2 * kWorkers; ++i) {
        viewers.emplace_back([&] {
            RawClient client(server.Port());
            for (int n = 0; n < 5; ++n) client.LogIn("ADMIN", "SECRET", "Demo Project");
        });
    }
    for (std::thread& t : viewers) t.join();
    EXPECT_LE(OpenDescriptors(server.Pid(), "/system.db"), 2 * kWorkers);
    EXPECT_LE(OpenDescriptors(server.Pid(), "/system.db-wal"), kWorkers);
}

TEST_F(DescriptorLimits, RunningOutIsToldAsSuchAndTheServerServesAgainOnceDescriptorsAreFree) {
    ServerProcess server(sys_, false, {"--workers", "2"});
    ASSERT_GT(server.Port(), 0) << server.Output();
    // Room for a few connections more and no more, as when the limit of a
    // running server is lowered: enough, once they are gone, for two
    // sockets and both workers' connections.
    constexpr int kRoom = 8;
    const int held = Settled(server.Pid());
    rlimit limit{};
    ASSERT_EQ(::prlimit(server.Pid(), RLIMIT_NOFILE, nullptr, &limit), 0);
    limit.rlim_cur = static_cast<rlim_t>(held + kRoom);
    ASSERT_EQ(::prlimit(server.Pid(), RLIMIT_NOFILE, &limit, nullptr), 0);

    std::vector<int> clients;
    for (int i = 0; i < kRoom; ++i) clients.push_back(ConnectLoopback(server.Port()));
    ASSERT_TRUE(Holds(server.Pid(), held + kRoom));
    std::mt19937 random(3);
    const std::string reply =
        testsupport::Exchange(clients.front(), RequestFrame::BuildRequest(kLogIn, random));
    EXPECT_NE(reply.find("too many open files"), std::string::npos) << reply;
    // One more waits in the kernel, not taken.
    RawClient waiting(server.Port());
    ASSERT_TRUE(waiting.Connected());

    for (int fd : clients) ::close(fd);
    EXPECT_EQ(waiting.Send(kLogIn).substr(0, 1), "1");
    RawClient fresh(server.Port());
    EXPECT_TRUE(fresh.LogIn("ADMIN", "SECRET", "Demo Project"));
    // Nothing of the failed opens is kept: a connection per worker at most,
    // beside each engine's own hold on the file.
    EXPECT_LE(OpenDescriptors(server.Pid(), "/system.db"), 2 + 2);
}

}  // namespace

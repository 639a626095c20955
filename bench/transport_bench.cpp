// Frame scrambling beside a plain copy, and request round trips through the
// local-access library and over loopback TCP beside a bare loopback echo.

#include <arpa/inet.h>
#include <benchmark/benchmark.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>
#include <memory>
#include <thread>

#include "engine/system_db.h"
#include "engine/system_init.h"
#include "foundation/mod_registry.h"
#include "server/request_frame.h"
#include "server/talq_client_api.h"
#include "server/talq_client_api_test_peer.h"
#include "support/server_process.h"

namespace {

constexpr int kLargeReply = 2 * 1024 * 1024;

void BM_FrameScramble(benchmark::State& state) {
    std::mt19937 random(1);
    std::string frame(static_cast<std::size_t>(state.range(0)), 'x');
    RequestFrame::PutLong(frame, 0, static_cast<std::int32_t>(frame.size()));
    for (auto _ : state) {
        RequestFrame::Scramble(frame, static_cast<int>(frame.size()), random);
        benchmark::DoNotOptimize(frame.data());
    }
    state.SetBytesProcessed(state.iterations() * state.range(0));
}
BENCHMARK(BM_FrameScramble)->Arg(4096)->Arg(kLargeReply);

void BM_FrameUnscramble(benchmark::State& state) {
    std::mt19937 random(1);
    std::string frame = RequestFrame::Build(
        std::string(static_cast<std::size_t>(state.range(0)) - 200, 'x'), random);
    // Each pass unscrambles a fresh copy; BM_PlainCopy shows the copy's share.
    std::string work(frame.size(), '\0');
    for (auto _ : state) {
        std::memcpy(work.data(), frame.data(), frame.size());
        RequestFrame::Unscramble(work, static_cast<int>(work.size()));
        benchmark::DoNotOptimize(work.data());
    }
    state.SetBytesProcessed(state.iterations() * state.range(0));
}
BENCHMARK(BM_FrameUnscramble)->Arg(4096)->Arg(kLargeReply);

void BM_PlainCopy(benchmark::State& state) {
    std::string from(static_cast<std::size_t>(state.range(0)), 'x');
    std::string to(from.size(), '\0');
    for (auto _ : state) {
        std::memcpy(to.data(), from.data(), from.size());
        benchmark::DoNotOptimize(to.data());
    }
    state.SetBytesProcessed(state.iterations() * state.range(0));
}
BENCHMARK(BM_PlainCopy)->Arg(4096)->Arg(kLargeReply);

// A system whose project record is about 2 MB, so "TALQGetProjectInfo"
// brings a large reply.
struct BenchSystem {
    std::string root;
    std::string sys;
    std::unique_ptr<testsupport::ServerProcess> server;

    BenchSystem() {
        char pattern[] = "/tmp/talq-bench-XXXXXX";
        root = ::mkdtemp(pattern);
        for (const char* var :
             {"HOME", "XDG_CONFIG_HOME", "TALQ_MACHINE_CONFIG_DIR", "TALQ_INI_DIR"})
            ::setenv(var, root.c_str(), 1);
        sys = root + "/system";
        std::string error;
        docserver::InitSystem(sys, "ADMIN", "SECRET", error);
        docserver::SystemDb db;
        db.Open(sys + "/system.db", false, error);
        docserver::Statement add(db,
                                 "INSERT INTO projects(project_id, name, description) "
                                 "VALUES (1, 'Big', ?)");
        add.Bind(1, std::string(kLargeReply, 'd')).Run();
        db.Exec("INSERT INTO user_projects(user_id, project_id) VALUES ('ADMIN', 1)", error);
        modRegistry::RegSetString(modRegistry::HKEY_CURRENT_USER,
                                  "Software\\TALQTech\\VYNSYS\\Paths", "Local", sys);
        server = std::make_unique<testsupport::ServerProcess>(sys);
    }
    ~BenchSystem() {
        server.reset();
        std::string command = "rm -rf '" + root + "'";
        [[maybe_unused]] int r = std::system(command.c_str());
    }
};

BenchSystem& System() {
    static BenchSystem system;
    return system;
}

const char* CommandFor(int large) {
    return large ? "TALQGetProjectInfo,ADMIN,SECRET,Big" : "TALQGetSystemFlags";
}

void RoundTrip(benchmark::State& state, TalqClientAPI& api) {
    std::string reply;
    for (auto _ : state) {
        if (!TalqClientApiTestPeer::Send(api, CommandFor(static_cast<int>(state.range(0))),
                                         reply)) {
            state.SkipWithError(api.LastError().c_str());
            break;
        }
    }
    state.SetBytesProcessed(state.iterations() * static_cast<std::int64_t>(reply.size()));
}

void BM_LocalRoundTrip(benchmark::State& state) {
    System();
    TalqClientAPI api;
    if (!api.OpenTalqConnection(2, "", "", 0, 0, 0, 0)) {
        state.SkipWithError(api.LastError().c_str());
        return;
    }
    RoundTrip(state, api);
}
BENCHMARK(BM_LocalRoundTrip)->Arg(0)->Arg(1)->Unit(benchmark::kMicrosecond);

void BM_TcpRoundTrip(benchmark::State& state) {
    TalqClientAPI api;
    if (!api.OpenTalqConnection(0, "DOM", "127.0.0.1", System().server->Port(), 0, 0, 30)) {
        state.SkipWithError(api.LastError().c_str());
        return;
    }
    RoundTrip(state, api);
}
BENCHMARK(BM_TcpRoundTrip)->Arg(0)->Arg(1)->Unit(benchmark::kMicrosecond);

// The same bytes bounced by a bare echo on loopback.
void BM_LoopbackEcho(benchmark::State& state) {
    int listener = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(0x7F000001);
    ::bind(listener, reinterpret_cast<sockaddr*>(&a), sizeof a);
    ::listen(listener, 1);
    socklen_t len = sizeof a;
    ::getsockname(listener, reinterpret_cast<sockaddr*>(&a), &len);
    std::thread echo([listener] {
        int fd = ::accept(listener, nullptr, nullptr);
        char buffer[65536];
        ssize_t n;
        while ((n = ::recv(fd, buffer, sizeof buffer, 0)) > 0)
            ::send(fd, buffer, static_cast<size_t>(n), 0);
        ::close(fd);
    });
    int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    ::connect(fd, reinterpret_cast<sockaddr*>(&a), sizeof a);
    int on = 1;
    ::setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &on, sizeof on);
    std::size_t size = state.range(0) ? kLargeReply + 200 : 220;
    std::string out(size, 'e'), in(size, '\0');
    for (auto _ : state) {
        std::size_t sent = 0, got = 0;
        while (got < size) {
            if (sent < size) {
                ssize_t n = ::send(fd, out.data() + sent, std::min<std::size_t>(size - sent, 65536),
                                   MSG_DONTWAIT);
                if (n > 0) sent += static_cast<std::size_t>(n);
            }
            ssize_t n = ::recv(fd, in.data() + got, size - got, MSG_DONTWAIT);
            if (n > 0) got += static_cast<std::size_t>(n);
        }
    }
    state.SetBytesProcessed(state.iterations() * static_cast<std::int64_t>(size));
    ::shutdown(fd, SHUT_RDWR);
    ::close(fd);
    echo.join();
    ::close(listener);
}
BENCHMARK(BM_LoopbackEcho)->Arg(0)->Arg(1)->Unit(benchmark::kMicrosecond);

}  // namespace
BENCHMARK_MAIN();

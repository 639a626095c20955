// A reviewer's requests per second against the real server while 200
// hostile connections, spread over eight other loopback addresses, do one
// of: hold most of a large frame, pipeline page images and never read (as
// another account, which holds no more than its cap of places), sit idle,
// or fail logins under ever new names. Measured from three
// seconds after they are in place: the reviewer should keep at least half
// of its rate alone, and no request of it may fail.

#include <benchmark/benchmark.h>

#include <QGuiApplication>

#include <atomic>
#include <cerrno>
#include <chrono>
#include <thread>
#include <vector>

#include "bench_acme_keys.h"
#include "bench_client.h"
#include "bench_demo_system.h"
#include "engine/command_engine.h"
#include "engine/system_db.h"
#include "server/request_frame.h"

namespace {

benchsupport::BenchDemoSystem* g_system = nullptr;
std::vector<std::string> g_keys;
const std::string kP = "admin,admin,ACME";
const std::string kLogin = "TALQRequiredLogin,admin,admin,,DOM,1,8.6,1";
const std::string kOtherP = "reviewer,review,ACME";
const std::string kOtherLogin = "TALQRequiredLogin,reviewer,review,,DOM,1,8.6,1";
constexpr int kHostiles = 200;
constexpr int kReviewerRequests = 3000;

// A client of the server from a loopback address.
class Client : public benchsupport::BenchClient {
  public:
    explicit Client(const std::string& from) : BenchClient(g_system->server->Port(), from) {}
};

std::string HostileAddress(int i) {
    return "127.0.0." + std::to_string(10 + i % 8);
}

enum Kind { kNone, kLargeFrames, kUnreadReplies, kIdle, kFailedLogins };

std::atomic<long> g_hostileRequests{0};

// Keeps kHostiles connections of one kind busy until stop is set; ready
// once they are all in place.
void Hostiles(Kind kind, std::atomic<bool>& ready, const std::atomic<bool>& stop) {
    std::vector<std::unique_ptr<Client>> clients;
    for (int i = 0; i < kHostiles && kind != kNone; ++i)
        clients.push_back(std::make_unique<Client>(HostileAddress(i)));
    if (kind == kLargeFrames) {
        std::mt19937 random(3);
        const std::string frame =
            RequestFrame::BuildRequest(std::string(60u << 20, ','), random).substr(0, 4u << 20);
        for (auto& c : clients) ::send(c->Fd(), frame.data(), frame.size(), MSG_NOSIGNAL);
    } else if (kind == kUnreadReplies) {
        // The other account reaches the first half of the project.
        for (auto& c : clients) {
            c->Ask(kOtherLogin);
            for (int i = 0; i < 200; ++i)
                c->Send("TALQSendClientImage," + kOtherP + "," +
                            g_keys[static_cast<std::size_t>(i) % (g_keys.size() / 2)] + ",0",
                        MSG_DONTWAIT);
        }
    }
    ready = true;
    int n = 0;
    while (!stop) {
        if (kind != kFailedLogins) {
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
            continue;
        }
        for (auto& c : clients)
            c->Send("TALQRequiredLogin,guess" + std::to_string(n++) + ",x,,DOM,1,8.6,1");
        for (auto& c : clients) c->Read();
        g_hostileRequests += kHostiles;
    }
}

void BM_ReviewerBesideHostileConnections(benchmark::State& state) {
    const Kind kind = static_cast<Kind>(state.range(0));
    int failures = 0;
    double seconds = 0;
    for (auto _ : state) {
        std::atomic<bool> ready{false}, stop{false};
        std::thread hostile(Hostiles, kind, std::ref(ready), std::cref(stop));
        while (!ready) std::this_thread::sleep_for(std::chrono::milliseconds(50));
        std::this_thread::sleep_for(std::chrono::seconds(3));
        Client reviewer("127.0.0.1");
        if (reviewer.Ask(kLogin).rfind("1", 0) != 0 ||
            reviewer.Ask("TALQGetProjectInfo," + kP).rfind("ERROR", 0) == 0)
            ++failures;
        auto start = std::chrono::steady_clock::now();
        g_hostileRequests = 0;
        for (int i = 0; i < kReviewerRequests && failures == 0; ++i) {
            const std::string& key = g_keys[static_cast<std::size_t>(i * 7) % g_keys.size()];
            const char* verbs[] = {"TALQGetPageInfo", "TALQGetImageTags", "TALQGetAnnotations",
                                   "TALQSendClientImage"};
            std::string command = std::string(verbs[i % 4]) + "," + kP + "," + key;
            if (i % 4 == 0) command += ",315";
            if (i % 4 == 3) command += ",0";
            std::string reply = reviewer.Ask(command);
            if (reply.empty() || reply.rfind("ERROR", 0) == 0) ++failures;
        }
        double elapsed =
            std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        state.SetIterationTime(elapsed);
        seconds += elapsed;
        state.counters["hostile_per_s"] = static_cast<double>(g_hostileRequests) / elapsed;
        stop = true;
        hostile.join();
    }
    if (failures > 0) state.SkipWithError("reviewer requests failed");
    state.counters["req_per_s"] =
        static_cast<double>(kReviewerRequests) * static_cast<double>(state.iterations()) / seconds;
}
BENCHMARK(BM_ReviewerBesideHostileConnections)
    ->ArgName("kind")
    ->DenseRange(kNone, kFailedLogins)
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond)
    ->Iterations(1);

// How long a real login from another address takes while 256 connections,
// 32 from each of eight addresses, never log in and ask for the version
// every two seconds, coming back whenever they are closed. It must succeed
// within a minute.
void BM_LoginBesideConnectionsThatNeverLogIn(benchmark::State& state) {
    using Clock = std::chrono::steady_clock;
    bool loggedIn = true;
    for (auto _ : state) {
        std::atomic<bool> ready{false}, stop{false};
        std::atomic<long> reconnects{0};
        std::thread crowd([&] {
            std::vector<std::unique_ptr<Client>> clients(256);
            for (std::size_t i = 0; i < clients.size(); ++i)
                clients[i] = std::make_unique<Client>(HostileAddress(static_cast<int>(i)));
            ready = true;
            while (!stop) {
                for (std::size_t i = 0; i < clients.size(); ++i) {
                    char buffer[4096];
                    ssize_t n = clients[i]->Send("TALQGetVersion", MSG_DONTWAIT) ? 1 : -1;
                    while (n > 0) n = ::recv(clients[i]->Fd(), buffer, sizeof buffer, MSG_DONTWAIT);
                    if (n == 0 || (n < 0 && errno != EAGAIN)) {
                        clients[i] = std::make_unique<Client>(HostileAddress(static_cast<int>(i)));
                        ++reconnects;
                    }
                }
                for (int t = 0; t < 20 && !stop; ++t)
                    std::this_thread::sleep_for(std::chrono::milliseconds(100));
            }
        });
        while (!ready) std::this_thread::sleep_for(std::chrono::milliseconds(50));
        std::this_thread::sleep_for(std::chrono::seconds(3));
        const auto start = Clock::now();
        loggedIn = false;
        while (!loggedIn && Clock::now() - start < std::chrono::seconds(90)) {
            Client user("127.0.0.1");
            loggedIn = user.Ask(kLogin).rfind("1", 0) == 0;
            if (!loggedIn) std::this_thread::sleep_for(std::chrono::seconds(1));
        }
        state.SetIterationTime(std::chrono::duration<double>(Clock::now() - start).count());
        stop = true;
        crowd.join();
        state.counters["crowd_reconnects"] = static_cast<double>(reconnects);
    }
    if (!loggedIn) state.SkipWithError("no login within 90 s");
}
BENCHMARK(BM_LoginBesideConnectionsThatNeverLogIn)
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond)
    ->Iterations(1);

}  // namespace

int main(int argc, char** argv) {
    return benchsupport::RunBenchmarksOnDemo<QGuiApplication>(
        argc, argv, docserver::demo::DemoOptions{}, g_system,
        [](benchsupport::BenchDemoSystem& system) {
            g_keys = benchsupport::AcmeKeys(system);
            return !g_keys.empty();
        });
}

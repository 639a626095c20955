// The stand-in server under load: requests per second and the 99th
// percentile latency of a reviewer's mix of requests from 1, 8 and 32
// clients at once over loopback TCP, with the system in WAL mode as on a
// local disk, and at 8 and 32 clients in the rollback journal as on a
// shared folder; and an OCR search of the large demo
// project through the full-text index beside the same search done by
// reading every page's text, as the server once did; and a page image at a
// reduced quality, the first time and once kept; a tag saved on a
// shared folder in each mode of the rollback journal; and one tag saved at
// a time over TCP and through the engine as the local-access library runs
// it, in WAL and in the rollback journal, side by side.

#include <benchmark/benchmark.h>

#include <QDir>
#include <QGuiApplication>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <set>
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
constexpr int kRequestsPerClient = 120;

using RawClient = benchsupport::BenchClient;

// A copy of the demo system served as a shared folder serves it: the server
// takes it out of WAL into the rollback journal when it opens it.
struct RollbackJournalServer {
    std::unique_ptr<testsupport::ServerProcess> server;

    RollbackJournalServer() {
        namespace fs = std::filesystem;
        const std::string copy = g_system->root + "/shared-system";
        // The WAL server's log is copied with it: nothing of the system is left out.
        fs::copy(g_system->root + "/system", copy, fs::copy_options::recursive);
        ::setenv("TALQ_FILE_SYSTEM", "network", 1);
        server = std::make_unique<testsupport::ServerProcess>(copy);
        ::unsetenv("TALQ_FILE_SYSTEM");
    }
};

int ServerPort(bool rollbackJournal) {
    if (!rollbackJournal) return g_system->server->Port();
    static RollbackJournalServer shared;
    return shared.server->Port();
}

// What a reviewer's client asks while paging through documents: mostly page
// information, tags, notes and words, a page image now and then (full or
// reduced quality), and a search once in a while.
std::string MixRequest(int client, int i) {
    const std::string& key =
        g_keys[static_cast<std::size_t>(client * 997 + i * 13) % g_keys.size()];
    if (i % 40 == 39) return "TALQSearchImgText," + kP + ",freight invoice,1,32000";
    switch (i % 20) {
        case 0:
            return "TALQSendClientImage," + kP + "," + key + ",0";
        case 1:
            return "TALQSendClientImage," + kP + "," + key + ",100";
        case 2:
            return "TALQGetWordList," + kP + "," + key;
        case 3:
        case 11:
            return "TALQNextKey," + kP + "," + key + ",0";
        case 4:
        case 12:
            return "TALQGetImageTags," + kP + "," + key;
        case 5:
        case 13:
            return "TALQGetAnnotations," + kP + "," + key;
        case 6:
            return "TALQGetBoundaryInfo," + kP + "," + key;
        case 7:
            return "TALQGetFolderDescription," + kP + "," + key + ",3";
        case 8:
            return "TALQDTGetDate," + kP + "," + key;
        case 9:
            return "TALQIsPageRestricted," + kP + "," + key;
        case 10:
            return "TALQGetTagPaletteList," + kP;
        case 14:
            return "TALQGetScroll," + kP + "," + key + ",1,20";
        case 15:
            return "TALQGetPageOcr,,,," + key;
        default:
            return "TALQGetPageInfo," + kP + "," + key + ",315";
    }
}

void BM_ServerRequestMix(benchmark::State& state) {
    const int clients = static_cast<int>(state.range(0));
    const bool rollbackJournal = state.range(1) != 0;
    const int port = ServerPort(rollbackJournal);
    if (port == 0) {
        state.SkipWithError("the server did not start");
        return;
    }
    std::vector<double> latencies;
    double seconds = 0;
    std::atomic<int> failures{0};
    for (auto _ : state) {
        std::vector<std::vector<double>> each(static_cast<std::size_t>(clients));
        auto start = std::chrono::steady_clock::now();
        std::vector<std::thread> threads;
        for (int c = 0; c < clients; ++c) {
            threads.emplace_back([c, port, &each, &failures] {
                RawClient client(port);
                if (!client.Ok() ||
                    client.Ask("TALQRequiredLogin,admin,admin,,DOM,1,8.6,1").rfind("1", 0) != 0 ||
                    client.Ask("TALQGetProjectInfo," + kP).rfind("ERROR", 0) == 0) {
                    ++failures;
                    return;
                }
                for (int i = 0; i < kRequestsPerClient; ++i) {
                    auto t0 = std::chrono::steady_clock::now();
                    std::string reply = client.Ask(MixRequest(c, i));
                    each[static_cast<std::size_t>(c)].push_back(
                        std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() -
                                                                  t0)
                            .count());
                    if (reply.empty()) ++failures;
                }
            });
        }
        for (std::thread& t : threads) t.join();
        double elapsed =
            std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        state.SetIterationTime(elapsed);
        seconds += elapsed;
        for (const auto& e : each) latencies.insert(latencies.end(), e.begin(), e.end());
    }
    if (failures > 0) state.SkipWithError("requests failed");
    std::sort(latencies.begin(), latencies.end());
    const double p99 = latencies.empty()
                           ? 0
                           : latencies[std::min(latencies.size() - 1, latencies.size() * 99 / 100)];
    state.counters["req_per_s"] = static_cast<double>(latencies.size()) / seconds;
    state.counters["p99_ms"] = p99;
    state.counters["median_ms"] = latencies.empty() ? 0 : latencies[latencies.size() / 2];
    state.SetLabel(rollbackJournal ? "rollback journal" : "WAL");
}
BENCHMARK(BM_ServerRequestMix)
    ->ArgNames({"clients", "rollback"})
    ->Args({1, 0})
    ->Args({8, 0})
    ->Args({8, 1})
    ->Args({32, 0})
    ->Args({32, 1})
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond)
    ->Iterations(3);

// The words of a text as the server once took them: runs of letters,
// digits, bytes of 128 and up, "'" and "-", folded to upper case.
std::set<std::string> OldWords(const std::string& text) {
    std::set<std::string> words;
    std::string word;
    auto flush = [&] {
        if (!word.empty()) words.insert(word);
        word.clear();
    };
    for (unsigned char c : text) {
        bool part = (c >= '0' && c <= '9') || (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') ||
                    c >= 128 || c == '\'' || c == '-';
        if (!part) {
            flush();
            continue;
        }
        word.push_back(static_cast<char>(c >= 'a' && c <= 'z' ? c - 32 : c));
    }
    flush();
    return words;
}

std::unique_ptr<docserver::CommandEngine> OpenEngine() {
    std::string error;
    return docserver::CommandEngine::Open(g_system->root + "/system", error);
}

// A connection of the admin user, logged in.
docserver::ConnectionState LoggedIn(docserver::CommandEngine& engine) {
    docserver::ConnectionState connection;
    engine.Execute(connection, "TALQRequiredLogin,admin,admin,,DOM,1,8.6,1");
    return connection;
}

void BM_OcrSearchIndexed(benchmark::State& state) {
    auto engine = OpenEngine();
    docserver::ConnectionState connection = LoggedIn(*engine);
    std::string reply;
    for (auto _ : state) {
        reply = engine->Execute(connection, "TALQSearchImgText," + kP + ",freight invoice,1,32000");
        if (reply.rfind("ERROR", 0) == 0) state.SkipWithError(reply.c_str());
    }
    state.SetLabel("hits " + reply.substr(0, reply.find(',')));
}
BENCHMARK(BM_OcrSearchIndexed)->Unit(benchmark::kMillisecond);

void BM_OcrSearchByReadingEveryPage(benchmark::State& state) {
    auto engine = OpenEngine();
    std::size_t hits = 0;
    const std::set<std::string> wanted = {"FREIGHT", "INVOICE"};
    for (auto _ : state) {
        hits = 0;
        docserver::Statement p(engine->Db(),
                               "SELECT seq, image_key, ocr_text FROM pages WHERE project_id = "
                               "(SELECT project_id FROM projects WHERE name = 'ACME') "
                               "AND ocr_text <> '' ORDER BY seq");
        while (p.Step()) {
            std::set<std::string> words = OldWords(p.Text(2));
            bool all = std::all_of(wanted.begin(), wanted.end(),
                                   [&](const std::string& w) { return words.count(w) > 0; });
            hits += all ? 1 : 0;
        }
    }
    state.SetLabel("hits " + std::to_string(hits));
}
BENCHMARK(BM_OcrSearchByReadingEveryPage)->Unit(benchmark::kMillisecond);

// A search of many distinct words that find nothing, OCR text (0) or notes
// (1): the time per word stays flat as the words grow.
void BM_SearchOfManyWords(benchmark::State& state) {
    auto engine = OpenEngine();
    docserver::ConnectionState connection = LoggedIn(*engine);
    std::string words;
    for (int i = 0; i < state.range(0); ++i) words += " zq" + std::to_string(i);
    const std::string command =
        state.range(1) == 0 ? "TALQSearchImgText," + kP + "," + words + ",0,32000"
                            : "TALQSearchResultsTempFile," + kP + "," + words + ",0,32000,0";
    for (auto _ : state) {
        std::string reply = engine->Execute(connection, command);
        if (reply.rfind("ERROR", 0) == 0) state.SkipWithError(reply.c_str());
    }
    state.SetItemsProcessed(state.iterations() * state.range(0));
    state.SetLabel(state.range(1) == 0 ? "ocr" : "notes");
}
BENCHMARK(BM_SearchOfManyWords)
    ->ArgsProduct({{125, 250, 500, 1000}, {0, 1}})
    ->Unit(benchmark::kMillisecond);

// 80,000 distinct words in one search: refused after reading them once.
void BM_SearchPastTheWordCap(benchmark::State& state) {
    auto engine = OpenEngine();
    docserver::ConnectionState connection = LoggedIn(*engine);
    std::string words;
    for (int i = 0; i < 80000; ++i) words += " zq" + std::to_string(i);
    std::string reply;
    for (auto _ : state)
        reply = engine->Execute(connection, "TALQSearchImgText," + kP + "," + words + ",0,32000");
    state.SetLabel(reply.substr(0, 40));
}
BENCHMARK(BM_SearchPastTheWordCap)->Unit(benchmark::kMillisecond)->Iterations(1);

// A text page from one 8,000-character line.
void BM_TextImageOfOneLongLine(benchmark::State& state) {
    auto engine = OpenEngine();
    docserver::ConnectionState connection = LoggedIn(*engine);
    std::string line;
    while (line.size() < 8000) line += "freight invoice ";
    for (auto _ : state) {
        std::string reply = engine->Execute(connection, "TALQSendTextImage," + line);
        if (reply.rfind("ERROR", 0) == 0) state.SkipWithError(reply.c_str());
    }
}
BENCHMARK(BM_TextImageOfOneLongLine)->Unit(benchmark::kMillisecond);

// A reduced page image: the first request resamples, later ones are kept.
void BM_ReducedPageImage(benchmark::State& state) {
    auto engine = OpenEngine();
    docserver::ConnectionState connection = LoggedIn(*engine);
    const std::string command =
        "TALQSendClientImage," + kP + "," + g_keys[1] + "," + std::to_string(state.range(0));
    engine->Execute(connection, command);
    for (auto _ : state) benchmark::DoNotOptimize(engine->Execute(connection, command).size());
}
BENCHMARK(BM_ReducedPageImage)->Arg(100)->Arg(150)->Unit(benchmark::kMillisecond);

// The first reduced image of a page, nothing kept from before: the page is
// decoded, shrunk and encoded again at each request.
void BM_FirstReducedPageImage(benchmark::State& state) {
    auto engine = OpenEngine();
    docserver::ConnectionState connection = LoggedIn(*engine);
    const std::string command =
        "TALQSendClientImage," + kP + "," + g_keys[1] + "," + std::to_string(state.range(0));
    const QString cache = QString::fromStdString(g_system->root + "/system/cache");
    std::string reply;
    for (auto _ : state) {
        state.PauseTiming();
        QDir(cache).removeRecursively();
        state.ResumeTiming();
        reply = engine->Execute(connection, command);
    }
    state.SetLabel(reply.compare(8, 2, "II") == 0 ? "G4 TIFF" : reply.substr(0, 30));
}
BENCHMARK(BM_FirstReducedPageImage)->Arg(100)->Arg(150)->Unit(benchmark::kMillisecond);

// A copy of the demo system's database on a shared folder: reached
// directly or through a FUSE mount, where every file made and removed is a
// round trip, as on a network file system.
class SharedFolderCopy {
  public:
    SharedFolderCopy(const std::string& name, bool fuse) {
        namespace fs = std::filesystem;
        const std::string copy = g_system->root + "/" + name;
        fs::create_directories(copy);
        for (const char* file : {"/system.db", "/system.db-wal"})
            if (fs::exists(g_system->root + "/system" + file))
                fs::copy_file(g_system->root + "/system" + file, copy + file);
        folder_ = copy;
        if (!fuse) return;
        mounted_ = copy + "-mnt";
        fs::create_directories(mounted_);
        const std::string mount = "timeout 20 bindfs --multithreaded --enable-lock-forwarding '" +
                                  copy + "' '" + mounted_ + "' 2>/dev/null";
        folder_ = std::system(mount.c_str()) == 0 ? mounted_ : "";
    }
    ~SharedFolderCopy() {
        if (mounted_.empty() || folder_ != mounted_) return;
        const std::string unmount = "fusermount -u -z '" + mounted_ + "' 2>/dev/null";
        [[maybe_unused]] int ignored = std::system(unmount.c_str());
    }
    SharedFolderCopy(const SharedFolderCopy&) = delete;
    SharedFolderCopy& operator=(const SharedFolderCopy&) = delete;

    // "" when there is no mount.
    const std::string& Folder() const { return folder_; }

  private:
    std::string folder_, mounted_;
};

// One tag turned on or off per save, in the rollback journal with every
// sync (FULL), its journal deleted (0), truncated (1) or kept with its
// header zeroed (2) at each commit.
void BM_SharedFolderSave(benchmark::State& state) {
    static const char* const kModes[] = {"delete", "truncate", "persist"};
    const char* mode = kModes[state.range(0)];
    const bool fuse = state.range(1) != 0;
    static int runs = 0;
    const SharedFolderCopy copy("saves-" + std::to_string(++runs), fuse);
    if (copy.Folder().empty()) {
        state.SkipWithError("no FUSE mount (bindfs)");
        return;
    }
    ::setenv("TALQ_FILE_SYSTEM", "network", 1);
    std::string error;
    auto engine = docserver::CommandEngine::Open(copy.Folder(), error);
    ::unsetenv("TALQ_FILE_SYSTEM");
    if (!engine) {
        state.SkipWithError(error.c_str());
        return;
    }
    const std::string set = std::string("PRAGMA journal_mode = ") + mode;
    if (!engine->Db().Exec(set, error)) {
        state.SkipWithError(error.c_str());
        return;
    }
    docserver::ConnectionState connection = LoggedIn(*engine);
    engine->Execute(connection, "TALQGetProjectInfo," + kP);
    bool on = true;
    for (auto _ : state) {
        const std::string reply = engine->Execute(
            connection, std::string(on ? "TALQTurnTagOn," : "TALQTurnTagOff,") + kP + "," +
                            g_keys[0] + ",Hot");
        if (reply.rfind("ERROR", 0) == 0) state.SkipWithError(reply.c_str());
        on = !on;
    }
    state.SetLabel(std::string(mode) + (fuse ? ", FUSE" : ""));
}
BENCHMARK(BM_SharedFolderSave)
    ->ArgNames({"journal", "fuse"})
    ->ArgsProduct({{0, 1, 2}, {0, 1}})
    ->Unit(benchmark::kMillisecond)
    ->Iterations(200);

// One tag turned on or off per save, by one client alone: over TCP to the
// server (way 1) or through an engine of this process, as the local-access
// library runs it (way 0); the system in WAL, or in the rollback journal as
// on a shared folder.
void BM_TagSave(benchmark::State& state) {
    const bool tcp = state.range(0) != 0;
    const bool rollback = state.range(1) != 0;
    const int port = ServerPort(rollback);
    std::unique_ptr<docserver::CommandEngine> engine;
    docserver::ConnectionState connection;
    std::unique_ptr<RawClient> client;
    if (tcp) {
        client = std::make_unique<RawClient>(port);
        client->Ask("TALQRequiredLogin,admin,admin,,DOM,1,8.6,1");
        client->Ask("TALQGetProjectInfo," + kP);
    } else {
        std::string error;
        if (rollback) ::setenv("TALQ_FILE_SYSTEM", "network", 1);
        engine = docserver::CommandEngine::Open(
            g_system->root + (rollback ? "/shared-system" : "/system"), error);
        ::unsetenv("TALQ_FILE_SYSTEM");
        if (!engine) {
            state.SkipWithError(error.c_str());
            return;
        }
        connection = LoggedIn(*engine);
        engine->Execute(connection, "TALQGetProjectInfo," + kP);
    }
    bool on = true;
    for (auto _ : state) {
        const std::string command = std::string(on ? "TALQTurnTagOn," : "TALQTurnTagOff,") + kP +
                                    "," + g_keys[1] + ",Hot";
        const std::string reply =
            tcp ? client->Ask(command) : engine->Execute(connection, command);
        if (reply.empty() || reply.rfind("ERROR", 0) == 0)
            state.SkipWithError(reply.empty() ? "no reply" : reply.c_str());
        on = !on;
    }
    state.SetLabel(std::string(tcp ? "TCP" : "library") + (rollback ? ", rollback" : ", WAL"));
}
BENCHMARK(BM_TagSave)
    ->ArgNames({"tcp", "rollback"})
    ->ArgsProduct({{0, 1}, {0, 1}})
    ->Unit(benchmark::kMillisecond)
    ->Iterations(300);

}  // namespace

int main(int argc, char** argv) {
    docserver::demo::DemoOptions options;
    options.large = true;
    return benchsupport::RunBenchmarksOnDemo<QGuiApplication>(
        argc, argv, options, g_system, [](benchsupport::BenchDemoSystem& system) {
            g_keys = benchsupport::AcmeKeys(system);
            return g_keys.size() >= 2;
        });
}

// Opening and paging a query of 100,000 keys through the local-access
// library and over loopback TCP, beside reading the same keys straight from
// the database, and merging two lists of 100,000 keys.

#include <benchmark/benchmark.h>

#include <QDir>
#include <QGuiApplication>

#include <stdlib.h>

#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "bench_main.h"
#include "engine/system_db.h"
#include "engine/system_init.h"
#include "foundation/mod_registry.h"
#include "navigation/query_sources.h"
#include "navigation/talq_query_api.h"
#include "server/talq_client_api.h"
#include "support/server_process.h"

namespace {

constexpr int kKeys = 100000;

std::string Key(int n) {
    char text[16];
    std::snprintf(text, sizeof text, "K%06d", n);
    return text;
}

// One system whose tag "All" holds every one of its pages.
struct BenchSystem {
    std::string root;
    std::unique_ptr<testsupport::ServerProcess> server;
    bool ok = false;

    BenchSystem() {
        char pattern[] = "/tmp/talq-query-bench-XXXXXX";
        root = ::mkdtemp(pattern);
        for (const char* var :
             {"HOME", "XDG_CONFIG_HOME", "TALQ_MACHINE_CONFIG_DIR", "TALQ_INI_DIR"})
            ::setenv(var, root.c_str(), 1);
        std::string sys = root + "/system";
        QDir().mkpath(QString::fromStdString(sys));
        std::string error;
        if (!docserver::InitSystem(sys, "ADMIN", "SECRET", error)) return;
        docserver::SystemDb db;
        if (!db.Open(sys + "/system.db", false, error)) return;
        std::string sql =
            "BEGIN;INSERT INTO projects(project_id, name) VALUES (1, 'Bench');"
            "INSERT INTO user_projects(user_id, project_id, security) VALUES ('ADMIN', 1, 255);"
            "INSERT INTO tags(project_id, tag_id, name) VALUES (1, 1, 'All');";
        for (int i = 1; i <= kKeys; ++i) {
            sql += "INSERT INTO pages(project_id, seq, image_key) VALUES (1," + std::to_string(i) +
                   ",'" + Key(i) + "');INSERT INTO page_tags VALUES (1," + std::to_string(i) +
                   ",1);";
        }
        sql += "COMMIT;";
        if (!db.Exec(sql, error)) return;
        modRegistry::RegSetString(modRegistry::HKEY_CURRENT_USER,
                                  "Software\\TALQTech\\VYNSYS\\Paths", "Local", sys + "/");
        server = std::make_unique<testsupport::ServerProcess>(sys);
        ok = server->Port() != 0;
    }
    ~BenchSystem() {
        server.reset();
        QDir(QString::fromStdString(root)).removeRecursively();
    }
};

BenchSystem* g_system = nullptr;

bool OpenSession(TalqClientAPI& api, bool local) {
    bool open =
        local ? api.OpenTalqConnection(2, "", "", 0, 0, 0, 0)
              : api.OpenTalqConnection(0, "DOM", "127.0.0.1", g_system->server->Port(), 0, 0, 60);
    return open && api.TalqLogin("ADMIN", "SECRET", 1) && api.SelectProject("Bench");
}

// Every key of the tag, a set of 2,000 at a time.
bool PageQuery(navigation::TalqQueryApi& api) {
    TalqClientAPI_Header::QueryRecord query;
    int rows = 0;
    bool more = TalqClientAPI_Header::OpenServerQuery(api, query, 1, "All", 0, 2000);
    while (more) {
        rows += query.RowCount;
        if ((query.MoreFlags & TalqClientAPI_Header::kMoreFollows) == 0) break;
        more = TalqClientAPI_Header::QueryScroll(api, query, 1);
    }
    return rows == kKeys;
}

void BM_OpenAndPageQuery(benchmark::State& state) {
    TalqClientAPI session;
    if (!g_system->ok || !OpenSession(session, state.range(0) == 1)) {
        state.SkipWithError("no session");
        return;
    }
    navigation::TalqQueryApi api(session);
    // Once untimed: each of the server's workers checks the password and
    // builds the rows the first time a set comes its way.
    PageQuery(api);
    for (auto _ : state)
        if (!PageQuery(api)) state.SkipWithError("paging ended early");
    state.SetItemsProcessed(state.iterations() * kKeys);
    state.SetLabel(state.range(0) == 1 ? "local" : "tcp");
}
BENCHMARK(BM_OpenAndPageQuery)->Arg(1)->Arg(0)->Unit(benchmark::kMillisecond)->Iterations(10);

// The floor of the query: the tag's keys as the server's own SQL reads them.
void BM_ReadTagKeys(benchmark::State& state) {
    docserver::SystemDb db;
    std::string error;
    if (!g_system->ok || !db.Open(g_system->root + "/system/system.db", false, error)) {
        state.SkipWithError("no database");
        return;
    }
    for (auto _ : state) {
        docserver::Statement s(db,
                               "SELECT p.seq, p.image_key FROM tags t "
                               "JOIN page_tags pt ON pt.project_id = t.project_id AND "
                               "pt.tag_id = t.tag_id JOIN pages p ON p.project_id = "
                               "pt.project_id AND p.seq = pt.seq "
                               "WHERE t.project_id = 1 AND t.name = 'All' ORDER BY p.seq");
        std::vector<std::string> keys;
        while (s.Step()) keys.push_back(s.Text(1));
        if (keys.size() != kKeys) state.SkipWithError("keys missing");
    }
    state.SetItemsProcessed(state.iterations() * kKeys);
}
BENCHMARK(BM_ReadTagKeys)->Unit(benchmark::kMillisecond);

void BM_MergeKeyLists(benchmark::State& state) {
    // Every key in a, every other key in b: half of them overlap.
    std::string a, b;
    for (int i = 1; i <= kKeys; ++i) {
        if (i > 1) {
            a += ',';
            b += ',';
        }
        a += Key(i);
        b += Key(2 * i);
    }
    for (auto _ : state) {
        clsBigString la, lb, result;
        la.AddStr(a);
        lb.AddStr(b);
        navigation::MergeKeyLists(la, lb, result, static_cast<std::int16_t>(state.range(0)));
        benchmark::DoNotOptimize(result.LenStr());
    }
    state.SetItemsProcessed(state.iterations() * 2 * kKeys);
}
BENCHMARK(BM_MergeKeyLists)->Arg(0)->Arg(1)->Arg(2)->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv) {
    std::unique_ptr<BenchSystem> system;
    return benchsupport::RunBenchmarks<QGuiApplication>(argc, argv, [&] {
        system = std::make_unique<BenchSystem>();
        g_system = system.get();
        return true;
    });
}

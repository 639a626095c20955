// The project tree opened down to a key deep in the large demo project, and
// the full position text of a page, each beside the bare requests it needs,
// through the local-access library and over loopback TCP.

#include <benchmark/benchmark.h>

#include <QApplication>

#include <stdlib.h>

#include <cstdio>
#include <memory>
#include <utility>
#include <vector>

#include "bench_demo_system.h"
#include "navigation/position_text.h"
#include "navigation/talq_query_api.h"
#include "navigation/widgets/frm_prj_vw.h"

namespace {

benchsupport::BenchDemoSystem* g_system = nullptr;
std::string g_deepKey;

// The main window as the tree sees it, over a session object.
class SessionTreeHost : public navigation::ProjectTreeHost {
  public:
    explicit SessionTreeHost(TalqClientAPI& api) : api_(api), query_(api) {}
    bool RemotePassThrough(const std::string& command, std::string& reply, bool skip) override {
        return query_.RemotePassThrough(command, reply, skip);
    }
    std::string UserName() override { return api_.UserName(); }
    std::string UserPswrd() override { return api_.UserPswrd(); }
    std::string ProjectName() override { return api_.ProjectName(); }
    bool ReadTagPool(std::string& list) override { return api_.ReadTagPool(list); }
    bool IsRequestInProcess() override { return api_.IsRequestInProcess(); }
    int BndryNbr() override { return api_.BndryNbr(); }
    std::string BndryLvls() override { return api_.BndryLvls(); }
    std::string BndryIcons() override { return api_.BndryIcons(); }
    bool FirstKey(std::string& key) override {
        std::int16_t level = 0;
        return api_.NextKey("", level, key);
    }
    std::string GetFolderDescription(const std::string& key, std::int32_t level) override {
        return api_.GetFolderDescription(key, level);
    }
    bool PutFolderDescription(const std::string&, std::int32_t, const std::string&) override {
        return false;
    }
    std::string CurrentImageKey() override { return g_deepKey; }
    std::int32_t AnnotFeatureMask() override { return 0; }
    void SetProjectViewOpen(bool) override {}
    bool DisplayImage(const std::string&) override { return true; }

  private:
    TalqClientAPI& api_;
    navigation::TalqQueryApi query_;
};

bool Open(benchmark::State& state, TalqClientAPI& api) {
    if (g_system->OpenSession(api, state.range(0) == 1)) {
        state.SetLabel(state.range(0) == 1 ? "local" : "tcp");
        return true;
    }
    state.SkipWithError(api.LastError().c_str());
    return false;
}

void BM_SyncTreeViewToADeepKey(benchmark::State& state) {
    TalqClientAPI api;
    if (!Open(state, api)) return;
    SessionTreeHost host(api);
    navigation::frmPrjVw tree;
    tree.MainView = &host;
    tree.Form_Load();
    for (auto _ : state) {
        tree.SyncTreeView(g_deepKey);
        if (tree.FindNode(navigation::ProjectTreeNodeKey(api.BndryNbr(), g_deepKey)) == nullptr)
            state.SkipWithError("the key's page is not in the tree");
    }
}
BENCHMARK(BM_SyncTreeViewToADeepKey)->Arg(1)->Arg(0)->Unit(benchmark::kMillisecond);

// The one request per level, with nothing built from the replies.
void BM_TreeRequestsAlone(benchmark::State& state) {
    TalqClientAPI api;
    if (!Open(state, api)) return;
    navigation::TalqQueryApi query(api);
    const std::string levels = api.BndryLvls(), icons = api.BndryIcons();
    for (auto _ : state) {
        for (int p = 0; p <= api.BndryNbr(); ++p) {
            const auto level = navigation::ProjectTreeLevelAt(levels, icons, api.BndryNbr(), p);
            std::string reply;
            query.RemotePassThrough(
                navigation::ProjectTreeRequest(query, navigation::ScrollDirection::Around,
                                               g_deepKey, level.level),
                reply, false);
            benchmark::DoNotOptimize(reply.data());
        }
    }
}
BENCHMARK(BM_TreeRequestsAlone)->Arg(1)->Arg(0)->Unit(benchmark::kMillisecond);

// Every level asked afresh (a new document outside the stored lists).
void BM_FullPositionTextUncached(benchmark::State& state) {
    TalqClientAPI api;
    if (!Open(state, api)) return;
    navigation::TalqQueryApi query(api);
    std::string begin, end;
    api.GetBndryBegEndKey(g_deepKey, 1, begin, end);
    navigation::DocumentPositionText text;
    for (auto _ : state) {
        text.Clear();
        const std::string result = text.BuildFullPositionText(
            query, api.BndryNbr(), api.BndryLvls(), api.BndryDescs(), begin, end);
        if (result.empty()) state.SkipWithError("no position text");
    }
}
BENCHMARK(BM_FullPositionTextUncached)->Arg(1)->Arg(0)->Unit(benchmark::kMillisecond);

// The next documents, counted inside the stored lists without a request.
void BM_FullPositionTextWithinStoredLists(benchmark::State& state) {
    TalqClientAPI api;
    if (!Open(state, api)) return;
    navigation::TalqQueryApi query(api);
    std::string begin, end, next = g_deepKey;
    std::vector<std::pair<std::string, std::string>> documents;
    std::int16_t level = 1;
    for (int i = 0; i < 20 && api.NextKey(next, level, next); ++i) {
        api.GetBndryBegEndKey(next, 1, begin, end);
        documents.emplace_back(begin, end);
    }
    navigation::DocumentPositionText text;
    text.BuildFullPositionText(query, api.BndryNbr(), api.BndryLvls(), api.BndryDescs(),
                               documents.front().first, documents.front().second);
    std::size_t i = 0;
    for (auto _ : state) {
        const auto& d = documents[i++ % documents.size()];
        benchmark::DoNotOptimize(text.BuildFullPositionText(query, api.BndryNbr(), api.BndryLvls(),
                                                            api.BndryDescs(), d.first, d.second));
    }
}
BENCHMARK(BM_FullPositionTextWithinStoredLists)->Arg(1)->Arg(0)->Unit(benchmark::kMicrosecond);

// The position text's requests alone: one list of up to 20,000 keys per level.
void BM_PositionRequestsAlone(benchmark::State& state) {
    TalqClientAPI api;
    if (!Open(state, api)) return;
    navigation::TalqQueryApi query(api);
    std::string begin, end;
    api.GetBndryBegEndKey(g_deepKey, 1, begin, end);
    for (auto _ : state) {
        for (int i = 1; i <= api.BndryNbr(); ++i) {
            std::string reply;
            query.RemotePassThrough("TALQGetScroll," + navigation::RequestPrefix(query) + "," +
                                        begin + "," + std::to_string(i) + ",20000",
                                    reply, false);
            benchmark::DoNotOptimize(reply.data());
        }
    }
}
BENCHMARK(BM_PositionRequestsAlone)->Arg(1)->Arg(0)->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv) {
    docserver::demo::DemoOptions options;
    options.large = true;
    return benchsupport::RunBenchmarksOnDemo<QApplication>(
        argc, argv, options, g_system, [](benchsupport::BenchDemoSystem& system) {
            TalqClientAPI api;
            if (!system.OpenSession(api, true)) return false;
            // A page three quarters into the project.
            std::string first;
            std::int16_t level = 0;
            api.NextKey("", level, first);
            std::string last;
            api.PrevKey("", level, last);
            const std::string prefix = first.substr(0, first.find_first_of("0123456789"));
            const int lastNumber = std::stoi(last.substr(prefix.size()));
            char digits[16];
            std::snprintf(digits, sizeof digits, "%07d", lastNumber * 3 / 4);
            api.FindKey(prefix + digits, g_deepKey);
            if (g_deepKey.empty()) g_deepKey = last;
            return true;
        });
}

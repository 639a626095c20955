// Walking keys with NextKey through the local-access library and over
// loopback TCP, and fetching and decoding one Group 4 page at each quality.

#include <benchmark/benchmark.h>

#include <QDir>
#include <QGuiApplication>
#include <QImage>

#include <stdlib.h>

#include <cstdlib>
#include <memory>

#include "bench_demo_system.h"

namespace {

constexpr int kWalk = 10000;

benchsupport::BenchDemoSystem* g_system = nullptr;

bool OpenSession(TalqClientAPI& api, bool local) {
    return g_system->OpenSession(api, local);
}

void BM_NextKeyWalk(benchmark::State& state) {
    TalqClientAPI api;
    if (!OpenSession(api, state.range(0) == 1)) {
        state.SkipWithError(api.LastError().c_str());
        return;
    }
    std::int16_t level = 0;
    for (auto _ : state) {
        std::string key, next;
        int steps = 0;
        while (steps < kWalk && api.NextKey(key, level, next)) {
            key = next;
            ++steps;
        }
        if (steps != kWalk) state.SkipWithError("walk ended early");
    }
    state.SetItemsProcessed(state.iterations() * kWalk);
    state.SetLabel(state.range(0) == 1 ? "local" : "tcp");
}
BENCHMARK(BM_NextKeyWalk)->Arg(1)->Arg(0)->Unit(benchmark::kMillisecond)->Iterations(1);

void BM_FetchAndDecodePage(benchmark::State& state) {
    TalqClientAPI api;
    if (!OpenSession(api, false)) {
        state.SkipWithError(api.LastError().c_str());
        return;
    }
    std::string key, first;
    std::int16_t level = 0;
    api.NextKey(key, level, first);
    for (auto _ : state) {
        std::string bytes = api.GetImage(first, static_cast<std::int16_t>(state.range(0)));
        QImage image = QImage::fromData(reinterpret_cast<const uchar*>(bytes.data()),
                                        static_cast<int>(bytes.size()));
        if (image.isNull()) state.SkipWithError("page did not decode");
        benchmark::DoNotOptimize(image.bits());
    }
}
BENCHMARK(BM_FetchAndDecodePage)->Arg(0)->Arg(1)->Arg(2)->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv) {
    docserver::demo::DemoOptions options;
    options.large = true;
    options.pages = kWalk + 1;
    return benchsupport::RunBenchmarksOnDemo<QGuiApplication>(argc, argv, options, g_system);
}

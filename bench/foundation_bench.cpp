// Reading a long reply field by field, and building a long list text.

#include <benchmark/benchmark.h>

#include "foundation/big_string.h"
#include "foundation/fields.h"

namespace {

std::string LongReply(int fields) {
    std::string text;
    for (int i = 0; i < fields; ++i) text += "KEY" + std::to_string(100000 + i) + ",";
    return text;
}

void BM_NextTokenWalk(benchmark::State& state) {
    std::string reply = LongReply(static_cast<int>(state.range(0)));
    for (auto _ : state) {
        int pos = 1, n = 0;
        while (pos != -1) {
            benchmark::DoNotOptimize(mVBUtil::NextToken(",", reply, pos));
            ++n;
        }
        benchmark::DoNotOptimize(n);
    }
    state.SetBytesProcessed(state.iterations() * static_cast<int64_t>(reply.size()));
}
BENCHMARK(BM_NextTokenWalk)->Arg(1000)->Arg(20000);

void BM_BigStringBuild(benchmark::State& state) {
    for (auto _ : state) {
        clsBigString b;
        for (int i = 0; i < state.range(0); ++i) b.AddStr("KEY0001234,");
        benchmark::DoNotOptimize(b.GetStr());
    }
}
BENCHMARK(BM_BigStringBuild)->Arg(1000)->Arg(100000);

}  // namespace

BENCHMARK_MAIN();

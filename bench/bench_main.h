#pragma once
// The main of a benchmark program: an offscreen Qt application of type App,
// Google Benchmark's own flags, an optional set-up, then the benchmarks.

#include <benchmark/benchmark.h>

#include <stdlib.h>

#include <functional>

namespace benchsupport {

// setUp runs once the application exists; false ends the run with 1.
template <class App>
int RunBenchmarks(int argc, char** argv, const std::function<bool()>& setUp = {}) {
    ::setenv("QT_QPA_PLATFORM", "offscreen", 0);
    App app(argc, argv);
    benchmark::Initialize(&argc, argv);
    if (setUp && !setUp()) return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}

}  // namespace benchsupport

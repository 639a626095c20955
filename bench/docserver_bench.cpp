// Generating the demo system, and the page work the stand-in server does per
// image request.

#include <benchmark/benchmark.h>

#include <QDir>
#include <QGuiApplication>

#include <cstdlib>

#include "bench_main.h"
#include "demo/demo_database.h"
#include "demo/demo_system.h"
#include "engine/damage_check.h"
#include "imaging/page_files.h"
#include "imaging/page_quality.h"
#include "imaging/page_typesetter.h"

namespace {

using namespace docserver;

std::string FreshDir(int run) {
    const QString path = QDir::temp().filePath(
        QStringLiteral("talq-demo-bench-%1-%2").arg(QCoreApplication::applicationPid()).arg(run));
    QDir(path).removeRecursively();
    QDir().mkpath(path);
    return path.toStdString();
}

void BM_GenerateDefaultDemoSystem(benchmark::State& state) {
    int run = 0;
    for (auto _ : state) {
        const std::string dir = FreshDir(run++);
        const auto demo = demo::GenerateDemoSystem(dir, demo::DemoOptions{});
        demo::WriteDemoSystem(dir, demo);
        benchmark::DoNotOptimize(demo.projects.size());
        state.PauseTiming();
        QDir(QString::fromStdString(dir)).removeRecursively();
        state.ResumeTiming();
    }
}
BENCHMARK(BM_GenerateDefaultDemoSystem)->Unit(benchmark::kMillisecond)->Iterations(2);

imaging::PageText SampleText() {
    imaging::PageText text;
    text.heading = "Status Report on Freight Terms";
    for (int i = 0; i < 6; ++i) {
        text.paragraphs.push_back(
            "The shipping clerk received the freight invoice after the meeting on Tuesday, and "
            "accounts payable approved the revised contract subject to final approval.");
    }
    text.stamp = "ACM0000001";
    return text;
}

void BM_TypesetAndStoreG4Page(benchmark::State& state) {
    for (auto _ : state) {
        const auto page = imaging::TypesetPage(SampleText(), imaging::PageSize::Letter,
                                               imaging::PageColour::Bitonal);
        benchmark::DoNotOptimize(imaging::EncodeG4Tiff({page.image}).size());
    }
}
BENCHMARK(BM_TypesetAndStoreG4Page)->Unit(benchmark::kMillisecond);

std::string StoredPage(imaging::PageColour colour) {
    const auto page = imaging::TypesetPage(SampleText(), imaging::PageSize::Letter, colour);
    return colour == imaging::PageColour::Bitonal
               ? imaging::EncodeG4Tiff({page.image})
               : imaging::EncodeJpeg(page.image, colour == imaging::PageColour::Grey);
}

// The floor of a reduced page: its stored file decoded, nothing more.
void BM_DecodeStoredG4Page(benchmark::State& state) {
    const std::string stored = StoredPage(imaging::PageColour::Bitonal);
    for (auto _ : state) benchmark::DoNotOptimize(imaging::DecodeImage(stored).width());
}
BENCHMARK(BM_DecodeStoredG4Page)->Unit(benchmark::kMillisecond);

void BM_G4PageAtQuality(benchmark::State& state) {
    const std::string stored = StoredPage(imaging::PageColour::Bitonal);
    std::size_t sent = 0;
    for (auto _ : state) {
        sent = imaging::ImageForQuality(stored, static_cast<int>(state.range(0))).bytes.size();
        benchmark::DoNotOptimize(sent);
    }
    // A reduction is worth sending only when it takes fewer bytes.
    state.counters["stored_bytes"] = static_cast<double>(stored.size());
    state.counters["sent_bytes"] = static_cast<double>(sent);
}
BENCHMARK(BM_G4PageAtQuality)->Arg(100)->Arg(150)->Unit(benchmark::kMillisecond);

// Grey (0) and colour (1) JPEG pages at 100 and 150 dpi.
void BM_JpegPageAtQuality(benchmark::State& state) {
    const bool colour = state.range(0) == 1;
    const std::string stored =
        StoredPage(colour ? imaging::PageColour::Colour : imaging::PageColour::Grey);
    for (auto _ : state) {
        benchmark::DoNotOptimize(
            imaging::ImageForQuality(stored, static_cast<int>(state.range(1))).bytes.size());
    }
    state.SetLabel(colour ? "colour" : "grey");
}
BENCHMARK(BM_JpegPageAtQuality)
    ->ArgsProduct({{0, 1}, {100, 150}})
    ->Unit(benchmark::kMillisecond);

// The start's check of the whole file of the default demo system, cut at
// its bound where the file cannot be read in that time.
void BM_StartCheckOfDemoSystem(benchmark::State& state) {
    const std::string dir = FreshDir(1000);
    demo::WriteDemoSystem(dir, demo::GenerateDemoSystem(dir, demo::DemoOptions{}));
    for (auto _ : state) {
        const FileCheck check = CheckWholeFile(dir + "/system.db", nullptr, kStartCheck);
        state.SetLabel(check.result == FileCheck::Result::kSound ? "sound" : check.finding);
    }
    QDir(QString::fromStdString(dir)).removeRecursively();
}
BENCHMARK(BM_StartCheckOfDemoSystem)->Unit(benchmark::kMillisecond)->Iterations(5);

}  // namespace

int main(int argc, char** argv) {
    return benchsupport::RunBenchmarks<QGuiApplication>(argc, argv);
}

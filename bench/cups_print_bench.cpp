// Printing a mixed job (black-and-white scans and colour pages, with key,
// message and bar code) to a CUPS queue beside the same job to a PDF file,
// and the memory a long job to CUPS takes beside a short one. Needs a CUPS
// server with a queue, as the tests' sandbox gives:
//
//   eval "$(scripts/cups-sandbox start DIR)"; build-rel/bin/cups_print_bench

#include <benchmark/benchmark.h>

#include <QDir>
#include <QFile>
#include <QGuiApplication>
#include <QPainter>

#include <cstdlib>
#include <fstream>
#include <memory>
#include <string>

#include "bench_main.h"
#include "platform/printer_cups.h"
#include "platform/printer_pdf.h"
#include "printing/gdi_prn.h"

namespace {

// A scanned text page at 300 dpi in black and white, or a colour page at
// 150 dpi.
platform::DrawSurface MakePage(bool colour) {
    const int dpi = colour ? 150 : 300;
    const int w = 17 * dpi / 2, h = 11 * dpi;
    platform::DrawSurface s(w, h);
    QImage page(w, h, QImage::Format_RGB32);
    page.fill(Qt::white);
    QPainter p(&page);
    if (colour) {
        QLinearGradient g(0, 0, w, h);
        g.setColorAt(0, QColor(30, 90, 160));
        g.setColorAt(1, QColor(220, 180, 60));
        p.fillRect(w / 10, h / 10, w * 8 / 10, h * 4 / 10, g);
    }
    QFont f("Arial");
    f.setPixelSize(dpi / 9);
    f.setStyleStrategy(QFont::NoAntialias);
    p.setFont(f);
    for (int y = colour ? h / 2 : dpi * 2 / 3; y < h - dpi * 2 / 3; y += dpi / 6) {
        p.drawText(dpi / 2, y, "The quick brown fox jumps over the lazy dog, 0123456789 times.");
    }
    p.end();
    s.Image() = page;
    return s;
}

const platform::DrawSurface& Page(int n) {
    static const platform::DrawSurface mono = MakePage(false), colour = MakePage(true);
    return n % 5 == 4 ? colour : mono;
}

// The job of n pages, as the print driver prints a range; false and the
// engine's text after a failure.
bool PrintJob(const std::string& printer, int pages, std::string& error) {
    cGdiPrn engine;
    engine.UseBarCode(true);
    platform::DrawSurface out;
    if (!engine.StartWinPrintJob(1, false, out, "", nullptr, printer, 2) ||
        !engine.WinPrntStartNewDocument(0, "")) {
        error = engine.LastErrorMsg();
        return false;
    }
    for (int n = 0; n < pages; ++n) {
        const std::string key = "DOC" + std::to_string(100000 + n);
        if (!engine.WinPrntImage(Page(n), n % 5 == 4 ? 150 : 300,
                                 "Confidential - produced under protective order", key, "", false,
                                 0)) {
            error = engine.LastErrorMsg();
            return false;
        }
    }
    const bool ok = engine.StopWinPrintJob();
    if (!ok) error = engine.LastErrorMsg();
    return ok;
}

const char* Queue() {
    return std::getenv("TALQ_TEST_CUPS_QUEUE");
}

void Run(benchmark::State& state, const std::string& printer) {
    std::string error;
    for (auto _ : state) {
        if (!PrintJob(printer, static_cast<int>(state.range(0)), error)) {
            state.SkipWithError(error.c_str());
            return;
        }
    }
    state.SetItemsProcessed(state.iterations() * state.range(0));
}

void BM_MixedJobToPdf(benchmark::State& state) {
    const std::string file = QDir::tempPath().toStdString() + "/talq_cups_bench.pdf";
    QFile::remove(QString::fromStdString(file));
    Run(state, file);
    QFile::remove(QString::fromStdString(file));
}
BENCHMARK(BM_MixedJobToPdf)->Arg(50)->Iterations(1)->Unit(benchmark::kMillisecond);

void BM_MixedJobToCups(benchmark::State& state) {
    if (!Queue()) {
        state.SkipWithError("no CUPS queue: eval \"$(scripts/cups-sandbox start DIR)\" first");
        return;
    }
    Run(state, Queue());
}
BENCHMARK(BM_MixedJobToCups)->Arg(50)->Iterations(1)->Unit(benchmark::kMillisecond);

// The process's peak resident memory in MB.
double PeakMb() {
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line)) {
        if (line.rfind("VmHWM:", 0) == 0) return std::stod(line.substr(6)) / 1024.0;
    }
    return 0;
}

// The peak after a short job, then after a long one: what the long job adds.
void BM_CupsPeakMemory(benchmark::State& state) {
    if (!Queue()) {
        state.SkipWithError("no CUPS queue: eval \"$(scripts/cups-sandbox start DIR)\" first");
        return;
    }
    const int shortJob = 50, longJob = static_cast<int>(state.range(0));
    std::string error;
    for (auto _ : state) {
        if (!PrintJob(Queue(), shortJob, error)) break;
        const double afterShort = PeakMb();
        if (!PrintJob(Queue(), longJob, error)) break;
        const double afterLong = PeakMb();
        state.counters["peak_mb_50_pages"] = afterShort;
        state.counters["peak_mb_long_job"] = afterLong;
        state.counters["long_job_adds_mb"] = afterLong - afterShort;
    }
    if (!error.empty()) state.SkipWithError(error.c_str());
}
BENCHMARK(BM_CupsPeakMemory)->Arg(2000)->Iterations(1)->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv) {
    return benchsupport::RunBenchmarks<QGuiApplication>(argc, argv, [] {
        platform::InstallPrinterCollection(std::make_shared<platform::CupsPrinterCollection>());
        return true;
    });
}

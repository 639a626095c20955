// Printing a 300 dpi G4 letter page with key, message and bar code: pages
// composed and written to a PDF file, beside the same pages composed and
// thrown away.

#include <benchmark/benchmark.h>

#include <QDir>
#include <QGuiApplication>
#include <QPainter>

#include <memory>
#include <string>

#include "platform/printer_pdf.h"
#include "platform/printer_recording.h"
#include "printing/gdi_prn.h"
#include "render/gdi_lead.h"
#include "support/test_images.h"

namespace {

constexpr int kPageW = 2550, kPageH = 3300;  // letter at 300 dpi

// The scanned page as the print driver hands it over: drawn once from a
// G4 file into a surface of the image's size.
const platform::DrawSurface& G4Page() {
    static const platform::DrawSurface surface = [] {
        QImage page(kPageW, kPageH, QImage::Format_RGB32);
        page.fill(Qt::white);
        QPainter p(&page);
        QFont f("Arial");
        f.setPixelSize(34);
        f.setStyleStrategy(QFont::NoAntialias);
        p.setFont(f);
        for (int y = 200; y < kPageH - 200; y += 50) {
            p.drawText(150, y, "The quick brown fox jumps over the lazy dog, 0123456789 times.");
        }
        p.end();
        const std::string file = QDir::tempPath().toStdString() + "/talq_print_bench.tif";
        testsupport::WriteG4Tiff(file, page, 300);
        platform::DrawSurface s(kPageW, kPageH);
        cGdiLead engine;
        engine.OpenImageFile(file);
        engine.SetGraphicsOutput(&s);
        engine.DrawImageRect(0, 0, kPageW, kPageH, kPageW, kPageH);
        engine.FreeGraphics();
        return s;
    }();
    return surface;
}

// Takes every page and keeps none.
class DiscardingPrinter : public platform::RecordingPrinter {
  public:
    DiscardingPrinter() : RecordingPrinter("Discard") {}
    void PrintText(const std::string&) override {}
    void NewPage() override {}
    bool Escape(const std::string&) override { return true; }
    bool DrawImage(int, int, const QImage& image) override { return !image.isNull(); }
    bool StretchImage(int, int, int, int, const QImage& image) override { return !image.isNull(); }
};

void PrintPages(benchmark::State& state, std::shared_ptr<platform::Printer> printer) {
    const platform::DrawSurface& page = G4Page();
    platform::InstallPrinterCollection(
        std::make_shared<platform::SinglePrinterCollection>(printer));
    cGdiPrn engine;
    engine.UseBarCode(true);
    platform::DrawSurface out;
    engine.StartWinPrintJob(1, false, out, "", nullptr, printer->DeviceName(), 1);
    engine.WinPrntStartNewDocument(0, "");
    int n = 0;
    for (auto _ : state) {
        const std::string key = "DOC" + std::to_string(100000 + n++);
        if (!engine.WinPrntImage(page, 300, "Confidential - produced under protective order", key,
                                 "", false, 0)) {
            state.SkipWithError(engine.LastErrorMsg().c_str());
            break;
        }
    }
    engine.StopWinPrintJob();
    platform::InstallPrinterCollection(nullptr);
    state.SetItemsProcessed(state.iterations());
}

void BM_ComposeAndWritePdf(benchmark::State& state) {
    const std::string path = QDir::tempPath().toStdString() + "/talq_print_bench.pdf";
    PrintPages(state, std::make_shared<platform::PdfPrinter>("Bench PDF", path, 300));
}
BENCHMARK(BM_ComposeAndWritePdf)->Unit(benchmark::kMillisecond);

void BM_ComposeOnly(benchmark::State& state) {
    auto printer = std::make_shared<DiscardingPrinter>();
    PrintPages(state, printer);
}
BENCHMARK(BM_ComposeOnly)->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}

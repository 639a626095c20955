// Printing a 300 dpi G4 letter page with key, message and bar code: pages
// composed and written to a PDF file, beside the same pages composed and
// thrown away; then the composed page written alone by each candidate PDF
// writer, with the bytes each needs against the G4 source page.

#include <benchmark/benchmark.h>

#include <cairo-pdf.h>
#include <cairo.h>
#include <hpdf.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QGuiApplication>
#include <QPainter>
#include <QPdfWriter>

#include <memory>
#include <string>

#include "bench_main.h"
#include "platform/bitonal_image.h"
#include "platform/printer_pdf.h"
#include "platform/printer_recording.h"
#include "printing/gdi_prn.h"
#include "render/gdi_lead.h"
#include "support/test_images.h"

namespace {

constexpr int kPageW = 2550, kPageH = 3300;  // letter at 300 dpi

std::string TempFile(const char* name) {
    return QDir::tempPath().toStdString() + "/" + name;
}

double FileBytes(const std::string& path) {
    return static_cast<double>(QFileInfo(QString::fromStdString(path)).size());
}

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
        const std::string file = TempFile("talq_print_bench.tif");
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
    bool NewPage() override { return true; }
    bool Escape(const std::string&) override { return true; }
    bool DrawImage(int, int, const QImage& image) override { return !image.isNull(); }
    bool StretchImage(int, int, int, int, const QImage& image) override { return !image.isNull(); }
};

// Prints pages as long as the state runs; false after a failure.
bool PrintPages(benchmark::State& state, std::shared_ptr<platform::Printer> printer) {
    const platform::DrawSurface& page = G4Page();
    platform::InstallPrinterCollection(
        std::make_shared<platform::SinglePrinterCollection>(printer));
    cGdiPrn engine;
    engine.UseBarCode(true);
    platform::DrawSurface out;
    engine.StartWinPrintJob(1, false, out, "", nullptr, printer->DeviceName(), 1);
    engine.WinPrntStartNewDocument(0, "");
    int n = 0;
    bool ok = true;
    for (auto _ : state) {
        const std::string key = "DOC" + std::to_string(100000 + n++);
        if (!engine.WinPrntImage(page, 300, "Confidential - produced under protective order", key,
                                 "", false, 0)) {
            state.SkipWithError(engine.LastErrorMsg().c_str());
            ok = false;
            break;
        }
    }
    engine.StopWinPrintJob();
    platform::InstallPrinterCollection(nullptr);
    state.SetItemsProcessed(state.iterations());
    return ok;
}

void BM_ComposeAndWritePdf(benchmark::State& state) {
    auto printer =
        std::make_shared<platform::PdfPrinter>("Bench PDF", TempFile("talq_print_bench.pdf"), 300);
    if (!PrintPages(state, printer)) return;
    const double bytes = FileBytes(printer->WrittenPath());
    QFile::remove(QString::fromStdString(printer->WrittenPath()));
    const double perPage = bytes / static_cast<double>(state.iterations());
    const double source = FileBytes(TempFile("talq_print_bench.tif"));
    state.counters["pdf_bytes_per_page"] = perPage;
    state.counters["g4_source_bytes"] = source;
    state.counters["pdf_over_g4"] = source > 0 ? perPage / source : 0;
}
BENCHMARK(BM_ComposeAndWritePdf)->Unit(benchmark::kMillisecond);

void BM_ComposeOnly(benchmark::State& state) {
    PrintPages(state, std::make_shared<DiscardingPrinter>());
}
BENCHMARK(BM_ComposeOnly)->Unit(benchmark::kMillisecond);

// ---- Candidate writers of one composed black-and-white page ----

// The page as the engine composes it for the printer.
const QImage& ComposedPage() {
    static const QImage page = [] {
        auto recorder = std::make_shared<platform::RecordingPrinter>("Rec");
        platform::InstallPrinterCollection(
            std::make_shared<platform::SinglePrinterCollection>(recorder));
        cGdiPrn engine;
        engine.UseBarCode(true);
        platform::DrawSurface out;
        engine.StartWinPrintJob(1, false, out, "", nullptr, "Rec", 1);
        engine.WinPrntImage(G4Page(), 300, "Confidential - produced under protective order",
                            "DOC100000", "", false, 0);
        engine.StopWinPrintJob();
        platform::InstallPrinterCollection(nullptr);
        return recorder->images.empty() ? QImage() : recorder->images.front();
    }();
    return page;
}

// Runs a writer of one page into a file per iteration and reports the bytes
// of the last one beside the G4 source's.
template <class Write>
void WriterBench(benchmark::State& state, Write write) {
    const QImage& page = ComposedPage();
    if (!platform::IsBitonal(page)) {
        state.SkipWithError("the composed page is not black and white");
        return;
    }
    const std::string path = TempFile("talq_writer_bench.pdf");
    double bytes = 0;
    for (auto _ : state) {
        QFile::remove(QString::fromStdString(path));
        write(page, path);
        state.PauseTiming();
        bytes = FileBytes(path);
        state.ResumeTiming();
    }
    QFile::remove(QString::fromStdString(path));
    state.counters["pdf_bytes"] = bytes;
    state.counters["g4_source_bytes"] = FileBytes(TempFile("talq_print_bench.tif"));
}

// The PDF printer: libtiff's G4 attached to cairo's PDF surface.
void BM_Writer_CairoWithG4(benchmark::State& state) {
    WriterBench(state, [](const QImage& page, const std::string& path) {
        platform::PdfPrinter pdf("Bench", path, 300);
        pdf.DrawImage(0, 0, page);
    });
}
BENCHMARK(BM_Writer_CairoWithG4)->Unit(benchmark::kMillisecond);

// Cairo alone: it finds the page black and white and stores it 1-bit, Flate.
void BM_Writer_CairoOwn1Bit(benchmark::State& state) {
    WriterBench(state, [](const QImage& page, const std::string& path) {
        cairo_surface_t* pdf = cairo_pdf_surface_create(path.c_str(), 612, 792);
        cairo_surface_t* image = cairo_image_surface_create_for_data(
            const_cast<uchar*>(page.constBits()), CAIRO_FORMAT_RGB24, page.width(), page.height(),
            static_cast<int>(page.bytesPerLine()));
        cairo_t* cr = cairo_create(pdf);
        cairo_scale(cr, 72.0 / 300, 72.0 / 300);
        cairo_set_source_surface(cr, image, 0, 0);
        cairo_paint(cr);
        cairo_destroy(cr);
        cairo_surface_finish(pdf);
        cairo_surface_destroy(pdf);
        cairo_surface_destroy(image);
    });
}
BENCHMARK(BM_Writer_CairoOwn1Bit)->Unit(benchmark::kMillisecond);

// libharu's 1-bit image, which it encodes G4 itself.
void BM_Writer_Haru1Bit(benchmark::State& state) {
    WriterBench(state, [](const QImage& page, const std::string& path) {
        const QImage mono = platform::ToMono(page);
        HPDF_Doc doc = HPDF_New(nullptr, nullptr);
        HPDF_Page pdfPage = HPDF_AddPage(doc);
        HPDF_Page_SetWidth(pdfPage, 612);
        HPDF_Page_SetHeight(pdfPage, 792);
        HPDF_Image image = HPDF_Image_LoadRaw1BitImageFromMem(
            doc, mono.constBits(), static_cast<HPDF_UINT>(mono.width()),
            static_cast<HPDF_UINT>(mono.height()), static_cast<HPDF_UINT>(mono.bytesPerLine()),
            HPDF_TRUE, HPDF_TRUE);
        HPDF_Page_DrawImage(pdfPage, image, 0, 0, 612, 792);
        HPDF_SaveToFile(doc, path.c_str());
        HPDF_Free(doc);
    });
}
BENCHMARK(BM_Writer_Haru1Bit)->Unit(benchmark::kMillisecond);

// Qt's writer given the page 1-bit, its lossless path.
void BM_Writer_Qt1Bit(benchmark::State& state) {
    WriterBench(state, [](const QImage& page, const std::string& path) {
        QPdfWriter writer(QString::fromStdString(path));
        writer.setResolution(300);
        writer.setPageSize(QPageSize(QPageSize::Letter));
        writer.setPageMargins(QMarginsF(0, 0, 0, 0));
        QPainter painter(&writer);
        painter.drawImage(0, 0, page.convertToFormat(QImage::Format_Mono));
    });
}
BENCHMARK(BM_Writer_Qt1Bit)->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv) {
    return benchsupport::RunBenchmarks<QGuiApplication>(argc, argv);
}

// Opening and drawing a scanned letter page, redrawing it at a new scale,
// and drawing the annotation layers at their per-page limits.

#include <benchmark/benchmark.h>

#include <QDir>
#include <QGuiApplication>
#include <QPainter>

#include <tiffio.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "annotations/annotation_layers.h"
#include "bench_main.h"
#include "render/gdi_lead.h"
#include "support/test_images.h"

namespace {

constexpr int kPageW = 2550, kPageH = 3300;  // letter at 300 dpi
constexpr int kViewW = 1000, kViewH = 1294;

// A page of thin text lines, written once per run.
const std::string& G4Page() {
    static const std::string path = [] {
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
        std::string file = QDir::tempPath().toStdString() + "/talq_bench_page.tif";
        testsupport::WriteG4Tiff(file, page, 300);
        return file;
    }();
    return path;
}

void BM_OpenAndDrawG4Page(benchmark::State& state) {
    const std::string& path = G4Page();
    platform::DrawSurface surface(kViewW, kViewH);
    for (auto _ : state) {
        cGdiLead engine;
        engine.OpenImageFile(path);
        engine.SetGraphicsOutput(&surface);
        benchmark::DoNotOptimize(engine.DrawImageRect(0, 0, kViewW, kViewH, kViewW, kViewH));
    }
}
BENCHMARK(BM_OpenAndDrawG4Page)->Unit(benchmark::kMillisecond);

// The floor for the path above: decode with libtiff, scale with Qt.
void BM_LibtiffDecodeAndScaleBaseline(benchmark::State& state) {
    const std::string& path = G4Page();
    for (auto _ : state) {
        TIFF* tif = TIFFOpen(path.c_str(), "r");
        std::uint32_t w = 0, h = 0;
        TIFFGetField(tif, TIFFTAG_IMAGEWIDTH, &w);
        TIFFGetField(tif, TIFFTAG_IMAGELENGTH, &h);
        QImage page(static_cast<int>(w), static_cast<int>(h), QImage::Format_Mono);
        page.setColorTable({qRgb(255, 255, 255), qRgb(0, 0, 0)});
        for (std::uint32_t y = 0; y < h; ++y) TIFFReadScanline(tif, page.scanLine(y), y, 0);
        TIFFClose(tif);
        QImage scaled =
            page.scaled(kViewW, kViewH, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
        benchmark::DoNotOptimize(scaled.constBits());
    }
}
BENCHMARK(BM_LibtiffDecodeAndScaleBaseline)->Unit(benchmark::kMillisecond);

void BM_RedrawAtNewScale(benchmark::State& state) {
    cGdiLead engine;
    engine.OpenImageFile(G4Page());
    platform::DrawSurface surface(kViewW, kViewH);
    engine.SetGraphicsOutput(&surface);
    int step = 0;
    for (auto _ : state) {
        const int w = kViewW - 100 + (step++ % 2) * 100;  // a new scale every time
        benchmark::DoNotOptimize(
            engine.DrawImageRect(0, 0, w, w * kPageH / kPageW, kViewW, kViewH));
    }
}
BENCHMARK(BM_RedrawAtNewScale)->Unit(benchmark::kMillisecond);

AnnotationList Boxes(int n, int seed, std::int32_t colour) {
    AnnotationList list;
    for (int i = 0; i < n; ++i) {
        AnnotationRec r;
        r.Left = 100 + (i * 97 + seed) % 2000;
        r.Top = 100 + (i * 131 + seed) % 3000;
        r.Right = r.Left + 300;
        r.Bottom = r.Top + 80;
        r.Color = colour;
        r.Color2 = 0xFFFFFF;
        r.FontName = "Arial";
        r.FontSize = 20;
        r.Stamp = std::string("PRIVILEGED") + TalqClientAPI_Header::kStampSep + "user";
        list.push_back(r);
    }
    return list;
}

void BM_DrawSixLayersAtTheirLimits(benchmark::State& state) {
    const AnnotationList redactions = Boxes(MaxAnnotationsPerPage(kRedaction), 1, 0);
    const AnnotationList highlights = Boxes(MaxAnnotationsPerPage(kHighlight), 7, 0x00FFFF);
    AnnotationList notes = Boxes(MaxAnnotationsPerPage(kTextNote), 13, 0);
    for (AnnotationRec& r : notes) r.Text = "Reviewed for privilege; see the attached memo first.";
    AnnotationList markups = Boxes(MaxAnnotationsPerPage(kMarkup), 17, 0x0000FF);
    for (AnnotationRec& r : markups) {
        r.Rotation = 30;
        for (int k = 0; k < 50; ++k) {
            r.Text += (k ? ";" : "") + std::to_string(r.Left + k * 20) + "," +
                      std::to_string(r.Top + (k % 5) * 15);
        }
    }
    const AnnotationList stickies = Boxes(MaxAnnotationsPerPage(kStickyNote), 23, 0);
    const AnnotationList clips = Boxes(MaxAnnotationsPerPage(kClip), 29, 0);
    QImage icon(24, 24, QImage::Format_RGB32);
    icon.fill(Qt::yellow);

    PageDrawInfo info;
    info.width = kPageW;
    info.height = kPageH;
    info.scale = static_cast<float>(kViewW) / kPageW;
    platform::DrawSurface surface(kViewW, kViewH);
    using namespace TalqClientAPI_Header;
    for (auto _ : state) {
        DrawRedactions(static_cast<int>(redactions.size()), redactions, surface, info, 0, 1.0f, 0);
        DrawHighlights(static_cast<int>(highlights.size()), highlights, surface, info, 0, 1.0f);
        DrawMarkups(static_cast<int>(markups.size()), markups, surface, info, 0, 1.0f);
        DrawTextNotes(static_cast<int>(notes.size()), notes, surface, info, 0, 1.0f);
        DrawIconAnnotations(static_cast<int>(stickies.size()), stickies, surface, info, icon, 1.0f);
        DrawIconAnnotations(static_cast<int>(clips.size()), clips, surface, info, icon, 1.0f);
        benchmark::ClobberMemory();
    }
}
BENCHMARK(BM_DrawSixLayersAtTheirLimits)->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv) {
    return benchsupport::RunBenchmarks<QGuiApplication>(argc, argv);
}

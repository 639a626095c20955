// The main window redrawing a letter page with its layers: after a scroll
// step and after a zoom-window step, as the scroll bar and zoom buttons do.

#include <benchmark/benchmark.h>

#include <QApplication>
#include <QDir>
#include <QPainter>
#include <QScrollBar>

#include <cstdlib>
#include <string>

#include "bench_main.h"
#include "support/annotation_box.h"
#include "support/test_images.h"
#include "viewer/widgets/frm_view.h"

namespace {

constexpr int kPageW = 2550, kPageH = 3300;  // letter at 300 dpi

const std::string& G4Page() {
    static const std::string path = [] {
        QImage page(kPageW, kPageH, QImage::Format_RGB32);
        page.fill(Qt::white);
        QPainter p(&page);
        p.setPen(Qt::black);
        for (int y = 200; y < kPageH - 200; y += 50) p.drawLine(150, y, kPageW - 150, y);
        p.end();
        std::string file = QDir::tempPath().toStdString() + "/talq_bench_window_page.tif";
        testsupport::WriteG4Tiff(file, page, 300);
        return file;
    }();
    return path;
}

AnnotationRec Box(int l, int t, int r, int b, std::int32_t colour) {
    return testsupport::AnnotationBox(l, t, r, b, colour);
}

// A shown window with the page at 100 % and a few of each box layer.
struct ShownPage {
    viewer::frmView window;
    ShownPage() {
        window.Form_Load();
        window.resize(1200, 1000);
        window.show();
        QApplication::processEvents();
        window.ImgObj->OpenImageFile(G4Page());
        window.page.g_ImgWidth = window.ImgObj->ImgWidth();
        window.page.g_ImgHeight = window.ImgObj->ImgHeight();
        window.page.g_ValidImage = 1;
        for (int i = 0; i < 20; ++i) {
            window.pageAnnotations[kRedaction].list.push_back(
                Box(200, 150 * i + 100, 900, 150 * i + 140, 0));
            window.pageAnnotations[kHighlight].list.push_back(
                Box(1000, 150 * i + 100, 1800, 150 * i + 140, 65535));
        }
        window.pageAnnotations[kRedaction].count = window.pageAnnotations[kHighlight].count = 20;
        window.zoom.ZoomWin_Active = 1;
        window.zoom.g_ScaleFactor = 1.0f;
        window.zoom.g_ScaleMode = 2;
        window.Form_Resize();
    }
};

void BM_RedisplayAfterScroll(benchmark::State& state) {
    ShownPage page;
    QScrollBar* bar = page.window.ui.VScroll1;
    int value = 0;
    for (auto _ : state) {
        value = value >= bar->maximum() ? 0 : value + bar->singleStep();
        bar->setValue(value);  // runs the change handler, which redraws
    }
}
BENCHMARK(BM_RedisplayAfterScroll)->Unit(benchmark::kMillisecond);

void BM_ZoomWindowStep(benchmark::State& state) {
    ShownPage page;
    page.window.zoom.ZoomWin_X = 600;
    page.window.zoom.ZoomWin_Y = 600;
    int step = 0;
    for (auto _ : state) {
        page.window.TBZoom_Click(step++ % 8 < 4 ? 1 : 0);
    }
}
BENCHMARK(BM_ZoomWindowStep)->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv) {
    return benchsupport::RunBenchmarks<QApplication>(argc, argv);
}

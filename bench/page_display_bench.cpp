// Showing the next page in the main window end to end (NextKey, then
// DisplayImage: lock, page information, image, word and annotation lists,
// document bounds, decode, scale and draw, and the paint it asks for)
// through the local-access library and over loopback TCP, beside the bare
// decode and scale of the same pages. For the 300 dpi letter G4 pages, the
// end-to-end next page runs beside the true floor: libtiff's decode and a
// plain area average to the pane's width, in one thread and without Qt. For
// the colour JPEG pages, beside Qt's full-size decode and smooth scale.

#include <benchmark/benchmark.h>

#include <QApplication>

#include <stdlib.h>
#include <tiffio.h>

#include <fstream>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "bench_demo_system.h"
#include "platform/draw_surface.h"
#include "render/gdi_lead.h"
#include "render/page_decode.h"
#include "viewer/widgets/frm_view.h"
#include "viewer/widgets/talq_viewer_session.h"

namespace {

constexpr int kPages = 48;

benchsupport::BenchDemoSystem* g_system = nullptr;

bool OpenSession(TalqClientAPI& api, bool local) {
    return g_system->OpenSession(api, local);
}

// A shown window of a usual size with the project open and no page yet.
struct OpenWindow {
    viewer::frmView window;
    bool ok = false;
    explicit OpenWindow(bool local) {
        window.Form_Load();
        window.resize(1100, 850);
        window.show();
        QApplication::processEvents();
        window.Form_Resize();
        auto& api = static_cast<viewer::TalqViewerSession&>(*window.TalqAPi).Api();
        ok = OpenSession(api, local);
        window.login.szProjectName = "ACME";
        window.LoadProjectViews();
    }
};

void BM_ShowNextPage(benchmark::State& state) {
    const bool local = state.range(0) == 1;
    OpenWindow shown(local);
    if (!shown.ok) {
        state.SkipWithError("no session");
        return;
    }
    viewer::frmView& w = shown.window;
    std::string key;
    for (auto _ : state) {
        int level = 0;
        std::string next;
        if (!w.TalqAPi->NextKey(key, level, next)) {
            key.clear();  // past the last page: from the first again
            w.TalqAPi->NextKey(key, level, next);
        }
        if (!w.DisplayImage(next)) state.SkipWithError("a page was not shown");
        QApplication::processEvents();  // the repaint the display asked for
        key = next;
    }
    state.SetLabel(local ? "local" : "tcp");
}
BENCHMARK(BM_ShowNextPage)->Arg(1)->Arg(0)->Unit(benchmark::kMillisecond);

// The same pages' files, only opened in the engine and drawn at the window's
// fit-width scale into a back buffer of the page pane's size.
void BM_DecodeAndScalePage(benchmark::State& state) {
    OpenWindow shown(true);
    if (!shown.ok) {
        state.SkipWithError("no session");
        return;
    }
    viewer::frmView& w = shown.window;
    auto& api = static_cast<viewer::TalqViewerSession&>(*w.TalqAPi).Api();
    std::vector<std::string> files;
    std::string key, next;
    std::int16_t level = 0;
    while (api.NextKey(key, level, next)) {
        key = next;
        std::string bytes = api.GetImage(key, 0);
        if (bytes.empty()) continue;  // placeholder pages have their own road
        files.push_back(g_system->root + "/page" + std::to_string(files.size()) + ".img");
        std::ofstream(files.back(), std::ios::binary) << bytes;
    }
    if (files.empty()) {
        state.SkipWithError("no page images");
        return;
    }
    const int paneW = w.ui.picImage->width(), paneH = w.ui.picImage->height();
    platform::DrawSurface back;
    back.Resize(paneW, paneH);
    cGdiLead engine;
    size_t i = 0;
    for (auto _ : state) {
        const std::string& file = files[i++ % files.size()];
        if (!engine.OpenImageFile(file)) state.SkipWithError("a page did not decode");
        back.Clear();
        engine.SetGraphicsOutput(&back);
        const double scale = static_cast<double>(paneW) / engine.ImgWidth();
        engine.DrawImageRect(0, 0, paneW, static_cast<int>(engine.ImgHeight() * scale), paneW,
                             paneH);
        engine.FreeGraphics();
        engine.FreeImage();
    }
}
BENCHMARK(BM_DecodeAndScalePage)->Unit(benchmark::kMillisecond);

// Pages of one kind in the demo: each key with the key before it and its
// file.
struct KindOfPages {
    std::vector<std::string> before, keys, files;
};

bool IsLetterAt300Dpi(const std::string& file) {
    TIFF* tif = TIFFOpen(file.c_str(), "r");
    if (!tif) return false;
    std::uint32_t w = 0, h = 0;
    TIFFGetField(tif, TIFFTAG_IMAGEWIDTH, &w);
    TIFFGetField(tif, TIFFTAG_IMAGELENGTH, &h);
    TIFFClose(tif);
    return w == 2550 && h == 3300;
}

bool IsG4Letter(const std::string& bytes, const std::string& file) {
    const bool tiff = bytes.rfind("II*", 0) == 0 || bytes.rfind(std::string("MM\0*", 4), 0) == 0;
    return tiff && IsLetterAt300Dpi(file);
}

bool IsColourJpeg(const std::string& bytes, const std::string&) {
    const QByteArray head = QByteArray::fromStdString(bytes.substr(0, 64 * 1024));
    return bytes.rfind("\xFF\xD8", 0) == 0 && pagedecode::HeaderBitsPerPixel(head) == 24;
}

const KindOfPages& PagesOf(TalqClientAPI& api,
                           bool (*kind)(const std::string&, const std::string&)) {
    static std::map<decltype(kind), KindOfPages> found;
    KindOfPages& pages = found[kind];
    if (!pages.keys.empty()) return pages;
    std::string key, next;
    std::int16_t level = 0;
    while (api.NextKey(key, level, next)) {
        const std::string bytes = api.GetImage(next, 0);
        const std::string file =
            g_system->root + "/kind" + std::to_string(found.size()) + "-" + next + ".img";
        std::ofstream(file, std::ios::binary) << bytes;
        if (!bytes.empty() && kind(bytes, file)) {
            pages.before.push_back(key);
            pages.keys.push_back(next);
            pages.files.push_back(file);
        }
        key = next;
    }
    return pages;
}

// The pages of a kind, or null with the benchmark marked as skipped.
const KindOfPages* PagesFor(OpenWindow& shown, benchmark::State& state,
                            bool (*kind)(const std::string&, const std::string&)) {
    if (!shown.ok) {
        state.SkipWithError("no session");
        return nullptr;
    }
    const KindOfPages& pages =
        PagesOf(static_cast<viewer::TalqViewerSession&>(*shown.window.TalqAPi).Api(), kind);
    if (pages.keys.empty()) {
        state.SkipWithError("no pages of the kind");
        return nullptr;
    }
    return &pages;
}

// Each page of the kind in turn, shown as the next page and painted.
void ShowNextPageOf(benchmark::State& state, bool (*kind)(const std::string&, const std::string&)) {
    OpenWindow shown(true);
    const KindOfPages* found = PagesFor(shown, state, kind);
    if (found == nullptr) return;
    const KindOfPages& pages = *found;
    viewer::frmView& w = shown.window;
    size_t i = 0;
    for (auto _ : state) {
        const size_t n = i++ % pages.keys.size();
        int level = 0;
        std::string next;
        w.TalqAPi->NextKey(pages.before[n], level, next);
        if (!w.DisplayImage(next)) state.SkipWithError("a page was not shown");
        QApplication::processEvents();  // the repaint the display asked for
    }
    state.SetLabel("local, " + std::to_string(pages.keys.size()) + " pages");
}

void BM_ShowNextG4Page(benchmark::State& state) {
    ShowNextPageOf(state, IsG4Letter);
}
BENCHMARK(BM_ShowNextG4Page)->Unit(benchmark::kMillisecond);

void BM_ShowNextColourPage(benchmark::State& state) {
    ShowNextPageOf(state, IsColourJpeg);
}
BENCHMARK(BM_ShowNextColourPage)->Unit(benchmark::kMillisecond);

// Qt alone on the same colour pages: the full-size decode and a smooth scale
// to the pane's width.
void BM_QtDecodeAndScaleColourPage(benchmark::State& state) {
    OpenWindow shown(true);
    const KindOfPages* found = PagesFor(shown, state, IsColourJpeg);
    if (found == nullptr) return;
    const int paneW = shown.window.ui.picImage->width();
    size_t i = 0;
    for (auto _ : state) {
        QImage page(QString::fromStdString(found->files[i++ % found->files.size()]));
        const QImage shownPage = page.convertToFormat(QImage::Format_RGB32)
                                     .scaledToWidth(paneW, Qt::SmoothTransformation);
        benchmark::DoNotOptimize(shownPage.constBits());
    }
}
BENCHMARK(BM_QtDecodeAndScaleColourPage)->Unit(benchmark::kMillisecond);

// A plain area average of 1-bit rows (set = black) to dw x dh grey pixels:
// each output pixel is the mean of the source pixels its box covers.
void PlainAreaAverage(const std::vector<std::uint8_t>& bits, int w, int h, int dw, int dh,
                      std::vector<std::uint8_t>& out) {
    const int rowBytes = (w + 7) / 8;
    std::vector<std::uint32_t> columnInk(static_cast<size_t>(w));
    out.assign(static_cast<size_t>(dw) * dh, 0);
    for (int y = 0; y < dh; ++y) {
        const int y0 = static_cast<int>(static_cast<std::int64_t>(y) * h / dh);
        const int y1 =
            std::max(y0 + 1, static_cast<int>(static_cast<std::int64_t>(y + 1) * h / dh));
        std::fill(columnInk.begin(), columnInk.end(), 0);
        for (int sy = y0; sy < y1; ++sy) {
            const std::uint8_t* row = bits.data() + static_cast<size_t>(sy) * rowBytes;
            for (int b = 0; b < rowBytes; ++b) {
                if (row[b] == 0) continue;
                for (int k = 0; k < 8 && b * 8 + k < w; ++k)
                    columnInk[b * 8 + k] += (row[b] >> (7 - k)) & 1;
            }
        }
        for (int x = 0; x < dw; ++x) {
            const int x0 = static_cast<int>(static_cast<std::int64_t>(x) * w / dw);
            const int x1 =
                std::max(x0 + 1, static_cast<int>(static_cast<std::int64_t>(x + 1) * w / dw));
            std::uint32_t ink = 0;
            for (int sx = x0; sx < x1; ++sx) ink += columnInk[sx];
            const std::uint32_t area = static_cast<std::uint32_t>((x1 - x0) * (y1 - y0));
            out[static_cast<size_t>(y) * dw + x] =
                static_cast<std::uint8_t>(255 - 255 * ink / area);
        }
    }
}

void BM_TrueBaselineG4Page(benchmark::State& state) {
    OpenWindow shown(true);
    const KindOfPages* found = PagesFor(shown, state, IsG4Letter);
    if (found == nullptr) return;
    const KindOfPages& pages = *found;
    viewer::frmView& w = shown.window;
    const int paneW = w.ui.picImage->width();
    std::vector<std::uint8_t> bits, grey;
    size_t i = 0;
    for (auto _ : state) {
        TIFF* tif = TIFFOpen(pages.files[i++ % pages.files.size()].c_str(), "r");
        if (!tif) {
            state.SkipWithError("a page did not open");
            break;
        }
        std::uint32_t pw = 0, ph = 0;
        TIFFGetField(tif, TIFFTAG_IMAGEWIDTH, &pw);
        TIFFGetField(tif, TIFFTAG_IMAGELENGTH, &ph);
        const int rowBytes = static_cast<int>((pw + 7) / 8);
        bits.resize(static_cast<size_t>(rowBytes) * ph);
        for (std::uint32_t y = 0; y < ph; ++y) {
            TIFFReadScanline(tif, bits.data() + static_cast<size_t>(y) * rowBytes, y, 0);
        }
        TIFFClose(tif);
        const int dh = static_cast<int>(static_cast<std::int64_t>(ph) * paneW / pw);
        PlainAreaAverage(bits, static_cast<int>(pw), static_cast<int>(ph), paneW, dh, grey);
        benchmark::DoNotOptimize(grey.data());
    }
}
BENCHMARK(BM_TrueBaselineG4Page)->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv) {
    docserver::demo::DemoOptions options;
    options.pages = kPages;
    return benchsupport::RunBenchmarksOnDemo<QApplication>(argc, argv, options, g_system);
}

// Showing the next page in the main window end to end (NextKey, then
// DisplayImage: lock, page information, image, word and annotation lists,
// document bounds, decode, scale and draw) through the local-access library
// and over loopback TCP, beside the bare decode and scale of the same pages.

#include <benchmark/benchmark.h>

#include <QApplication>

#include <stdlib.h>

#include <fstream>
#include <memory>
#include <string>
#include <vector>

#include "bench_demo_system.h"
#include "platform/draw_surface.h"
#include "render/gdi_lead.h"
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
    const int paneW = w.picImage->width(), paneH = w.picImage->height();
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

}  // namespace

int main(int argc, char** argv) {
    setenv("QT_QPA_PLATFORM", "offscreen", 0);
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    docserver::demo::DemoOptions options;
    options.pages = kPages;
    benchsupport::BenchDemoSystem system(options);
    g_system = &system;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}

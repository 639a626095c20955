// Printing a 50-page range of the demo from the main window to a PDF file
// (page requests, decode, layers, page composition and the PDF), beside
// composing the same pages with their layers alone.

#include <benchmark/benchmark.h>

#include <cstdio>

#include <QApplication>

#include <stdlib.h>

#include <fstream>
#include <memory>
#include <string>
#include <vector>

#include "bench_demo_system.h"
#include "platform/scripted_prompts.h"
#include "render/gdi_lead.h"
#include "viewer/print_page_compose.h"
#include "viewer/widgets/frm_view.h"
#include "viewer/widgets/talq_viewer_session.h"

namespace {

constexpr int kPages = 50;

benchsupport::BenchDemoSystem* g_system = nullptr;

struct OpenWindow {
    viewer::frmView window;
    bool ok = false;
    OpenWindow() {
        window.Form_Load();
        window.resize(1100, 850);
        window.show();
        QApplication::processEvents();
        window.Form_Resize();
        ok = g_system->OpenSession(Api(), true);
        window.login.szProjectName = "ACME";
        window.LoadProjectViews();
    }
    TalqClientAPI& Api() { return static_cast<viewer::TalqViewerSession&>(*window.TalqAPi).Api(); }
    std::vector<std::string> Keys() {
        std::vector<std::string> keys;
        std::string key, next;
        std::int16_t level = 0;
        while (static_cast<int>(keys.size()) < kPages && Api().NextKey(key, level, next))
            keys.push_back(key = next);
        return keys;
    }
};

void BM_PrintRangeToPdf(benchmark::State& state) {
    OpenWindow shown;
    const std::vector<std::string> keys = shown.Keys();
    if (!shown.ok || keys.size() < kPages) {
        state.SkipWithError("no session");
        return;
    }
    platform::ScriptedPrompts prompts;
    platform::ScopedPrompts scoped(prompts);
    viewer::PrintRequest& r = shown.window.printDriver.printRequest;
    r.g_PrintRange = 2;
    r.g_PrintFlags = printing::kPrintImageKey | printing::kPrintRedactions |
                     printing::kPrintHighlights | printing::kPrintMessage;
    r.g_szPrintMsg = "Confidential";
    r.PrintLocalPrinter = g_system->root + "/range.pdf";
    for (auto _ : state) {
        prompts.QueueInput(keys.front());
        prompts.QueueInput(keys.back());
        shown.window.PrintSelection();
        // Each print writes a new file beside the last: keep one.
        state.PauseTiming();
        std::remove(r.PrintLocalPrinter.c_str());
        state.ResumeTiming();
    }
    if (!prompts.Messages().empty()) state.SkipWithError(prompts.Messages().front().c_str());
    state.SetItemsProcessed(state.iterations() * kPages);
}
BENCHMARK(BM_PrintRangeToPdf)->Unit(benchmark::kMillisecond);

// The same pages' images (a placeholder's as the print has it) and lists
// fetched once; each iteration decodes every page and composes it with its
// layers.
void BM_ComposePagesAlone(benchmark::State& state) {
    OpenWindow shown;
    const std::vector<std::string> keys = shown.Keys();
    if (!shown.ok || keys.size() < kPages) {
        state.SkipWithError("no session");
        return;
    }
    std::vector<std::string> files;
    std::vector<viewer::PageAnnotationLists> lists;
    for (const std::string& key : keys) {
        // The page the print prints: a placeholder's text when it has one.
        std::int32_t level = 0, rotation = 0, mark = 0;
        std::string info, native, ocr, bytes;
        if (!shown.Api().GetImagePageInfo(key, level, rotation, mark, info, native)) continue;
        if (shown.Api().IsPlaceHolderImage() && mark == 0 && shown.Api().GetPageOCR(key, ocr) &&
            !ocr.empty())
            bytes = shown.Api().GetTextImage(ocr);
        if (bytes.empty()) bytes = shown.Api().GetPageImage(key, 0).bytes;
        if (bytes.empty()) continue;
        files.push_back(g_system->root + "/page" + std::to_string(files.size()) + ".img");
        std::ofstream(files.back(), std::ios::binary) << bytes;
        AnnotationTexts texts;
        shown.window.TalqAPi->GetAllAnnotations(key, texts);
        lists.emplace_back().Parse(texts);
    }
    const printing::PrintLayers layers = printing::LayersFor(8 | 16, false, 0, 0, false);
    platform::DrawSurface page;
    cGdiLead engine;
    std::string error;
    for (auto _ : state) {
        for (size_t i = 0; i < files.size(); ++i) {
            if (!engine.OpenImageFile(files[i]) ||
                !viewer::ComposePrintPage(engine, lists[i], layers, 0, page, error))
                state.SkipWithError("a page was not composed");
            engine.FreeImage();
        }
    }
    state.SetItemsProcessed(state.iterations() * static_cast<std::int64_t>(files.size()));
}
BENCHMARK(BM_ComposePagesAlone)->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv) {
    docserver::demo::DemoOptions options;
    options.pages = kPages + 10;
    return benchsupport::RunBenchmarksOnDemo<QApplication>(argc, argv, options, g_system);
}

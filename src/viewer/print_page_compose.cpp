#include "viewer/print_page_compose.h"

#include "annotations/annotation_layers.h"
#include "render/gdi_lead.h"
#include "render/image_view_transform.h"
#include "viewer/page_scene.h"

namespace viewer {

void PageAnnotationLists::Parse(const std::string (&lists)[6]) {
    *this = {};
    using TalqClientAPI_Header::ParseAnnotationList;
    if (!lists[0].empty()) ParseAnnotationList(lists[0], redactions, redactionCount);
    if (!lists[1].empty()) ParseAnnotationList(lists[1], highlights, highlightCount);
    if (!lists[3].empty()) ParseAnnotationList(lists[3], notes, noteCount);
    if (!lists[5].empty()) ParseAnnotationList(lists[5], markups, markupCount);
}

bool ComposePrintPage(cGdiLead& image, const PageAnnotationLists& lists,
                      const printing::PrintLayers& layers, std::int16_t layerRotation,
                      platform::DrawSurface& out, std::string& error) {
    using namespace TalqClientAPI_Header;
    const int w = image.ImgWidth(), h = image.ImgHeight();
    if (w <= 0 || h <= 0) {
        error = "Unable to Initialize Graphics Output";
        return false;
    }
    if (out.Width() != w || out.Height() != h) {
        out.Resize(w, h);
    } else {
        out.Clear();
    }
    if (!image.SetGraphicsOutput(&out)) {
        error = "Unable to Initialize Graphics Output";
        return false;
    }
    // The page at full size, with the layers the print asks for, painted as
    // every view paints a page.
    PageScene scene;
    scene.image = &image;
    scene.width = w;
    scene.height = h;
    scene.info.width = w;
    scene.info.height = h;
    scene.info.bitsPerPixel = static_cast<std::int16_t>(image.BitsPerPixel());
    scene.info.resolution = static_cast<std::int16_t>(image.Xresolution());
    scene.info.scale = 1.0f;
    scene.info.rotation = layerRotation;
    scene.redactionColorMode = layers.redactColorMode;
    PageLayers& l = scene.layers;
    if (layers.redactions)
        l.redactions = &lists.redactions, l.redactionCount = lists.redactionCount;
    if (layers.highlights)
        l.highlights = &lists.highlights, l.highlightCount = lists.highlightCount;
    if (layers.markups) l.markups = &lists.markups, l.markupCount = lists.markupCount;
    if (layers.notes) l.textNotes = &lists.notes, l.textNoteCount = lists.noteCount;
    PaintPage(scene, out);
    image.FreeGraphics();
    return true;
}

}  // namespace viewer

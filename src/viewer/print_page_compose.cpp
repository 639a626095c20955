#include "viewer/print_page_compose.h"

#include "annotations/annotation_layers.h"
#include "render/gdi_lead.h"
#include "render/image_view_transform.h"

namespace viewer {

void PageAnnotationLists::Parse(const std::string (&lists)[6]) {
    *this = {};
    using TalqClientAPI_Header::ParseAnnotationList;
    if (!lists[0].empty()) ParseAnnotationList(lists[0], redactions, redactionCount);
    if (!lists[1].empty()) ParseAnnotationList(lists[1], highlights, highlightCount);
    if (!lists[3].empty()) ParseAnnotationList(lists[3], notes, noteCount);
    if (!lists[5].empty()) ParseAnnotationList(lists[5], markups, markupCount);
}

bool ComposePrintPage(cGdiLead& image, const PageAnnotationLists& lists, const printing::PrintLayers& layers,
                      std::int16_t layerRotation, platform::DrawSurface& out, std::string& error) {
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
    image.DrawImageRect(0, 0, w, h, w, h);
    image.FreeGraphics();

    PageDrawInfo info;
    info.width = w;
    info.height = h;
    info.bitsPerPixel = static_cast<std::int16_t>(image.BitsPerPixel());
    info.resolution = static_cast<std::int16_t>(image.Xresolution());
    info.scale = 1.0f;
    info.rotation = layerRotation;
    if (layers.redactions && lists.redactionCount > 0)
        DrawRedactions(lists.redactionCount, lists.redactions, out, info, layers.redactColorMode,
                       0.0f, 0);
    if (layers.highlights && lists.highlightCount > 0)
        DrawHighlights(lists.highlightCount, lists.highlights, out, info, 0, 1.0f);
    if (layers.markups && lists.markupCount > 0)
        DrawMarkups(lists.markupCount, lists.markups, out, info, 0, 1.0f);
    if (layers.notes && lists.noteCount > 0)
        DrawTextNotes(lists.noteCount, lists.notes, out, info, 0, 1.0f);
    return true;
}

}  // namespace viewer

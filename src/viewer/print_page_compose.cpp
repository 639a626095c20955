#include "viewer/print_page_compose.h"

#include "annotations/annotation_layers.h"
#include "render/gdi_lead.h"
#include "render/image_view_transform.h"
#include "viewer/page_scene.h"

namespace viewer {

namespace {

constexpr AnnotationKind kPrintedKinds[] = {kRedaction, kHighlight, kTextNote, kMarkup};

// Whether the print asks for the layer of a kind that prints.
bool Prints(const printing::PrintLayers& layers, AnnotationKind kind) {
    switch (kind) {
        case kRedaction:
            return layers.redactions;
        case kHighlight:
            return layers.highlights;
        case kTextNote:
            return layers.notes;
        case kMarkup:
            return layers.markups;
        default:
            return false;
    }
}

}  // namespace

void PageAnnotationLists::Parse(const AnnotationTexts& lists) {
    *this = {};
    for (AnnotationKind kind : kPrintedKinds)
        TalqClientAPI_Header::ParseKindList(lists[kind], (*this)[kind]);
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
    for (AnnotationKind kind : kPrintedKinds)
        if (Prints(layers, kind)) scene.layers.annotations[kind] = &lists[kind];
    PaintPage(scene, out);
    image.FreeGraphics();
    return true;
}

}  // namespace viewer
